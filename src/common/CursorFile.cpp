// Reading Windows cursor (.CUR) files: a directory of pictures, each a PNG or a headerless BMP
// whose XOR picture is followed by a one-bit AND mask.
//
// Every offset and length from the file is checked against the buffer in 64-bit arithmetic
// before it is used, so a damaged or hostile file ends in an error message, never a stray read.
#include "common/CursorFile.h"

#include "common/OptionalFile.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace larkspan {

namespace {

constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;
constexpr int kMaxSide = 256;
constexpr qint64 kDirectoryHeaderSize = 6;
constexpr qint64 kDirectoryEntrySize = 16;
constexpr qint64 kInfoHeaderSize = 40;
constexpr quint16 kTypeIcon = 1;
constexpr quint16 kTypeCursor = 2;
constexpr quint32 kUncompressed = 0;
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qint64 kPngSignatureSize = 8;

bool fits(QByteArrayView bytes, qint64 at, qint64 length)
{
    return at >= 0 && length >= 0 && at <= bytes.size() && length <= bytes.size() - at;
}

// Callers check the range with fits() first.
quint32 byteAt(QByteArrayView bytes, qint64 at)
{
    return static_cast<quint8>(bytes[at]);
}

quint16 le16(QByteArrayView bytes, qint64 at)
{
    return static_cast<quint16>(byteAt(bytes, at) | byteAt(bytes, at + 1) << 8);
}

quint32 le32(QByteArrayView bytes, qint64 at)
{
    return byteAt(bytes, at) | byteAt(bytes, at + 1) << 8 | byteAt(bytes, at + 2) << 16 |
           byteAt(bytes, at + 3) << 24;
}

quint32 be32(QByteArrayView bytes, qint64 at)
{
    return byteAt(bytes, at) << 24 | byteAt(bytes, at + 1) << 16 | byteAt(bytes, at + 2) << 8 |
           byteAt(bytes, at + 3);
}

struct Entry
{
    int width = 0;
    int height = 0;
    QPoint hotspot;
    quint32 size = 0;
    quint32 offset = 0;
};

// The directory's sizes are single bytes; 0 stands for 256.
int sideFromByte(quint32 value)
{
    return value == 0 ? kMaxSide : int(value);
}

// 32x32 is what a pointer is drawn at on a normal-density screen. Between two equally near
// pictures the larger one wins, since scaling down looks better than scaling up.
const Entry &pickEntry(const QList<Entry> &entries)
{
    const auto distance = [](const Entry &e) { return std::abs(e.width - 32) + std::abs(e.height - 32); };
    const Entry *best = &entries.first();
    for (const Entry &e : entries) {
        const int d = distance(e), bestD = distance(*best);
        if (d < bestD || (d == bestD && e.width * e.height > best->width * best->height))
            best = &e;
    }
    return *best;
}

QString decodePng(QByteArrayView png, QImage &out)
{
    // Look at the declared size first so that a tiny file cannot make us inflate a huge picture.
    if (!fits(png, 0, 24) || png.sliced(12, 4) != QByteArrayView("IHDR"))
        return QStringLiteral("The cursor's PNG picture is damaged");
    const quint32 width = be32(png, 16), height = be32(png, 20);
    if (width == 0 || height == 0)
        return QStringLiteral("The cursor's PNG picture is damaged");
    if (width > kMaxSide || height > kMaxSide)
        return QStringLiteral("The cursor picture is larger than 256 by 256 pixels");
    QImage image;
    if (!image.loadFromData(png, "PNG") || image.isNull())
        return QStringLiteral("The cursor's PNG picture is damaged");
    if (image.width() > kMaxSide || image.height() > kMaxSide)
        return QStringLiteral("The cursor picture is larger than 256 by 256 pixels");
    out = image.convertToFormat(QImage::Format_ARGB32);
    return out.isNull() ? QStringLiteral("There is not enough memory to load the cursor") : QString();
}

QString decodeBitmap(QByteArrayView dib, QImage &out)
{
    if (!fits(dib, 0, kInfoHeaderSize))
        return QStringLiteral("The cursor picture is cut short");
    const qint64 headerSize = le32(dib, 0);
    const qint64 width = static_cast<qint32>(le32(dib, 4));
    const qint64 doubledHeight = static_cast<qint32>(le32(dib, 8));
    const int depth = le16(dib, 14);
    const quint32 compression = le32(dib, 16);
    const qint64 coloursUsed = le32(dib, 32);

    if (headerSize < kInfoHeaderSize)
        return QStringLiteral("The cursor picture is in an unknown layout");
    // A negative height would mean top-down rows, which cursors never use.
    if (width <= 0 || doubledHeight <= 0 || doubledHeight % 2 != 0)
        return QStringLiteral("The cursor picture has impossible dimensions");
    const qint64 height = doubledHeight / 2;
    if (width > kMaxSide || height > kMaxSide)
        return QStringLiteral("The cursor picture is larger than 256 by 256 pixels");
    if (compression != kUncompressed)
        return QStringLiteral("The cursor picture is compressed, which is not supported");
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != 32)
        return QStringLiteral("The cursor picture uses an unsupported number of colours");

