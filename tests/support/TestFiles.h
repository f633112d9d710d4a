// Small helpers for tests that work on real files.
#pragma once

#include "data/Contact.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <thread>
#include <vector>

class QIODevice;

namespace larkspan::test {

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// A contact whose every field is "<name> <field number>", the suburb included.
Contact filledContact(const QString &name);
// The bytes of a data file holding the contacts, as the program writes them (a line break in
// a value as U+2028).
QByteArray recordBytes(const std::vector<Contact> &contacts);

// Makes a fresh temporary folder the current folder for the life of the object.
class WorkFolder
{
public:
    WorkFolder();
    ~WorkFolder();
    QString path(const QString &name = {}) const;
    bool isValid() const { return dir_.isValid(); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// A FIFO whose writer waits in a thread. A program that opens it and reads, instead of taking it
// for absent, gets `bytes` (at most a pipe's 64 KiB) and the end of the file: such a fault fails a
// test rather than hanging it.
class FifoWithWriter
{
public:
    FifoWithWriter(const QString &path, const QByteArray &bytes);
    ~FifoWithWriter();
    bool isValid() const { return writer_.joinable(); }

private:
    QByteArray path_;
    std::thread writer_;
};

// Accepts a given number of bytes, then fails every write.
class FailAfter;
QIODevice *newFailingDevice(qint64 bytesAccepted, QObject *parent = nullptr);
// The same in front of `into`, which gets the bytes it accepts.
QIODevice *newFailingDevice(qint64 bytesAccepted, QIODevice &into);

} // namespace larkspan::test
