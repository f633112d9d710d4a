// Writing the whole phone book out for other programs: one vCard 4.0 file holding a card per
// entry, or one CSV file with our sixteen column headers, or our own "Numbers.dat" format.
//
// CSV: a header row with the column headers in list order, then a row per entry; RFC 4180
// quoting (a field with a comma, a quote, a line break or a space at either end is quoted, and a
// quote inside doubled), CR LF after every row, UTF-8 with a byte-order mark so that spreadsheets
// take it for UTF-8. The entries are written in chunks, so a million of them never sit in memory
// twice.
#pragma once

#include "data/AtomicFile.h"
#include "data/PackedEntry.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class QIODevice;

namespace larkspan {

enum class ExportFormat { VCard, Csv, NumbersFile };

// By the file name's extension: ".vcf" and ".vcard" a vCard, ".csv" a CSV file, anything else
// our own format.
ExportFormat exportFormatOf(const QString &fileName);

// Told after each chunk how many entries are written.
using ExportProgress = std::function<void(qsizetype written)>;

// Writes the entries, in list order, to `out`; on failure returns false with the device's
// description in `error`.
bool writeContacts(QIODevice &out, ExportFormat format, const std::vector<PackedEntry> &entries,
                   QString *error, const ExportProgress &progress = {});
QByteArray encodeContacts(ExportFormat format, const std::vector<PackedEntry> &entries);

// Replaces the file at `path` with the entries, atomically (see replaceFile): a failure leaves
// no file, or the old one, never half of the new one.
SaveResult exportContacts(const QString &path, ExportFormat format, const std::vector<PackedEntry> &entries,
                          const ExportProgress &progress = {});

} // namespace larkspan
