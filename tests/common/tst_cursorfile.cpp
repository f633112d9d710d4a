// Tests for the cursor file reader: the hand cursor we ship, every picture format a cursor can
// hold (built here byte by byte), and damaged files, which must all be refused with a message.
#include "common/CursorFile.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace larkspan;

namespace {

void append16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xff)).append(char(value >> 8));
}

void append32(QByteArray &bytes, quint32 value)
{
    append16(bytes, quint16(value & 0xffff));
    append16(bytes, quint16(value >> 16));
}

QByteArray patched(QByteArray bytes, qsizetype at, quint32 value, int width = 4)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
    return bytes;
}

struct Picture
{
    QByteArray data;
    QSize size;
    QPoint hotspot;
};

QByteArray cursorFile(const QList<Picture> &pictures)
{
    QByteArray out;
    append16(out, 0);
    append16(out, 2);
    append16(out, quint16(pictures.size()));
    quint32 offset = quint32(6 + 16 * pictures.size());
    for (const Picture &p : pictures) {
        out.append(char(p.size.width() & 0xff)).append(char(p.size.height() & 0xff)).append(2, '\0');
        append16(out, quint16(p.hotspot.x()));
        append16(out, quint16(p.hotspot.y()));
        append32(out, quint32(p.data.size()));
        append32(out, offset);
        offset += quint32(p.data.size());
    }
    for (const Picture &p : pictures)
        out += p.data;
    return out;
}

// The reference picture. Colours come from a small table (entry 0 black) indexed along both axes,
// so a flipped, shifted or mis-packed row shows; the mask covers a diagonal pattern.
QRgb tableColour(int i)
{
    return i == 0 ? qRgb(0, 0, 0) : qRgb((i * 97) & 0xff, (i * 53) & 0xff, (i * 31 + 40) & 0xff);
}
int colourIndex(int x, int y, int colours)
{
    return (x + 3 * y) % colours;
}
bool underMask(int x, int y)
{
    return (x + 2 * y) % 5 == 0;
}
int alphaAt(int x, int y)
{
    return underMask(x, y) ? 0 : 60 + 15 * x + y;
}

// A cursor BMP of the reference picture. `colours` is the table length for depths up to 8
// (written as biClrUsed when short of the full table) and the index range for deeper ones.
QByteArray bitmap(int depth, QSize size, int colours, bool withAlpha)
{
    const int w = size.width(), h = size.height();
    QByteArray out;
    for (quint32 v : {40u, quint32(w), quint32(2 * h)})
        append32(out, v);
    append16(out, 1);
    append16(out, quint16(depth));
    const bool shortTable = depth <= 8 && colours < (1 << depth);
    for (quint32 v : {0u, 0u, 0u, 0u, shortTable ? quint32(colours) : 0u, 0u})
        append32(out, v);
    for (int i = 0; depth <= 8 && i < colours; ++i)
        append32(out, tableColour(i) & 0xffffff);

    const auto rows = [&](int bits, auto valueAt) {
        const int stride = (w * bits + 31) / 32 * 4;
        for (int y = h - 1; y >= 0; --y) {
            QByteArray row(stride, '\0');
            for (int x = 0; x < w; ++x) {
                const quint32 value = valueAt(x, y);
                if (bits <= 8)
                    row[x * bits / 8] = char(row[x * bits / 8] | value << (8 - bits - x * bits % 8));
                for (int i = 0; bits > 8 && i < bits / 8; ++i)
                    row[x * bits / 8 + i] = char((value >> (8 * i)) & 0xff);
            }
            out += row;
        }
    };
    rows(depth, [&](int x, int y) -> quint32 {
        const int i = colourIndex(x, y, colours);
        return depth <= 8 ? i : (tableColour(i) & 0xffffff) | (withAlpha ? alphaAt(x, y) << 24 : 0);
    });
    // With alpha the mask must be ignored, so cover everything to prove it.
    rows(1, [&](int x, int y) -> quint32 { return withAlpha || underMask(x, y); });
    return out;
}

