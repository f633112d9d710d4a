#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QIODevice>

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

class FailAfter : public QIODevice
{
public:
    FailAfter(qint64 accepted, QObject *parent) : QIODevice(parent), left_(accepted)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        if (left_ <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 taken = std::min(size, left_);
        left_ -= taken;
        return taken;
    }

private:
    qint64 left_;
};

QIODevice *newFailingDevice(qint64 bytesAccepted, QObject *parent)
{
    return new FailAfter(bytesAccepted, parent);
}

} // namespace larkspan::test
