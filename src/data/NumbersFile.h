// Reading and writing "Numbers.dat": sixteen lines per entry, nothing else.
//
// Reading: CR LF, a lone CR and a lone LF each end a line; a UTF-8 byte-order mark is skipped;
// a line that is not valid UTF-8 is decoded with the legacy Windows code page; U+2028 in a value
// stands for a line break. Writing: UTF-8, CR LF after every line, line breaks inside a value
// written as U+2028. Saving replaces the file atomically (see AtomicFile.h).
#pragma once

#include "data/AtomicFile.h"
#include "data/LegacyCodec.h"
#include "data/PackedEntry.h"

#include <QByteArray>
#include <QString>

#include <vector>

class QIODevice;

namespace larkspan {

struct ParsedFile
{
    std::vector<PackedEntry> entries;
    // Lines missing from a last record that the end of the file cut short (0 to 15).
    int missingLines = 0;
};

// Splits the bytes of a data file into entries. Any bytes give entries: nothing fails.
ParsedFile parseNumbersFile(QByteArrayView bytes, LegacyCodePage codePage);

// Writes the entries as records to `device`, in list order, in chunks. On failure returns false
// with the device's description in `error`.
bool writeEntries(QIODevice &device, const std::vector<PackedEntry> &entries, QString *error);
QByteArray encodeEntries(const std::vector<PackedEntry> &entries);

// Replaces the file at `path` with the entries as records, atomically (see replaceFile).
SaveResult saveNumbersFile(const QString &path, const std::vector<PackedEntry> &entries);

} // namespace larkspan
