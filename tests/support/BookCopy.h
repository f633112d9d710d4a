// Drives a phone book in a process of its own (tests/tools/bookcopy.cpp) through its input.
#pragma once

#include <QProcess>
#include <QString>

#include <functional>

namespace larkspan::test {

class BookCopy
{
public:
    // Starts `program` on the data file; `beforeStart` runs in the child before it starts (to set
    // limits, say).
    BookCopy(const QString &program, const QString &dataFile, std::function<void()> beforeStart = {});
    ~BookCopy();
    BookCopy(const BookCopy &) = delete;
    BookCopy &operator=(const BookCopy &) = delete;

    bool started() const { return started_; }
    // What the copy printed while loading, before its "ready".
    const QString &loadReport() const { return loadReport_; }
    // Runs one command; returns what the copy printed before its "ok", or "failed" when it
    // never said "ok".
    QString run(const QString &command);

private:
    bool waitFor(const char *word, QString *printed);

    QProcess process_;
    bool started_ = false;
    QString loadReport_;
};

} // namespace larkspan::test
