#include "BenchSupport.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan::bench {

int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double timeMs(const std::function<void()> &run)
{
    const int64_t start = monotonicNs();
    run();
    return double(monotonicNs() - start) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

long peakResidentKiB()
{
    FILE *status = std::fopen("/proc/self/status", "re");
    if (!status)
        return -1;
    long kib = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return kib;
}

long long readAndSplitLines(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return -1;
    }
    QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    qsizetype used = 0;
    while (used < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        used += got;
    }
    ::close(fd);
    if (used != bytes.size())
        return -1;
    long long lines = 0;
    const char *pos = bytes.constData();
    const char *end = pos + bytes.size();
    while (pos < end) {
        const void *hit = std::memchr(pos, '\n', static_cast<size_t>(end - pos));
        if (!hit)
            break;
        pos = static_cast<const char *>(hit) + 1;
        ++lines;
    }
    return lines;
}

bool writeSyncRename(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".floor.tmp";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break;
        done += wrote;
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(temporary.constData());
        return false;
    }
    return ::rename(temporary.constData(), target.constData()) == 0;
}

QByteArray figureLine(const QString &name, long long count, double value, const QString &unit, double ratio)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(name)
        .arg(count)
        .arg(value, 0, 'f', value < 10 ? 3 : 1)
        .arg(unit)
        .arg(ratio, 0, 'f', 2)
        .toUtf8();
}

} // namespace larkspan::bench