QImage pngPicture(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgba(x * 10, y * 12, 200, underMask(x, y) ? 0 : 255 - x));
    return image;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A 4-bit 8x8 cursor; the malformed cases below patch its fields by their offsets in this file.
const QByteArray kSmallCursor = cursorFile({{bitmap(4, {8, 8}, 16, false), {8, 8}, {1, 1}}});
constexpr int kPictureAt = 22;

// Cuts the picture to `length` bytes and makes the directory agree, so only the picture is short.
QByteArray withPictureCut(const QByteArray &file, int length)
{
    return patched(file.left(kPictureAt + length), 14, quint32(length));
}

} // namespace

class TestCursorFile : public QObject
{
    Q_OBJECT

private slots:
    void shippedHandCursor();
    void bitmapCursors_data();
    void bitmapCursors();
    void pngCursors_data();
    void pngCursors();
    void picksPictureNearest32_data();
    void picksPictureNearest32();
    void malformedFiles_data();
    void malformedFiles();
    void unreadablePaths_data();
    void unreadablePaths();
};

void TestCursorFile::shippedHandCursor()
{
    const QString path = QStringLiteral(CARDINDEX_SOURCE_DIR "/assets/HAND-M.CUR");
    const CursorLoad load = readCursorFile(path);
    QVERIFY2(load.ok, qPrintable(load.error));
    QCOMPARE(load.image.size(), QSize(32, 32));
    QCOMPARE(load.hotspot, QPoint(10, 0)); // set in tools/make_hand_cursor.py
    // The hotspot is on the fingertip's outline, not in the empty space around it.
    QCOMPARE(load.image.pixel(load.hotspot), qRgb(0, 0, 0));
    int white = 0, black = 0, clear = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb p = load.image.pixel(x, y);
            white += p == qRgb(255, 255, 255);
            black += p == qRgb(0, 0, 0);
            clear += qAlpha(p) == 0;
        }
    }
    QCOMPARE(white + black + clear, 32 * 32);
    QVERIFY(white > 200 && black > 60 && clear > 200);
}

void TestCursorFile::bitmapCursors_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("colours");
    QTest::addColumn<bool>("withAlpha");
    QTest::addColumn<QPoint>("hotspot");
    QTest::addColumn<QPoint>("expectedHotspot");
    QTest::newRow("1 bit, mask row past 32 bits")
        << 1 << QSize(33, 5) << 2 << false << QPoint(32, 4) << QPoint(32, 4);
    QTest::newRow("4 bit") << 4 << QSize(13, 7) << 16 << false << QPoint(6, 0) << QPoint(6, 0);
    QTest::newRow("8 bit, short table") << 8 << QSize(13, 7) << 7 << false << QPoint(0, 6) << QPoint(0, 6);
    QTest::newRow("24 bit, hotspot clamped")
        << 24 << QSize(13, 7) << 7 << false << QPoint(50, 2) << QPoint(12, 2);
    QTest::newRow("32 bit, empty alpha") << 32 << QSize(9, 4) << 7 << false << QPoint(9, 9) << QPoint(8, 3);
    QTest::newRow("32 bit with alpha") << 32 << QSize(9, 4) << 7 << true << QPoint(4, 2) << QPoint(4, 2);
}

void TestCursorFile::bitmapCursors()
{
    QFETCH(int, depth);
    QFETCH(QSize, size);
    QFETCH(int, colours);
    QFETCH(bool, withAlpha);
    QFETCH(QPoint, hotspot);
    QFETCH(QPoint, expectedHotspot);
    const QByteArray picture = bitmap(depth, size, colours, withAlpha);
    const QByteArray file = cursorFile({{picture, size, hotspot}});

    const CursorLoad load = parseCursorFile(file);
    QVERIFY2(load.ok, qPrintable(load.error));
    QVERIFY(load.error.isEmpty());
    QCOMPARE(load.image.size(), size);
    QCOMPARE(load.hotspot, expectedHotspot);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb colour = tableColour(colourIndex(x, y, colours));
            // Under the mask a black pixel is see-through and any other shows black (it would
            // invert the screen on Windows).
            QRgb expected = colour;
            if (withAlpha)
                expected = qRgba(qRed(colour), qGreen(colour), qBlue(colour), alphaAt(x, y));
            else if (underMask(x, y))
                expected = colour == qRgb(0, 0, 0) ? qRgba(0, 0, 0, 0) : qRgb(0, 0, 0);
            QVERIFY2(load.image.pixel(x, y) == expected, qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
        }
    }
    for (int length = 0; length < picture.size(); ++length)
        QVERIFY2(!parseCursorFile(withPictureCut(file, length)).ok, qPrintable(QString::number(length)));
}

