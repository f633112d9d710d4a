// Reading a whole file, and replacing one atomically.
//
// Written by hand rather than with QSaveFile: QSaveFile::commit() does not report a failing
// sync or a failing flush, and a save that says it succeeded when the disk refused the data is
// the one failure this program must not have. Nor does QSaveFile refuse a file that has no write
// bits at all (which root could otherwise overwrite), follow a symbolic link to replace its
// target, keep the old file's owner, group, ACL and extended attributes (FileMetadata.cpp), or
// clear away the temporary files of saves that were killed before their rename.
#include "data/AtomicFile.h"

#include "data/FileMetadata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// What start-up says of such a data file ("Not a regular file"), with its path and kind.
QString notRegularText(const QString &path, mode_t mode)
{
    const char *kind = S_ISDIR(mode)    ? "a folder"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "an unknown kind of file";
    return QStringLiteral("\"%1\" is not a regular file (it is %2), so it is not overwritten.")
        .arg(path, QLatin1String(kind));
}

// Follows symbolic links to the file that a save must replace.
QString resolveLinks(const QString &path, int *error)
{
    QString current = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray encoded = QFile::encodeName(current);
        struct stat info;
        if (::lstat(encoded.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length =
            ::readlink(encoded.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0) {
            *error = errno;
            return {};
        }
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        current = QFileInfo(next).isAbsolute() ? next : QFileInfo(current).dir().filePath(next);
    }
    *error = ELOOP;
    return {};
}

// Writes to a file descriptor, retrying short writes, so that a failure is the system's own
// (a full disk is "No space left on device", not a short count).
class DescriptorDevice : public QIODevice
{
public:
    explicit DescriptorDevice(int fd) : fd_(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        qint64 done = 0;
        while (done < size) {
            const ssize_t wrote = ::write(fd_, data + done, static_cast<size_t>(size - done));
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0) {
                setErrorString(errnoText(wrote < 0 ? errno : EIO));
                return -1;
            }
            done += wrote;
        }
#ifdef SYNC_FILE_RANGE_WRITE
        // Starts writing this chunk to the disk now, while the next one is being encoded, so that
        // the sync at the end has little left to wait for. Only a hint: the sync reports failures.
        (void)::sync_file_range(fd_, written_, size, SYNC_FILE_RANGE_WRITE);
#endif
        written_ += size;
        return done;
    }

private:
    int fd_;
    off_t written_ = 0;
};

// Temporary files are named ".Numbers.dat.<process id>.<random>.tmp". The one file this program
// replaces is its data file, so the name is that file's whatever the path (a link named
// "Numbers.dat" may point at a target of any name).
//
// A save holds an exclusive flock on its temporary file from just after creating it until after
// its rename, and the kernel drops the lock however the process ends. So a temporary file whose
// lock another save can take was left by a save that was killed or crashed. The lock means the
// same in every pid namespace that shares the folder (a container saving into it), which the
// process id in the name does not; the id stays in the name for whoever looks at the folder.
constexpr std::string_view kTempPrefix = ".Numbers.dat.";
constexpr std::string_view kTempSuffix = ".tmp";

bool isTemporaryName(std::string_view name)
{
    if (name.size() <= kTempPrefix.size() + kTempSuffix.size() || !name.starts_with(kTempPrefix) ||
        !name.ends_with(kTempSuffix))
        return false;
    const std::string_view middle =
        name.substr(kTempPrefix.size(), name.size() - kTempPrefix.size() - kTempSuffix.size());
    const size_t dot = middle.find('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    pid_t owner = 0;
    const auto [end, parseError] = std::from_chars(middle.data(), middle.data() + dot, owner);
    return parseError == std::errc() && end == middle.data() + dot && owner > 0;
}

// Removes the temporary files that no save holds, so that a kill in the middle of a save costs
// at most one stray file until the next save rather than one per kill. A file this user cannot
// open for reading cannot be locked, so it is left alone, as is any other name.
void removeStaleTemporaries(const QString &directory)
{
    DIR *folder = ::opendir(QFile::encodeName(directory).constData());
    if (!folder)
        return;
    const int folderFd = ::dirfd(folder);
    while (const dirent *entry = ::readdir(folder)) {
        if (!isTemporaryName(entry->d_name))
            continue;
        // O_NONBLOCK and O_NOFOLLOW: whatever someone put under such a name, the open returns.
        const int fd =
            ::openat(folderFd, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened, named;
        // The name must still be the file that was locked, not one made since under it.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            (void)::unlinkat(folderFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(folder);
}

// Creates the temporary file and takes its lock. Between the two another save's cleaner may
// take the lock of the file, which is not held yet, and remove it: then the file has no name
// any more (or is about to lose it) and another name is tried.
int openTemporary(const QString &directory, QString *tempPath)
{
    const QString base = directory + QLatin1Char('/') + QLatin1String(kTempPrefix) +
                         QString::number(::getpid()) + QLatin1Char('.');
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            base + QString::number(QRandomGenerator::global()->generate(), 36) + QLatin1String(kTempSuffix);
        const QByteArray encoded = QFile::encodeName(candidate);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return -1;
        // A file system without flock fails the cleaners' lock as well, so they leave it alone.
        const bool cleanerHasIt = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        struct stat info;
        if (!cleanerHasIt && ::fstat(fd, &info) != 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(encoded.constData());
            errno = error;
            return -1;
        }
        if (!cleanerHasIt && info.st_nlink > 0) {
            *tempPath = candidate;
            return fd;
        }
        ::close(fd);
        if (cleanerHasIt)
            ::unlink(encoded.constData());
    }
    errno = EEXIST;
    return -1;
}

void syncDirectory(const QString &directory)
{
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // The rename has happened: the new file is in place whatever the folder sync says.
        (void)::fsync(fd);
        (void)::close(fd);
    }
}

} // namespace

