// What the properties of a vCard that have no field of their own are called in Comments, and
// which properties hold nothing of the person at all.
#pragma once

#include "data/exchange/VCardParser.h"

#include <QString>

namespace larkspan::vcard {

// Identifiers, revisions, product ids, pictures, sounds, keys and the flags address books keep
// for themselves: nothing a person typed.
bool isBookkeeping(const QByteArray &name);

// The label of a property without a field of its own: "Spouse" for X-EVOLUTION-SPOUSE, "Phonetic
// first name" for X-PHONETIC-FIRST-NAME, "Custom thing" for X-CUSTOM-THING.
QString propertyLabel(const QByteArray &name);

// An Apple label as the person sees it: "_$!<Spouse>!$_" is "Spouse", a label they typed stays.
QString appleLabel(const QString &label);

struct LabelledValue
{
    QString label, value;
};

// Android's X-ANDROID-CUSTOM: the kind of data ("vnd.android.cursor.item/relation") and its
// columns, read as "Spouse" and "Maria". Empty when the kind holds nothing a person typed.
LabelledValue androidCustom(const QStringList &columns);

} // namespace larkspan::vcard
