// The phone books the benchmark is fed, and the floors it measures against, are what they claim.
#include "BenchSupport.h"
#include "data/NumbersFile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace larkspan;
using namespace larkspan::bench;

namespace {

QByteArray fileBytes(const QString &path)
{
    FileBytes file = readWholeFile(path);
    return file.ok ? file.bytes : QByteArray();
}

bool generate(int count, const QString &folder)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedChannels);
    python.start(QStringLiteral("python3"),
                 {QStringLiteral(CARDINDEX_MAKE_NUMBERS), QString::number(count), folder});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

} // namespace

class TestBenchData : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void generator_isDeterministicAndSmallerFilesArePrefixes();
    void numbersFile_hasTheMixItDescribes();
    void numbersFile_loadAndSaveGiveTheSameBytes();
    void abookFile_holdsTheSameContactsInOrder();

    void median_ofOddAndEvenCounts();
    void readAndSplitLines_countsLineFeeds();
    void writeSyncRename_replacesTheFileAndLeavesNoTemporary();
    void figureLine_isNameCountValueUnitRatio();

private:
    QTemporaryDir dir_;
    QString big_;
    std::vector<PackedEntry> entries_;
};

void TestBenchData::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");
    QVERIFY(dir_.isValid());
    big_ = dir_.filePath(QStringLiteral("2000"));
    QVERIFY(generate(2000, big_));
    const ParsedFile parsed = parseNumbersFile(fileBytes(big_ + "/Numbers.dat"), LegacyCodePage::Windows1252);
    QCOMPARE(parsed.missingLines, 0);
    entries_ = parsed.entries;
}

void TestBenchData::generator_isDeterministicAndSmallerFilesArePrefixes()
{
    const QString again = dir_.filePath(QStringLiteral("again"));
    const QString small = dir_.filePath(QStringLiteral("300"));
    QVERIFY(generate(2000, again));
    QVERIFY(generate(300, small));
    for (const char *name : {"/Numbers.dat", "/addressbook"}) {
        const QByteArray bytes = fileBytes(big_ + QLatin1String(name));
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(fileBytes(again + QLatin1String(name)), bytes);
        const QByteArray prefix = fileBytes(small + QLatin1String(name));
        QVERIFY(prefix.size() > 0 && prefix.size() < bytes.size());
        QVERIFY(bytes.startsWith(prefix));
    }
}

void TestBenchData::numbersFile_hasTheMixItDescribes()
{
    QCOMPARE(entries_.size(), size_t(2000));
    int foreign = 0, cyrillic = 0, multiLine = 0;
    QSet<QString> names;
    std::array<QSet<qsizetype>, kFieldCount> lengths;
    for (const PackedEntry &entry : entries_) {
        for (int f = 0; f < kFieldCount; ++f) {
            const QString text = entry.text(Field(f));
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(fieldHeader(Field(f))));
            lengths[size_t(f)].insert(text.size());
        }
        const QString name = entry.text(Name);
        foreign += !isAscii(name);
        cyrillic += name.contains(QRegularExpression(QStringLiteral("\\p{Cyrillic}")));
        multiLine += entry.text(Comments).contains(QLatin1Char('\n'));
        names.insert(name);
    }
    QVERIFY2(foreign >= 2000 / 4 && foreign <= 2000 * 42 / 100, qPrintable(QString::number(foreign)));
    QVERIFY(cyrillic > 2000 / 10 && cyrillic < foreign);
    QVERIFY2(multiLine >= 2000 * 7 / 100 && multiLine <= 2000 * 13 / 100,
             qPrintable(QString::number(multiLine)));
    QVERIFY(names.size() < 2000);
    for (int f = 0; f < kFieldCount; ++f)
        QVERIFY2(lengths[size_t(f)].size() > 1, qPrintable(fieldHeader(Field(f))));
}

void TestBenchData::numbersFile_loadAndSaveGiveTheSameBytes()
{
    QCOMPARE(encodeEntries(entries_), fileBytes(big_ + "/Numbers.dat"));
}

void TestBenchData::abookFile_holdsTheSameContactsInOrder()
{
    const QString book = QString::fromUtf8(fileBytes(big_ + "/addressbook"));
    QVERIFY(book.startsWith(QStringLiteral("# abook addressbook file\n\n[format]\nprogram=abook\n")));
    QStringList names, phones;
    for (const QString &line : book.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("name=")))
            names << line.mid(5);
        else if (line.startsWith(QStringLiteral("custom1=")))
            phones << line.mid(8);
    }
    QCOMPARE(names.size(), 2000);
    QCOMPARE(phones.size(), 2000);
    for (int i = 0; i < 2000; ++i) {
        QCOMPARE(names[i], entries_[size_t(i)].text(Name));
        QCOMPARE(phones[i], entries_[size_t(i)].text(Phone2));
    }

    // abook itself reads every contact of it.
    const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
    if (abook.isEmpty())
        QSKIP("abook is not installed");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), dir_.path());
    child.setProcessEnvironment(environment);
    const QString csv = dir_.filePath(QStringLiteral("out.csv"));
    child.start(abook, {"--convert", "--informat", "abook", "--infile", big_ + "/addressbook", "--outformat",
                        "csv", "--outfile", csv});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList rows = QString::fromUtf8(fileBytes(csv)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 2000);
    for (int i = 0; i < 2000; ++i)
        QVERIFY2(rows[i].startsWith(QLatin1Char('"') + names[i] + QLatin1Char('"')), qPrintable(rows[i]));
}

void TestBenchData::median_ofOddAndEvenCounts()
{
    QCOMPARE(median({}), 0.0);
    QCOMPARE(median({7, 1, 3}), 3.0);
    QCOMPARE(median({9, 1, 4, 2}), 3.0);
}

void TestBenchData::readAndSplitLines_countsLineFeeds()
{
    const QString path = dir_.filePath(QStringLiteral("lines.txt"));
    QVERIFY(writeSyncRename(path, QByteArray("a\r\nb\nc\r\n\nlast without end")));
    QCOMPARE(readAndSplitLines(path), 4LL);
    QCOMPARE(readAndSplitLines(big_ + "/Numbers.dat"), 2000LL * kFieldCount);
    QCOMPARE(readAndSplitLines(dir_.filePath(QStringLiteral("missing"))), -1LL);
}

void TestBenchData::writeSyncRename_replacesTheFileAndLeavesNoTemporary()
{
    const QString folder = dir_.filePath(QStringLiteral("floor"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/floor.dat";
    QVERIFY(writeSyncRename(path, QByteArray("first, and longer")));
    QVERIFY(writeSyncRename(path, QByteArray("second")));
    QCOMPARE(fileBytes(path), QByteArray("second"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"floor.dat"});
    QVERIFY(!writeSyncRename(dir_.filePath(QStringLiteral("no/such/folder/file")), QByteArray("x")));
}

void TestBenchData::figureLine_isNameCountValueUnitRatio()
{
    QCOMPARE(figureLine("load", 100000, 41.26, "ms", 3.4567), QByteArray("load 100000 41.3 ms 3.46"));
    QCOMPARE(figureLine("search_late", 1000, 0.0421, "ms", 0.02105),
             QByteArray("search_late 1000 0.042 ms 0.02"));
}

QTEST_GUILESS_MAIN(TestBenchData)
#include "tst_benchdata.moc"
