// What a replaced file keeps of the file it replaces: its owner, its group, its permission bits,
// its ACL and its other extended attributes. A save writes a new file and renames it over the
// old one, so everything the old inode carried has to be copied onto the new one first.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

#include <utility>
#include <vector>

namespace larkspan {

struct FileMetadata
{
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    // Every extended attribute this user can read, by name; the ACL is among them as
    // "system.posix_acl_access".
    std::vector<std::pair<QByteArray, QByteArray>> attributes;
};

// Reads the owner, group and mode from `info` (the stat of `path`) and the extended attributes
// from the file. On failure returns false with the system's error number in `error`.
bool readFileMetadata(const QByteArray &path, const struct stat &info, FileMetadata *metadata, int *error);

// Gives the open temporary file `fd` the metadata of the file it will be renamed over.
// Returns an empty string when the save may go on, otherwise why it must not: a failing call, or
// an owner who could not be kept and would lose their access to the file. `shownPath` names
// the file in that message.
QString applyFileMetadata(int fd, const FileMetadata &old, const QString &shownPath);

} // namespace larkspan
