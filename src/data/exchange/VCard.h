// vCard files: reading versions 2.1, 3.0 and 4.0 into entries, and writing an entry as a
// vCard 4.0 that other address books read.
//
// Reading: any number of cards per file; LF, CR LF or CR CR LF; folded lines; quoted-printable and
// CHARSET; the backslash escapes of text values. A line that is not a property is left out and
// counted, its card kept; a card is skipped whole only when nothing in it can be read. What has no
// field of its own, the extensions of other address books too, goes to Comments as "Label: value"
// lines (see ContactBuilder and VCardLabels); LABEL gives the address of a card without ADR.
#pragma once

#include "data/LegacyCodec.h"
#include "data/exchange/ContactBuilder.h"
#include "data/exchange/ReadProgress.h"

#include <QByteArray>
#include <QByteArrayView>

namespace larkspan {

// True when the bytes start (after a byte-order mark and blank lines) with BEGIN:VCARD.
bool looksLikeVCard(QByteArrayView bytes);

ImportedContacts parseVCards(QByteArrayView bytes, LegacyCodePage codePage,
                             const ReadProgress &progress = {});

// One card, vCard 4.0, UTF-8, CR LF line ends, lines folded at 75 bytes. Phone is a home number,
// Phone 2 an "other" one, Suburb the locality of the address; Comments is the NOTE.
QByteArray encodeVCard(const Contact &contact);

} // namespace larkspan
