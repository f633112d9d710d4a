// The pictures of a skin: which url() comes to name the program's own copy, which is emptied and
// which is left alone, found in the text as Qt's style sheet engine reads it.
#include "common/SkinPictures.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

using namespace larkspan;
using namespace larkspan::test;

class TestSkinPictures : public QObject
{
    Q_OBJECT
private slots:
    void localize_data();
    void localize();
};

void TestSkinPictures::localize_data()
{
    // %1 is the skin's folder; <copy> stands for the copy of pic.png.
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative: from the skin's folder") << "A { image: url(pic.png); }"
                                                      << "A { image: url(\"<copy>\"); }";
    QTest::newRow("absolute and quoted") << "A { image: url('%1/pic.png') }"
                                         << "A { image: url(\"<copy>\") }";
    QTest::newRow("escaped letters") << "A { image: u\\rl(pic.png) }"
                                     << "A { image: u\\00005crl(\"<copy>\") }";
    QTest::newRow("hex escapes, replaced first") << "\\75rl(p\\69 c.png) \\75rl(\\70ic.png)"
                                                 << "url() url(\"<copy>\")";
    QTest::newRow("missing, a folder, empty") << "url(missing.png) url(folder) url()"
                                              << "url() url() url()";
    QTest::newRow("in comments and strings: none") << "/* url(pic.png */ B { c: \"url(pic.png\" }"
                                                   << "/* url(pic.png */ B { c: \"url(pic.png\" }";
    QTest::newRow("Qt resource: left alone") << "A { image: url(:/icons/pic.png) }"
                                             << "A { image: url(:/icons/pic.png) }";
    QTest::newRow("cut short by a brace: dropped") << "A { image: url(pic.png } B { }"
                                                   << "A { image: } B { }";
}

void TestSkinPictures::localize()
{
    QFETCH(QString, sheet);
    QFETCH(QString, expected);
    // Not the current folder, which Qt would take a relative name from.
    QTemporaryDir skin;
    QVERIFY(skin.isValid() && skin.path() != QDir::currentPath());
    writeBytes(skin.filePath("pic.png"), "small picture");
    writeBytes(skin.filePath("pic@2x.png"), "large picture");
    QVERIFY(QDir(skin.path()).mkdir("folder"));

    SkinPictures pictures;
    QString result = pictures.localize(sheet.arg(skin.path()), skin.path());
    const QRegularExpressionMatch copy = QRegularExpression("\"(/[^\"]+)\\.png\"").match(result);
    if (copy.hasMatch()) {
        QVERIFY(!copy.captured(1).startsWith(skin.path()));
        QCOMPARE(readBytes(copy.captured(1) + ".png"), QByteArray("small picture"));
        QCOMPARE(readBytes(copy.captured(1) + "@2x.png"), QByteArray("large picture"));
        result.replace(copy.captured(1) + ".png", "<copy>");
    }
    QCOMPARE(result, expected);
}

QTEST_MAIN(TestSkinPictures)
#include "tst_skinpictures.moc"
