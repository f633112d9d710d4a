// Reading the optional files beside the program: the skin, the hand cursor and the pictures a
// skin names. Only a regular file counts. A FIFO, a device, a folder, a socket or a dangling link
// is absent, exactly as a missing file is, and looking at one never waits: a FIFO without a
// writer would otherwise hold the start-up before any window shows.
#pragma once

#include <QByteArray>
#include <QString>

namespace larkspan {

struct OptionalFile
{
    enum Status {
        Absent,   // missing, or anything but a regular file
        Read,     // `bytes` holds the whole file
        TooLarge, // a regular file of more than the given size
        Failed,   // a regular file that could not be read; `error` says why
    };
    Status status = Absent;
    QByteArray bytes;
    QString error;
};

OptionalFile readOptionalFile(const QString &path, qint64 maxSize);

} // namespace larkspan
