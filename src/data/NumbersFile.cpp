#include "data/NumbersFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {

namespace {

constexpr char kLineSeparator[] = "\xE2\x80\xA8"; // U+2028 in UTF-8
constexpr QByteArrayView kLineSeparatorView(kLineSeparator, 3);

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Turns one line into the UTF-8 value it stands for, using `scratch` when it must change.
QByteArrayView decodeLine(QByteArrayView line, bool knownValid, bool mayHoldSeparator,
                          LegacyCodePage codePage, QByteArray &scratch)
{
    if (knownValid || line.isValidUtf8()) {
        if (!mayHoldSeparator || !line.contains(kLineSeparatorView))
            return line;
        scratch = line.toByteArray();
        scratch.replace(kLineSeparatorView, "\n");
        return scratch;
    }
    scratch = decodeLegacy(line, codePage).toUtf8();
    return scratch;
}

// Finds the line ends of a buffer one after the other; CR LF, CR and LF each end a line.
class LineSplitter
{
public:
    explicit LineSplitter(QByteArrayView bytes) : pos_(bytes.data()), end_(bytes.data() + bytes.size()) {}

    bool next(QByteArrayView &line)
    {
        if (pos_ >= end_)
            return false;
        if (nextCr_ < pos_)
            nextCr_ = find('\r');
        if (nextLf_ < pos_)
            nextLf_ = find('\n');
        const char *stop = std::min(nextCr_, nextLf_);
        line = QByteArrayView(pos_, stop - pos_);
        pos_ = stop + 1;
        if (stop == nextCr_ && pos_ < end_ && *pos_ == '\n')
            ++pos_;
        return true;
    }

private:
    const char *find(char c) const
    {
        const void *hit = std::memchr(pos_, c, static_cast<size_t>(end_ - pos_));
        return hit ? static_cast<const char *>(hit) : end_;
    }

    const char *pos_;
    const char *end_;
    const char *nextCr_ = nullptr;
    const char *nextLf_ = nullptr;
};

bool needsLineSeparator(QByteArrayView value)
{
    return std::memchr(value.data(), '\n', static_cast<size_t>(value.size())) ||
           std::memchr(value.data(), '\r', static_cast<size_t>(value.size()));
}

// Appends a value with each line break (CR LF, CR or LF) written as U+2028.
void appendValue(QByteArray &out, QByteArrayView value)
{
    if (!needsLineSeparator(value)) {
        out.append(value);
        return;
    }
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r' || c == '\n') {
            out.append(kLineSeparatorView);
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
        } else {
            out.append(c);
        }
    }
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
        return done;
    }

private:
    int fd_;
};

int openTemporary(const QString &directory, QString *tempPath)
{
    const QString base = directory + QStringLiteral("/.Numbers.dat.");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            base + QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".tmp");
        const int fd =
            ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            *tempPath = candidate;
            return fd;
        }
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

ParsedFile parseNumbersFile(QByteArrayView bytes, LegacyCodePage codePage)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const bool allValid = bytes.isValidUtf8();
    const bool mayHoldSeparator = bytes.contains(kLineSeparatorView);

    ParsedFile parsed;
    LineSplitter lines(bytes);
    std::array<QByteArrayView, kFieldCount> fields;
    std::array<QByteArray, kFieldCount> scratch;
    int filled = 0;
    QByteArrayView line;
    while (lines.next(line)) {
        fields[static_cast<size_t>(filled)] =
            decodeLine(line, allValid, mayHoldSeparator, codePage, scratch[static_cast<size_t>(filled)]);
        if (++filled == kFieldCount) {
            parsed.entries.emplace_back(fields);
            filled = 0;
        }
    }
    if (filled > 0) {
        for (int i = filled; i < kFieldCount; ++i)
            fields[static_cast<size_t>(i)] = {};
        parsed.entries.emplace_back(fields);
        parsed.missingLines = kFieldCount - filled;
    }
    return parsed;
}

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

bool writeEntries(QIODevice &device, const std::vector<PackedEntry> &entries, QString *error)
{
    constexpr qsizetype kChunk = 1 << 20;
    QByteArray chunk;
    chunk.reserve(kChunk + 4096);
    auto flush = [&]() {
        if (chunk.isEmpty())
            return true;
        const qint64 written = device.write(chunk);
        if (written != chunk.size()) {
            if (error)
                *error = written < 0 ? device.errorString()
                                     : QStringLiteral("The file could not be written completely");
            return false;
        }
        chunk.clear();
        return true;
    };
    for (const PackedEntry &entry : entries) {
        for (int f = 0; f < kFieldCount; ++f) {
            appendValue(chunk, entry.utf8(Field(f)));
            chunk.append("\r\n", 2);
        }
        if (chunk.size() >= kChunk && !flush())
            return false;
    }
    return flush();
}

QByteArray encodeEntries(const std::vector<PackedEntry> &entries)
{
    QByteArray out;
    for (const PackedEntry &entry : entries) {
        for (int f = 0; f < kFieldCount; ++f) {
            appendValue(out, entry.utf8(Field(f)));
            out.append("\r\n", 2);
        }
    }
    return out;
}

SaveResult saveNumbersFile(const QString &path, const std::vector<PackedEntry> &entries,
                           const DeviceWrapper &wrapper)
{
    SaveResult result;
    int error = 0;
    const QString target = resolveLinks(path, &error);
    if (target.isEmpty()) {
        result.error = errnoText(error);
        return result;
    }
    const QByteArray encodedTarget = QFile::encodeName(target);

    // An existing file keeps its permissions, and a write-protected one is not replaced.
    mode_t mode = 0666 & ~[] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }();
    struct stat info;
    if (::stat(encodedTarget.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            result.error = errnoText(EISDIR);
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
        mode = info.st_mode & 07777;
    }

    const QString directory = QFileInfo(target).absolutePath();
    QString tempPath;
    const int fd = openTemporary(directory, &tempPath);
    if (fd < 0) {
        result.error = errnoText(errno);
        return result;
    }
    const QByteArray encodedTemp = QFile::encodeName(tempPath);
    auto abandon = [&](const QString &why, bool open) {
        if (open)
            ::close(fd);
        ::unlink(encodedTemp.constData());
        result.error = why;
        return result;
    };

    if (::fchmod(fd, mode) != 0)
        return abandon(errnoText(errno), true);
    {
        DescriptorDevice file(fd);
        std::unique_ptr<QIODevice> wrapped;
        QIODevice *device = &file;
        if (wrapper) {
            wrapped = wrapper(&file);
            device = wrapped.get();
        }
        QString writeError;
        if (!writeEntries(*device, entries, &writeError))
            return abandon(writeError, true);
    }
    if (::fdatasync(fd) != 0)
        return abandon(errnoText(errno), true);
    if (::close(fd) != 0)
        return abandon(errnoText(errno), false);
    if (::rename(encodedTemp.constData(), encodedTarget.constData()) != 0)
        return abandon(errnoText(errno), false);
    syncDirectory(directory);
    result.ok = true;
    return result;
}

} // namespace larkspan