    // Deeper pictures may still carry a colour table (as a hint for palette displays); skip it.
    qint64 paletteSize = coloursUsed;
    if (depth <= 8) {
        const qint64 maxColours = qint64(1) << depth;
        if (coloursUsed > maxColours)
            return QStringLiteral("The cursor picture's colour table is too large");
        if (coloursUsed == 0)
            paletteSize = maxColours;
    }

    // All of these are at most a few GiB, so the sum cannot overflow 64 bits.
    const qint64 pixelStride = (width * depth + 31) / 32 * 4;
    const qint64 maskStride = (width + 31) / 32 * 4;
    const qint64 paletteAt = headerSize;
    const qint64 pixelsAt = paletteAt + paletteSize * 4;
    const qint64 maskAt = pixelsAt + pixelStride * height;
    if (!fits(dib, maskAt, maskStride * height))
        return QStringLiteral("The cursor picture is cut short");

    // Indices past a short colour table read as black rather than as whatever follows it.
    std::array<QRgb, 256> palette{};
    if (depth <= 8) {
        for (qint64 i = 0; i < paletteSize; ++i)
            palette[i] = qRgb(int(byteAt(dib, paletteAt + i * 4 + 2)),
                              int(byteAt(dib, paletteAt + i * 4 + 1)), int(byteAt(dib, paletteAt + i * 4)));
    }
    const auto colourAt = [&](qint64 row, qint64 x) -> QRgb {
        const qint64 at = pixelsAt + row * pixelStride;
        switch (depth) {
        case 1:
            return palette[(byteAt(dib, at + x / 8) >> (7 - x % 8)) & 1];
        case 4:
            return palette[(byteAt(dib, at + x / 2) >> (x % 2 == 0 ? 4 : 0)) & 0xf];
        case 8:
            return palette[byteAt(dib, at + x)];
        case 24:
            return qRgb(int(byteAt(dib, at + x * 3 + 2)), int(byteAt(dib, at + x * 3 + 1)),
                        int(byteAt(dib, at + x * 3)));
        default:
            return byteAt(dib, at + x * 4 + 3) << 24 | byteAt(dib, at + x * 4 + 2) << 16 |
                   byteAt(dib, at + x * 4 + 1) << 8 | byteAt(dib, at + x * 4);
        }
    };

    // Many 32-bit cursors leave the alpha channel empty and rely on the mask, like older depths.
    bool useAlpha = false;
    for (qint64 row = 0; depth == 32 && row < height && !useAlpha; ++row)
        for (qint64 x = 0; x < width && !useAlpha; ++x)
            useAlpha = qAlpha(colourAt(row, x)) != 0;

