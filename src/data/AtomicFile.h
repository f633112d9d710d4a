// Reading a whole file into memory, and replacing a file so that it is at every moment either
// the complete old file or the complete new one. Nothing here knows what the bytes mean.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace larkspan {

struct FileBytes
{
    bool ok = false;
    QByteArray bytes;
    QString error; // the system's description when !ok
    // What `bytes` lies in when they were mapped rather than read: they stay valid while this
    // does, and no copy of `bytes` may outlive it.
    std::shared_ptr<const void> mapping;

    // The bytes are no longer needed: frees or unmaps them.
    void drop()
    {
        bytes = QByteArray();
        mapping.reset();
    }
};

// Reads a whole regular file. Anything else (a folder, a FIFO, a device), a failing open or a
// read error part-way counts as unreadable; a FIFO never blocks.
FileBytes readWholeFile(const QString &path);

// The same, but where it can the file is mapped into memory instead of copied, under a read
// lease: while the bytes are held, another program that opens the file to write it, or truncates
// it, waits (for up to the system's lease-break time) so that they cannot change or vanish. Where
// no lease is to be had (a file of another user, a file system without leases, a file open for
// writing somewhere) it reads as readWholeFile does.
FileBytes mapWholeFile(const QString &path);

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
