// Reads an optional file beside the program only when it is a regular file (see the header).
#include "common/OptionalFile.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {

namespace {

OptionalFile failed(int error)
{
    OptionalFile file;
    file.status = OptionalFile::Failed;
    file.error = QString::fromLocal8Bit(std::strerror(error));
    return file;
}

} // namespace

OptionalFile readOptionalFile(const QString &path, qint64 maxSize)
{
    if (path.isEmpty())
        return {};
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and so does a device
    // that would wait for its hardware. O_NOCTTY: a terminal never becomes ours. What was opened
    // is judged by the descriptor itself, so nothing can be swapped in between.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        // Only a regular file that is there but cannot be opened is worth a word; whatever else
        // the name stands for (nothing, a socket, a link to nowhere) is simply absent.
        struct stat info;
        if (::stat(name.constData(), &info) == 0 && S_ISREG(info.st_mode))
            return failed(error);
        return {};
    }
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return failed(errno);
    if (!S_ISREG(info.st_mode))
        return {};

    OptionalFile file;
    if (info.st_size > maxSize) {
        file.status = OptionalFile::TooLarge;
        return file;
    }
    // One byte more than the file had, or than may be taken: a file that grows meanwhile is
    // either read whole or found too large, never cut short.
    QByteArray bytes(qsizetype(std::min<qint64>(info.st_size, maxSize) + 1), Qt::Uninitialized);
    qsizetype total = 0;
    for (;;) {
        if (total == bytes.size()) {
            if (total > maxSize) {
                file.status = OptionalFile::TooLarge;
                return file;
            }
            bytes.resize(qsizetype(std::min<qint64>(qint64(total) * 2, maxSize + 1)));
        }
        const ssize_t got = ::read(fd, bytes.data() + total, size_t(bytes.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(errno);
        if (got == 0)
            break;
        total += got;
    }
    bytes.truncate(total);
    file.status = OptionalFile::Read;
    file.bytes = bytes;
    return file;
}

} // namespace larkspan
