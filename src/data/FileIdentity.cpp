#include "data/FileIdentity.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {

namespace {

bool operator<(const timespec &a, const timespec &b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec < b.tv_sec : a.tv_nsec < b.tv_nsec;
}

bool operator==(const timespec &a, const timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A file system that keeps whole seconds (or two, as FAT does) gives a change time with no
// nanoseconds; a change within the same two seconds would then not show.
constexpr time_t kCoarseSlack = 2;

} // namespace

bool FileIdentity::sameAs(const FileIdentity &other) const
{
    if (exists != other.exists)
        return false;
    return !exists || (device == other.device && inode == other.inode && size == other.size &&
                       modified == other.modified && changed == other.changed);
}

FileIdentity observeFile(const QString &path)
{
    FileIdentity identity;
    // The file system stamps changes with this clock: read before the stat, any change after the
    // stat carries a change time at least this late.
    timespec before{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &before);
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return identity;
    identity.exists = true;
    identity.regular = S_ISREG(info.st_mode);
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modified = info.st_mtim;
    identity.changed = info.st_ctim;
    if (info.st_ctim.tv_nsec == 0)
        identity.racy = before.tv_sec < info.st_ctim.tv_sec + kCoarseSlack;
    else
        identity.racy = !(info.st_ctim < before);
    return identity;
}

FileIdentity observeWrittenFile(const QString &path)
{
    FileIdentity identity = observeFile(path);
    // A tick is a few milliseconds; a coarse file system would need seconds, and its next save
    // compares the contents instead.
    for (int wait = 0; identity.racy && identity.changed.tv_nsec != 0 && wait < 50; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        identity = observeFile(path);
    }
    return identity;
}

FolderLock::FolderLock(const QString &filePath)
{
    // The folder of the file that a save replaces: a link's target's, so that copies started
    // beside the link and beside its target lock the same folder.
    const QFileInfo file(filePath);
    const QString target = file.isSymLink() ? file.symLinkTarget() : file.absoluteFilePath();
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    fd_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    int locked;
    do {
        locked = ::flock(fd_, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

FolderLock::~FolderLock()
{
    if (fd_ < 0)
        return;
    // Unlocked before the close: a close that fails may leave the descriptor open, and the
    // lock with it, and this program's next save would then wait for itself.
    (void)::flock(fd_, LOCK_UN);
    (void)::close(fd_);
}

} // namespace larkspan
