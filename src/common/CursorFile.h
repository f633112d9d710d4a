// Reading Windows cursor (.CUR) files, such as the hand cursor shipped next to the executable.
//
// Only what a QCursor needs comes out: one picture (the one nearest to 32x32 pixels) and its
// hotspot. The parser trusts nothing in the file and never reads past the bytes it is given.
#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QPoint>
#include <QString>

namespace larkspan {

struct CursorLoad
{
    bool ok = false;
    QImage image;        // Format_ARGB32, not premultiplied
    QPoint hotspot;      // always inside `image` when ok
    QString error;       // for the user; empty when ok
    bool absent = false; // no cursor file: missing, or anything but a regular file
};

CursorLoad parseCursorFile(QByteArrayView bytes);
// Refuses files larger than any real cursor (4 MiB) before reading them whole. Anything but a
// regular file is absent, as a missing file is, and is never waited for.
CursorLoad readCursorFile(const QString &path);

} // namespace larkspan
