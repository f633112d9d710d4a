// The syntax of vCard 2.1, 3.0 and 4.0, knowing nothing of what a property means: cards between
// BEGIN:VCARD and END:VCARD, content lines (LF or CR LF), folding (2.1 keeps the space at the
// fold, later versions drop it), quoted-printable soft line breaks, a property's group, name and
// parameters (2.1's bare ones too), and decoding a value: quoted-printable, CHARSET, the
// backslash escapes and the components of a structured value.
#pragma once

#include "data/LegacyCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace larkspan::vcard {

struct Property
{
    QByteArray name;         // upper case, without its group ("item1.")
    QList<QByteArray> types; // lower case
    bool quotedPrintable = false;
    bool binary = false;
    bool uri = false; // VALUE=uri: "tel:+1-555-0100"
    QByteArray charset;
    int pref = 100;   // 1 is the most preferred
    QByteArray value; // as written, still encoded and escaped
};

// Takes the properties of one card, in file order; it may reorder them.
using CardHandler = std::function<void(std::vector<Property> &properties)>;

// Reads the cards of `bytes` (UTF-8) and hands each that ends, and whose every line is a property,
// to `card`. Anything between cards is ignored. Returns the number of cards skipped: cut short by
// the end of the text or by the next BEGIN:VCARD, or holding a line that is not a property.
int readCards(QByteArrayView bytes, const CardHandler &card);

// The value as text: quoted-printable undone, then read in its CHARSET, or as UTF-8, or in the
// legacy code page when it is not UTF-8. Backslash escapes are left for unescape or components.
QString decodeValue(const Property &property, LegacyCodePage codePage);

// Undoes the backslash escapes of a text value: \n and \N are line breaks, \, \; \\ themselves.
QString unescape(QStringView text);

// The components of a structured value (N, ADR, ORG), split at the semicolons that are not
// escaped, each unescaped; at least `minimum` of them.
QStringList components(const QString &value, qsizetype minimum);

} // namespace larkspan::vcard
