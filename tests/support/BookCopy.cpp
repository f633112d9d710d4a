#include "support/BookCopy.h"

namespace larkspan::test {

BookCopy::BookCopy(const QString &program, const QString &dataFile, std::function<void()> beforeStart)
{
    if (beforeStart)
        process_.setChildProcessModifier(beforeStart);
    process_.start(program, {dataFile});
    started_ = process_.waitForStarted() && waitFor("ready", &loadReport_);
}

BookCopy::~BookCopy()
{
    process_.closeWriteChannel();
    if (!process_.waitForFinished(10000))
        process_.kill();
}

QString BookCopy::run(const QString &command)
{
    process_.write(command.toUtf8() + '\n');
    QString printed;
    return waitFor("ok", &printed) ? printed : QStringLiteral("failed");
}

bool BookCopy::waitFor(const char *word, QString *printed)
{
    for (;;) {
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(60000))
                return false;
        const QString line = QString::fromUtf8(process_.readLine()).trimmed();
        if (line == QLatin1String(word))
            return true;
        *printed += line + QLatin1Char('\n');
    }
}

} // namespace larkspan::test