FileBytes readWholeFile(const QString &path)
{
    FileBytes result;
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = errnoText(errno);
        return result;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        result.error = errnoText(errno);
    } else if (S_ISDIR(info.st_mode)) {
        result.error = errnoText(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        result.error = QStringLiteral("Not a regular file");
    } else {
        QByteArray bytes(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
        qsizetype used = 0;
        for (;;) {
            if (used == bytes.size())
                bytes.resize(bytes.size() * 2);
            const ssize_t got = ::read(fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result.error = errnoText(errno);
                break;
            }
            if (got == 0) {
                bytes.truncate(used);
                result.bytes = std::move(bytes);
                result.ok = true;
                break;
            }
            used += got;
        }
    }
    ::close(fd);
    return result;
}

FileBytes mapWholeFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return readWholeFile(path);
    // The lease's break is signalled to its holder, SIGIO by default, which would end the program:
    // SIGURG is ignored unless handled. The size counts once the lease holds the file still.
    struct stat info;
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0 || ::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
        ::close(fd);
        return readWholeFile(path);
    }
    auto release = [fd] {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        ::close(fd);
    };
    void *map = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        map =
            ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (map == MAP_FAILED) {
        release();
        return readWholeFile(path);
    }
    const auto size = static_cast<size_t>(info.st_size);
    FileBytes result;
    result.mapping = std::shared_ptr<const void>(map, [size, release](const void *start) {
        ::munmap(const_cast<void *>(start), size);
        release();
    });
    result.bytes = QByteArray::fromRawData(static_cast<const char *>(map), static_cast<qsizetype>(size));
    result.ok = true;
    return result;
}

SaveResult replaceFile(const QString &path, const ContentWriter &write)
{
    SaveResult result;
    int error = 0;
    const QString target = resolveLinks(path, &error);
    if (target.isEmpty()) {
        result.error = errnoText(error);
        return result;
    }
    const QByteArray encodedTarget = QFile::encodeName(target);

    // An existing file keeps its owner, group, permissions, ACL and extended attributes, and a
    // write-protected one is not replaced. A new one gets what the umask allows.
    std::optional<FileMetadata> old;
    mode_t mode = 0666 & ~[] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }();
    struct stat info;
    if (::stat(encodedTarget.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            result.error = notRegularText(target, info.st_mode);
            return result;
        }
        // No write permission at all means read-only, for root as well.
        if ((info.st_mode & 0222) == 0) {
            result.error = errnoText(EACCES);
            return result;
        }
        if (::access(encodedTarget.constData(), W_OK) != 0) {
            result.error = errnoText(errno);
            return result;
        }
        old.emplace();
        if (!readFileMetadata(encodedTarget, info, &*old, &error)) {
            result.error = errnoText(error);
            return result;
        }
    }

    const QString directory = QFileInfo(target).absolutePath();
    removeStaleTemporaries(directory);
    QString tempPath;
    const int fd = openTemporary(directory, &tempPath);
    if (fd < 0) {
        error = errno;
        result.error =
            error == ENOENT || error == ENOTDIR
                ? QStringLiteral("The folder \"%1\" is gone (%2).").arg(directory, errnoText(error))
                : errnoText(error);
        return result;
    }
    // The lock lives as long as either descriptor, so that it outlasts the close that is checked
    // below and still guards the file until it has its new name.
    const int lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    const QByteArray encodedTemp = QFile::encodeName(tempPath);
    auto abandon = [&](const QString &why, bool open) {
        if (open)
            ::close(fd);
        ::unlink(encodedTemp.constData());
        if (lockFd >= 0)
            ::close(lockFd);
        result.error = why;
        return result;
    };
    if (lockFd < 0)
        return abandon(errnoText(errno), true);

    if (old) {
        const QString refusal = applyFileMetadata(fd, *old, target);
        if (!refusal.isEmpty())
            return abandon(refusal, true);
    } else if (::fchmod(fd, mode) != 0) {
        return abandon(errnoText(errno), true);
    }
    {
        DescriptorDevice file(fd);
        QString writeError;
        if (!write(file, &writeError))
            return abandon(writeError, true);
    }
    if (::fdatasync(fd) != 0)
        return abandon(errnoText(errno), true);
    if (::close(fd) != 0)
        return abandon(errnoText(errno), false);
    // Whatever came under the name while the list was written (a FIFO, a device, a folder or a
    // link to one) is not renamed over. stat does not open it, so nothing blocks or notices.
    if (::stat(encodedTarget.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return abandon(notRegularText(target, info.st_mode), false);
    if (::rename(encodedTemp.constData(), encodedTarget.constData()) != 0)
        return abandon(errnoText(errno), false);
    ::close(lockFd);
    syncDirectory(directory);
    result.ok = true;
    return result;
}

} // namespace larkspan
