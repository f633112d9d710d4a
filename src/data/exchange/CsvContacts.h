// Contacts in CSV files, as spreadsheets and the export of other address books write them.
//
// Reading: comma, semicolon or tab separated (the header row decides, or an Excel "sep=" line),
// quoting as RFC 4180 has it, CR LF or LF. Columns are mapped by their header: our own column
// headers, and those of the common address-book exports (Outlook, Google, Thunderbird). Columns
// we do not know go to Comments as "Header: value". A field that is not valid UTF-8 is read in
// the legacy code page, as "Numbers.dat" lines are. A row that is malformed (an open quote, text
// after a closing quote, more fields than the header) is skipped whole and counted.
#pragma once

#include "data/LegacyCodec.h"
#include "data/exchange/ContactBuilder.h"
#include "data/exchange/ReadProgress.h"

#include <QByteArrayView>

namespace larkspan {

// True when the first row is a header with at least two columns and one of them is a column
// we know.
bool looksLikeContactCsv(QByteArrayView bytes);

// A file whose header has no column we know gives no contacts.
// `progress`, when given, is told the bytes read every kProgressEvery rows.
ImportedContacts parseCsvContacts(QByteArrayView bytes, LegacyCodePage codePage,
                                  const ReadProgress &progress = {});

} // namespace larkspan
