// Reading a whole file into memory, and replacing a file so that it is at every moment either
// the complete old file or the complete new one. Nothing here knows what the bytes mean.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace larkspan {

struct FileBytes
{
    bool ok = false;
    QByteArray bytes;
    QString error; // the system's description when !ok
};

// Reads a whole regular file. Anything else (a folder, a FIFO, a device), a failing open or a
// read error part-way counts as unreadable; a FIFO never blocks.
FileBytes readWholeFile(const QString &path);

struct SaveResult
{
    bool ok = false;
    QString error;
};

// Writes the new contents to `out`; on failure returns false with a description in `error`.
using ContentWriter = std::function<bool(QIODevice &out, QString *error)>;

// Replaces the file at `path` with what `write` writes: it goes to a temporary file in the same
// folder, which is synced and then renamed over the file, and the folder is synced. A failure
// leaves the old file untouched and no temporary file behind. A symbolic link is followed, so the
// link stays and its target is replaced. The new file keeps the old one's owner, group,
// permissions, ACL and extended attributes; where this user may not keep the owner or the group
// and the old owner would lose access by it, the save is refused. Also refused: a file without
// write permission, and anything under the name that is not a regular file, at the start of the
// save or just before the rename. A folder that is gone is named in the error.
SaveResult replaceFile(const QString &path, const ContentWriter &write);

} // namespace larkspan
