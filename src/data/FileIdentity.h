// What a file was when the phone book last read or wrote it, so that a save can tell whether
// another program has written it since, and the lock that copies of this program hold while they
// check and replace it.
#pragma once

#include <QString>

#include <sys/types.h>

#include <ctime>

namespace larkspan {

struct FileIdentity
{
    bool exists = false;
    bool regular = false; // anything else is never read again nor replaced
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    // The change time moves on every write and on every change of the times themselves, so an
    // in-place rewrite that puts the old modification time back is still seen.
    timespec changed{};
    // Taken within the clock tick of the file's last change: a later change in the same tick
    // would leave every field as it is, so only the contents can tell.
    bool racy = false;

    bool sameAs(const FileIdentity &other) const;
};

// The identity of the file at `path` (following symbolic links) as it is now.
FileIdentity observeFile(const QString &path);
// The same, but after a file this program has just written: waits (a clock tick at most) until
// the file's change time lies in the past, so that the identity is not racy.
FileIdentity observeWrittenFile(const QString &path);

// An exclusive advisory lock on the folder of a file, held from construction to destruction.
// Copies of this program take it around the check and the replace, so that two saves never
// interleave. Where the folder cannot be locked (it is gone, or a network file system refuses
// locks on folders) nothing is held, and the identity check still catches the other writer.
class FolderLock
{
public:
    explicit FolderLock(const QString &filePath);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace larkspan