void TestCursorFile::pngCursors_data()
{
    QTest::addColumn<QSize>("entrySize");
    QTest::addColumn<QSize>("pngSize");
    QTest::addColumn<QPoint>("hotspot");
    QTest::addColumn<QPoint>("expectedHotspot");
    QTest::newRow("sizes agree") << QSize(24, 20) << QSize(24, 20) << QPoint(3, 4) << QPoint(3, 4);
    QTest::newRow("directory says 32x32") << QSize(32, 32) << QSize(24, 20) << QPoint(30, 5) << QPoint(23, 5);
    QTest::newRow("256 written as 0")
        << QSize(256, 256) << QSize(256, 256) << QPoint(255, 0) << QPoint(255, 0);
}

void TestCursorFile::pngCursors()
{
    QFETCH(QSize, entrySize);
    QFETCH(QSize, pngSize);
    QFETCH(QPoint, hotspot);
    QFETCH(QPoint, expectedHotspot);
    const QImage image = pngPicture(pngSize);
    const CursorLoad load = parseCursorFile(cursorFile({{png(image), entrySize, hotspot}}));
    QVERIFY2(load.ok, qPrintable(load.error));
    QCOMPARE(load.hotspot, expectedHotspot);
    QCOMPARE(load.image.convertToFormat(QImage::Format_ARGB32), image);
}

void TestCursorFile::picksPictureNearest32_data()
{
    QTest::addColumn<QList<int>>("sides");
    QTest::addColumn<int>("expected");
    QTest::newRow("32 among others") << QList<int>{16, 48, 32, 64} << 32;
    QTest::newRow("tie goes to the larger") << QList<int>{16, 48} << 48;
    QTest::newRow("256 is not 0") << QList<int>{256, 200} << 200;
}

void TestCursorFile::picksPictureNearest32()
{
    QFETCH(QList<int>, sides);
    QFETCH(int, expected);
    QList<Picture> pictures;
    for (int side : sides)
        pictures.append({bitmap(32, {side, side}, 7, false), {side, side}, {side / 2, side / 4}});
    const CursorLoad load = parseCursorFile(cursorFile(pictures));
    QVERIFY2(load.ok, qPrintable(load.error));
    QCOMPARE(load.image.size(), QSize(expected, expected));
    QCOMPARE(load.hotspot, QPoint(expected / 2, expected / 4));
}

