#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QIODevice>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan::test {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

Contact filledContact(const QString &name)
{
    Contact contact;
    contact[Name] = name;
    for (int f = 1; f < kFieldCount; ++f)
        contact[static_cast<size_t>(f)] = name + QLatin1Char(' ') + QString::number(f + 1);
    return contact;
}

QByteArray recordBytes(const std::vector<Contact> &contacts)
{
    QByteArray bytes;
    for (const Contact &contact : contacts)
        for (const QString &value : contact)
            bytes += QString(value).replace(QLatin1Char('\n'), QChar(0x2028)).toUtf8() + "\r\n";
    return bytes;
}

WorkFolder::WorkFolder() : previous_(QDir::currentPath())
{
    QDir::setCurrent(dir_.path());
}

WorkFolder::~WorkFolder()
{
    QDir::setCurrent(previous_);
}

QString WorkFolder::path(const QString &name) const
{
    return name.isEmpty() ? dir_.path() : dir_.filePath(name);
}

FifoWithWriter::FifoWithWriter(const QString &path, const QByteArray &bytes) : path_(QFile::encodeName(path))
{
    if (::mkfifo(path_.constData(), 0644) != 0)
        return;
    writer_ = std::thread([path = path_, bytes] {
        // A reader that only looked and closed again must end the write, not the test.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const int fd = ::open(path.constData(), O_WRONLY); // until someone opens it to read
        if (fd < 0)
            return;
        // A reader that looked and closed again gets nothing: the write fails with EPIPE.
        [[maybe_unused]] const ssize_t wrote = ::write(fd, bytes.constData(), size_t(bytes.size()));
        ::close(fd);
    });
}

FifoWithWriter::~FifoWithWriter()
{
    if (!writer_.joinable())
        return;
    // Whether or not anybody read, one reader more lets a writer still waiting finish.
    const int fd = ::open(path_.constData(), O_RDONLY | O_NONBLOCK);
    writer_.join();
    if (fd >= 0)
        ::close(fd);
}

class FailAfter : public QIODevice
{
public:
    FailAfter(qint64 accepted, QObject *parent, QIODevice *into = nullptr)
        : QIODevice(parent), left_(accepted), into_(into)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (left_ <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        qint64 taken = std::min(size, left_);
        if (into_) {
            taken = into_->write(data, taken);
            if (taken < 0) {
                setErrorString(into_->errorString());
                return -1;
            }
        }
        left_ -= taken;
        return taken;
    }

private:
    qint64 left_;
    QIODevice *into_;
};

QIODevice *newFailingDevice(qint64 bytesAccepted, QObject *parent)
{
    return new FailAfter(bytesAccepted, parent);
}

QIODevice *newFailingDevice(qint64 bytesAccepted, QIODevice &into)
{
    return new FailAfter(bytesAccepted, nullptr, &into);
}

} // namespace larkspan::test
