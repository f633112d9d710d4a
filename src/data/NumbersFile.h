// Reading and writing "Numbers.dat": sixteen lines per entry, nothing else.
//
// Reading: CR LF, a lone CR and a lone LF each end a line; a UTF-8 byte-order mark is skipped;
// a line that is not valid UTF-8 is decoded with the legacy Windows code page; U+2028 in a value
// stands for a line break. Writing: UTF-8, CR LF after every line, line breaks inside a value
// written as U+2028. Saving replaces the file atomically.
#pragma once

#include "data/LegacyCodec.h"
#include "data/PackedEntry.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
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

struct FileBytes
{
    bool ok = false;
    QByteArray bytes;
    QString error; // the system's description when !ok
};

// Reads a whole regular file. Anything else (a folder, a FIFO, a device), a failing open or a
// read error part-way counts as unreadable; a FIFO never blocks.
FileBytes readWholeFile(const QString &path);

// Writes the entries as records to `device`, in list order, in chunks. On failure returns false
// with the device's description in `error`.
bool writeEntries(QIODevice &device, const std::vector<PackedEntry> &entries, QString *error);
QByteArray encodeEntries(const std::vector<PackedEntry> &entries);

struct SaveResult
{
    bool ok = false;
    QString error;
};

// Lets a test put a failing device between the writer and the temporary file.
using DeviceWrapper = std::function<std::unique_ptr<QIODevice>(QIODevice *file)>;

// Replaces the file at `path` with the entries: the records go to a temporary file in the same
// folder, which is flushed and synced and then renamed over the file, and the folder is synced.
// A failure leaves the old file untouched and no temporary file behind. A file without write
// permission is refused. A symbolic link is followed, so the link stays and its target is replaced;
// the file keeps its permissions.
SaveResult saveNumbersFile(const QString &path, const std::vector<PackedEntry> &entries,
                           const DeviceWrapper &wrapper = {});

} // namespace larkspan