void TestCursorFile::malformedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray &c = kSmallCursor;
    const int size = int(c.size());
    const auto pngFile = [](const QByteArray &data) { return cursorFile({{data, {8, 8}, {0, 0}}}); };
    const QByteArray goodPng = png(pngPicture({8, 8}));
    const QByteArray signature("\x89PNG\r\n\x1a\n", 8);

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("half a header") << c.left(3);
    QTest::newRow("header only") << c.left(6);
    QTest::newRow("entry cut short") << c.left(15);
    QTest::newRow("icon") << patched(c, 2, 1, 2);
    QTest::newRow("unknown type") << patched(c, 2, 3, 2);
    QTest::newRow("reserved set") << patched(c, 0, 1, 2);
    QTest::newRow("no pictures") << patched(c, 4, 0, 2);
    QTest::newRow("huge count") << patched(c, 4, 0xffff, 2);
    QTest::newRow("offset beyond end") << patched(c, 18, size + 10);
    QTest::newRow("offset at end") << patched(c, 18, size);
    QTest::newRow("size beyond end") << patched(c, 14, size);
    QTest::newRow("offset + size wraps") << patched(patched(c, 18, 0xfffffff0u), 14, 0x20);
    QTest::newRow("size zero") << patched(c, 14, 0);
    QTest::newRow("bitmap header cut short") << withPictureCut(c, 20);
    QTest::newRow("pixels cut short") << withPictureCut(c, 40 + 64 + 10);
    QTest::newRow("mask cut short") << withPictureCut(c, size - kPictureAt - 1);
    QTest::newRow("header size too small") << patched(c, kPictureAt, 12);
    QTest::newRow("header size huge") << patched(c, kPictureAt, 0xffffffffu);
    QTest::newRow("zero width") << patched(c, kPictureAt + 4, 0);
    QTest::newRow("width 300") << patched(c, kPictureAt + 4, 300);
    QTest::newRow("width 2^31") << patched(c, kPictureAt + 4, 0x80000000u);
    QTest::newRow("height 600") << patched(c, kPictureAt + 8, 1200);
    QTest::newRow("top-down rows") << patched(c, kPictureAt + 8, quint32(-16));
    QTest::newRow("odd double height") << patched(c, kPictureAt + 8, 15);
    QTest::newRow("bit depth 3") << patched(c, kPictureAt + 14, 3, 2);
    QTest::newRow("bit depth 0") << patched(c, kPictureAt + 14, 0, 2);
    QTest::newRow("RLE compressed") << patched(c, kPictureAt + 16, 2);
    QTest::newRow("bit fields") << patched(c, kPictureAt + 16, 3);
    QTest::newRow("colour table too long") << patched(c, kPictureAt + 32, 17);
    QTest::newRow("huge table at 32 bits")
        << patched(patched(c, kPictureAt + 14, 32, 2), kPictureAt + 32, 0xffffffffu);
    QTest::newRow("PNG signature only") << pngFile(signature);
    QTest::newRow("PNG signature then garbage") << pngFile(signature + QByteArray(200, '\x5a'));
    QTest::newRow("PNG claiming 10000 wide") << pngFile(patched(goodPng, 16, qToBigEndian(quint32(10000))));
    QTest::newRow("PNG cut short") << pngFile(goodPng.left(goodPng.size() / 2));
}

void TestCursorFile::malformedFiles()
{
    QFETCH(QByteArray, bytes);
    // The parser must stay inside the view even when the buffer around it goes on.
    const QByteArray padded = bytes + QByteArray(64, '\0');
    const CursorLoad load = parseCursorFile(QByteArrayView(padded).first(bytes.size()));
    QVERIFY(!load.ok);
    QVERIFY(!load.error.isEmpty());
}

void TestCursorFile::unreadablePaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("absent");
    QTest::newRow("missing") << "missing.cur" << true;
    QTest::newRow("folder") << "folder.cur" << true;
    QTest::newRow("FIFO") << "fifo.cur" << true;
    QTest::newRow("link to /dev/zero") << "zero.cur" << true;
    QTest::newRow("dangling link") << "dangling.cur" << true;
    QTest::newRow("empty path") << "" << true;
    QTest::newRow("over 4 MiB") << "large.cur" << false;
}

void TestCursorFile::unreadablePaths()
{
    QFETCH(QString, name);
    QFETCH(bool, absent);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("folder.cur"));
    // A good cursor with junk after it: only its size makes it unacceptable.
    QFile large(dir.filePath("large.cur"));
    QVERIFY(large.open(QIODevice::WriteOnly));
    large.write(kSmallCursor + QByteArray(4 * 1024 * 1024, '\0'));
    large.close();
    QVERIFY(QFile::link("/dev/zero", dir.filePath("zero.cur")));
    QVERIFY(QFile::link(dir.filePath("gone.cur"), dir.filePath("dangling.cur")));
    // Read as a file, the FIFO would give a good cursor.
    test::FifoWithWriter fifo(dir.filePath("fifo.cur"), kSmallCursor);
    QVERIFY(fifo.isValid());

    const CursorLoad load = readCursorFile(name.isEmpty() ? QString() : dir.filePath(name));
    QVERIFY(!load.ok);
    QVERIFY(!load.error.isEmpty());
    QCOMPARE(load.absent, absent);
}

QTEST_MAIN(TestCursorFile)
#include "tst_cursorfile.moc"
