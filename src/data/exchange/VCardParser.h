// The syntax of vCard 2.1, 3.0 and 4.0, knowing nothing of what a property means: cards between
// BEGIN:VCARD and END:VCARD (a card inside a card read as one of its own), content lines ending in
// LF, CR LF or CR CR LF, folding (2.1 keeps the space at the fold, later versions drop it),
// quoted-printable soft line breaks, a property's group, name and parameters (2.1's bare ones too),
// and decoding a value: quoted-printable, CHARSET, the backslash escapes and the components of a
// structured value. A line that is not a property is counted and left out; its card is kept.
#pragma once

#include "data/LegacyCodec.h"
#include "data/exchange/ReadProgress.h"

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
    QByteArray group;        // lower case, "item1" of "item1.EMAIL"; empty without one
    QByteArray name;         // upper case, without its group
    QList<QByteArray> types; // lower case
    bool quotedPrintable = false;
    bool binary = false;
    bool uri = false; // VALUE=uri: "tel:+1-555-0100"
    QByteArray charset;
    int pref = 100;   // 1 is the most preferred
    QByteArray value; // as written, still encoded and escaped
};

// Takes the properties of one card, in file order; it may reorder them. `order` counts the cards
// by where they begin: a card inside another ends, and is handed over, before the outer one.
// Returns whether the card gave a contact.
using CardHandler = std::function<bool(std::vector<Property> &properties, int order)>;

struct CardCounts
{
    int unreadable = 0;      // cards skipped whole: nothing in them could be read
    int unreadableLines = 0; // lines left out of cards that were kept, and missing ends
    bool cancelled = false;  // `progress` stopped the reading; cards may have been handed over
};

// Reads the cards of `bytes` (UTF-8) and hands each that holds a property to `card`, a card cut
// short by the end of the text too. Anything between cards is ignored. A card whose lines could
// not be read and that gave no contact is counted as unreadable. `progress`, when given, is told
// the bytes read every kProgressEvery lines.
CardCounts readCards(QByteArrayView bytes, const CardHandler &card, const ReadProgress &progress = {});

// The value as text: quoted-printable undone, then read in its CHARSET (any Qt knows, U+FFFD for
// bytes wrong in it); without one, as UTF-8, or in the legacy code page when it is not UTF-8. Backslash
// escapes are left for unescape or components.
QString decodeValue(const Property &property, LegacyCodePage codePage);

// Undoes the backslash escapes of a text value: \n and \N are line breaks, \, \; \\ themselves.
QString unescape(QStringView text);

// The components of a structured value (N, ADR, ORG), split at the semicolons that are not
// escaped, each unescaped; at least `minimum` of them.
QStringList components(const QString &value, qsizetype minimum);

} // namespace larkspan::vcard