    QImage image(int(width), int(height), QImage::Format_ARGB32);
    if (image.isNull())
        return QStringLiteral("There is not enough memory to load the cursor");
    for (qint64 row = 0; row < height; ++row) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(int(height - 1 - row)));
        for (qint64 x = 0; x < width; ++x) {
            const QRgb colour = colourAt(row, x);
            const bool masked = (byteAt(dib, maskAt + row * maskStride + x / 8) >> (7 - x % 8)) & 1;
            if (useAlpha)
                line[x] = colour;
            else if (!masked)
                line[x] = colour | 0xff000000u;
            else
                // A coloured pixel under the mask inverts the screen on Windows; a Qt cursor cannot
                // do that, and black is how it looks over the usual white background.
                line[x] = (colour & 0xffffffu) != 0 ? qRgb(0, 0, 0) : qRgba(0, 0, 0, 0);
        }
    }
    out = image;
    return {};
}

CursorLoad failure(const QString &error)
{
    CursorLoad load;
    load.error = error;
    return load;
}

} // namespace

CursorLoad parseCursorFile(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return failure(QStringLiteral("The cursor file is empty"));
    if (!fits(bytes, 0, kDirectoryHeaderSize))
        return failure(QStringLiteral("The cursor file is cut short"));
    const quint16 reserved = le16(bytes, 0), type = le16(bytes, 2), count = le16(bytes, 4);
    if (reserved == 0 && type == kTypeIcon)
        return failure(QStringLiteral("The file is an icon, not a cursor"));
    if (reserved != 0 || type != kTypeCursor)
        return failure(QStringLiteral("The file is not a cursor file"));
    if (count == 0)
        return failure(QStringLiteral("The cursor file holds no pictures"));
    if (!fits(bytes, kDirectoryHeaderSize, count * kDirectoryEntrySize))
        return failure(QStringLiteral("The cursor file is cut short"));

    QList<Entry> entries;
    entries.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const qint64 at = kDirectoryHeaderSize + i * kDirectoryEntrySize;
        Entry e;
        e.width = sideFromByte(byteAt(bytes, at));
        e.height = sideFromByte(byteAt(bytes, at + 1));
        e.hotspot = QPoint(le16(bytes, at + 4), le16(bytes, at + 6));
        e.size = le32(bytes, at + 8);
        e.offset = le32(bytes, at + 12);
        if (e.size == 0 || !fits(bytes, e.offset, e.size))
            return failure(QStringLiteral("A picture in the cursor file lies outside the file"));
        entries.append(e);
    }

    const Entry &entry = pickEntry(entries);
    const QByteArrayView data = bytes.sliced(entry.offset, entry.size);
    QImage image;
    const QString error = data.startsWith(QByteArrayView(kPngSignature, kPngSignatureSize))
                              ? decodePng(data, image)
                              : decodeBitmap(data, image);
    if (!error.isEmpty())
        return failure(error);

    // The hotspot belongs to the directory even when a PNG's real size disagrees with it.
    CursorLoad load;
    load.ok = true;
    load.hotspot = QPoint(std::clamp(entry.hotspot.x(), 0, image.width() - 1),
                          std::clamp(entry.hotspot.y(), 0, image.height() - 1));
    load.image = image;
    return load;
}

CursorLoad readCursorFile(const QString &path)
{
    const OptionalFile file = readOptionalFile(path, kMaxFileSize);
    switch (file.status) {
    case OptionalFile::Absent: {
        CursorLoad load = failure(QStringLiteral("The cursor file does not exist"));
        load.absent = true;
        return load;
    }
    case OptionalFile::TooLarge:
        return failure(QStringLiteral("The cursor file is too large"));
    case OptionalFile::Failed:
        return failure(QStringLiteral("The cursor file could not be read: %1").arg(file.error));
    case OptionalFile::Read:
        break;
    }
    return parseCursorFile(file.bytes);
}

} // namespace larkspan
