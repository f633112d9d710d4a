// Reading and writing the data file: line ends, encodings, records cut short, atomic saves.
#include "data/NumbersFile.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace larkspan;
using namespace larkspan::test;

Q_DECLARE_METATYPE(std::vector<Contact>)

namespace {

std::vector<PackedEntry> packed(const std::vector<Contact> &contacts)
{
    return {contacts.begin(), contacts.end()};
}

std::vector<Contact> unpacked(const std::vector<PackedEntry> &entries)
{
    std::vector<Contact> contacts;
    for (const PackedEntry &entry : entries)
        contacts.push_back(entry.toContact());
    return contacts;
}

Contact contactWith(std::initializer_list<std::pair<Field, QString>> values)
{
    Contact contact;
    for (const auto &[field, value] : values)
        contact[static_cast<size_t>(field)] = value;
    return contact;
}

// Sixteen lines, joined by `lineEnd`, the last one ended too.
QByteArray lines(const QList<QByteArray> &values, const QByteArray &lineEnd = "\r\n")
{
    QByteArray out;
    for (const QByteArray &value : values)
        out += value + lineEnd;
    return out;
}

QList<QByteArray> sixteen(const QByteArray &name)
{
    QList<QByteArray> values{name};
    for (int i = 2; i <= 16; ++i)
        values.append(name + QByteArray::number(i));
    return values;
}

} // namespace

class TestNumbersFile : public QObject
{
    Q_OBJECT
private slots:
    void saveThenLoad_keepsEveryField_data();
    void saveThenLoad_keepsEveryField();
    void load_readsLineEndsAndEncodings_data();
    void load_readsLineEndsAndEncodings();
    void load_recordCutShort_keepsRowAndCountsMissingLines_data();
    void load_recordCutShort_keepsRowAndCountsMissingLines();
    void write_usesCrLfUtf8AndLineSeparators();
    void write_deviceFailingAfterNBytes_reportsError_data();
    void write_deviceFailingAfterNBytes_reportsError();
    void save_failingWriter_leavesOldFileAndNoTemporary_data();
    void save_failingWriter_leavesOldFileAndNoTemporary();
    void save_keepsPermissionsAndSymbolicLink();
    void save_refusesReadOnlyFileAndFolderTarget();
    void read_nonRegularFiles_areUnreadableWithoutBlocking();
};

void TestNumbersFile::saveThenLoad_keepsEveryField_data()
{
    QTest::addColumn<std::vector<Contact>>("contacts");
    QTest::newRow("empty list") << std::vector<Contact>{};
    QTest::newRow("name only") << std::vector<Contact>{contactWith({{Name, QStringLiteral("Solo")}})};
    QTest::newRow("every field, suburb kept")
        << std::vector<Contact>{filledContact(QStringLiteral("Ann")), filledContact(QStringLiteral("Bob"))};
    QTest::newRow("blanks kept") << std::vector<Contact>{contactWith({{Name, QStringLiteral("  Ann  ")},
                                                                      {Phone, QStringLiteral(" 12 ")},
                                                                      {Suburb, QStringLiteral("\t")}})};
    QTest::newRow("duplicates kept in order")
        << std::vector<Contact>{filledContact(QStringLiteral("Same")), filledContact(QStringLiteral("Same")),
                                contactWith({{Name, QStringLiteral("Same")}})};
    QTest::newRow("multi-line comments") << std::vector<Contact>{
        contactWith({{Name, QStringLiteral("Lines")}, {Comments, QStringLiteral("one\ntwo\n\nfour")}})};
    QTest::newRow("accents and cyrillic") << std::vector<Contact>{
        contactWith({{Name, QStringLiteral("Zoë Ångström")}, {Address, QStringLiteral("ул. Ленина 5")}})};
    QTest::newRow("nul and control bytes") << std::vector<Contact>{
        contactWith({{Name, QString::fromUtf8("a\0b", 3)}, {Fax, QStringLiteral("\x01\x7f")}})};
}

void TestNumbersFile::saveThenLoad_keepsEveryField()
{
    QFETCH(std::vector<Contact>, contacts);
    const QByteArray bytes = encodeEntries(packed(contacts));
    QCOMPARE(bytes.count("\r\n"), qsizetype(16 * contacts.size()));
    const ParsedFile parsed = parseNumbersFile(bytes, LegacyCodePage::Windows1252);
    QCOMPARE(parsed.missingLines, 0);
    QCOMPARE(unpacked(parsed.entries), contacts);
}

void TestNumbersFile::load_readsLineEndsAndEncodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("comments");

    const auto cp1252 = int(LegacyCodePage::Windows1252);
    const auto cp1251 = int(LegacyCodePage::Windows1251);
    QList<QByteArray> v = sixteen("N");
    QTest::newRow("CR LF") << lines(v) << cp1252 << "N"
                           << "N2"
                           << "N16";
    QTest::newRow("lone LF") << lines(v, "\n") << cp1252 << "N"
                             << "N2"
                             << "N16";
    QTest::newRow("lone CR") << lines(v, "\r") << cp1252 << "N"
                             << "N2"
                             << "N16";
    QByteArray mixed = lines(v);
    mixed.replace("N2\r\n", "N2\n").replace("N3\r\n", "N3\r");
    QTest::newRow("mixed line ends") << mixed << cp1252 << "N"
                                     << "N2"
                                     << "N16";
    QTest::newRow("last line without break") << lines(v).chopped(2) << cp1252 << "N"
                                             << "N2"
                                             << "N16";
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + lines(v) << cp1252 << "N"
                                     << "N2"
                                     << "N16";
    v[0] = "Ren\xE9";
    v[1] = "Stra\xDF\x65 \x80";
    QTest::newRow("Windows-1252 lines")
        << lines(v) << cp1252 << QStringLiteral("René") << QStringLiteral("Straße €") << "N16";
    v[0] = "\xC8\xE2\xE0\xED";
    v[1] = "Plain";
    QTest::newRow("Windows-1251 lines") << lines(v) << cp1251 << QStringLiteral("Иван") << "Plain"
                                        << "N16";
    v[0] = "Zo\xC3\xAB";
    v[1] = "M\xFCller";
    QTest::newRow("UTF-8 and legacy lines in one file")
        << lines(v) << cp1252 << QStringLiteral("Zoë") << QStringLiteral("Müller") << "N16";
    v = sixteen("N");
    v[15] = "one\xE2\x80\xA8two";
    QTest::newRow("line separator is a line break") << lines(v) << cp1252 << "N"
                                                    << "N2"
                                                    << "one\ntwo";
}

void TestNumbersFile::load_readsLineEndsAndEncodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, codePage);
    const ParsedFile parsed = parseNumbersFile(bytes, LegacyCodePage(codePage));
    QCOMPARE(parsed.entries.size(), size_t(1));
    QCOMPARE(parsed.missingLines, 0);
    QTEST(parsed.entries[0].text(Name), "name");
    QTEST(parsed.entries[0].text(Address), "address");
    QTEST(parsed.entries[0].text(Comments), "comments");
    QCOMPARE(parsed.entries[0].text(Suburb), QStringLiteral("N3"));
}

void TestNumbersFile::load_recordCutShort_keepsRowAndCountsMissingLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("missing");
    QTest::addColumn<QString>("lastName");
    QTest::newRow("zero bytes") << QByteArray() << 0 << 0 << QString();
    QTest::newRow("17 lines") << lines(sixteen("A")) + "B\r\n" << 2 << 15 << "B";
    QTest::newRow("extra empty line at the end") << lines(sixteen("A")) + "\r\n" << 2 << 15 << "";
    QTest::newRow("half a record") << lines(sixteen("A").mid(0, 8)) << 1 << 8 << "A";
    QTest::newRow("only a CR") << QByteArray("\r") << 1 << 15 << "";
    QTest::newRow("only LFs") << QByteArray("\n\n\n") << 1 << 13 << "";
}

void TestNumbersFile::load_recordCutShort_keepsRowAndCountsMissingLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    const ParsedFile parsed = parseNumbersFile(bytes, LegacyCodePage::Windows1252);
    QCOMPARE(int(parsed.entries.size()), rows);
    QTEST(parsed.missingLines, "missing");
    if (rows > 0)
        QTEST(parsed.entries.back().text(Name), "lastName");
    // What loaded saves back as whole records, none of its lines lost.
    const QByteArray saved = encodeEntries(parsed.entries);
    QCOMPARE(unpacked(parseNumbersFile(saved, LegacyCodePage::Windows1252).entries),
             unpacked(parsed.entries));
}

void TestNumbersFile::write_usesCrLfUtf8AndLineSeparators()
{
    Contact contact =
        contactWith({{Name, QStringLiteral("Zoë")}, {Comments, QStringLiteral("a\nb\r\nc\rd")}});
    const QByteArray bytes = encodeEntries(packed({contact}));
    QByteArray expected = "Zo\xC3\xAB\r\n";
    for (int i = 0; i < 14; ++i)
        expected += "\r\n";
    expected += "a\xE2\x80\xA8"
                "b\xE2\x80\xA8"
                "c\xE2\x80\xA8"
                "d\r\n";
    QCOMPARE(bytes, expected);
    QCOMPARE(encodeEntries({}), QByteArray());
}

void TestNumbersFile::write_deviceFailingAfterNBytes_reportsError_data()
{
    QTest::addColumn<qint64>("accepted");
    QTest::newRow("nothing") << qint64(0);
    QTest::newRow("one byte") << qint64(1);
    QTest::newRow("part of the first chunk") << qint64(100000);
    QTest::newRow("first chunk, not the second") << qint64(1 << 20);
}

void TestNumbersFile::write_deviceFailingAfterNBytes_reportsError()
{
    QFETCH(qint64, accepted);
    std::vector<PackedEntry> entries(20000, PackedEntry(filledContact(QStringLiteral("Somebody"))));
    std::unique_ptr<QIODevice> device(newFailingDevice(accepted));
    QString error;
    QVERIFY(!writeEntries(*device, entries, &error));
    QVERIFY(!error.isEmpty());
}

void TestNumbersFile::save_failingWriter_leavesOldFileAndNoTemporary_data()
{
    QTest::addColumn<qint64>("accepted");
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing written") << qint64(0) << QStringLiteral("No space left on device");
    QTest::newRow("a few bytes") << qint64(10) << QStringLiteral("The file could not be written completely");
    QTest::newRow("part of the first chunk")
        << qint64(300000) << QStringLiteral("The file could not be written completely");
    // A chunk is a little under 1 MiB: the first goes to the file whole, the second is cut short.
    QTest::newRow("in the second chunk")
        << qint64(1 << 20) << QStringLiteral("The file could not be written completely");
}

void TestNumbersFile::save_failingWriter_leavesOldFileAndNoTemporary()
{
    QFETCH(qint64, accepted);
    WorkFolder folder;
    const QByteArray old = recordBytes({filledContact(QStringLiteral("Old"))});
    writeBytes(folder.path("Numbers.dat"), old);
    const std::vector<PackedEntry> entries(20000, PackedEntry(filledContact(QStringLiteral("New"))));
    // The records go through a device that fails after `accepted` bytes on their way to the
    // temporary file, as a disk that fills up would.
    const SaveResult result = replaceFile(folder.path("Numbers.dat"), [&](QIODevice &file, QString *error) {
        const std::unique_ptr<QIODevice> failing(newFailingDevice(accepted, file));
        return writeEntries(*failing, entries, error);
    });
    QVERIFY(!result.ok);
    QTEST(result.error, "error");
    QCOMPARE(readBytes(folder.path("Numbers.dat")), old);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Numbers.dat"});

    QVERIFY(saveNumbersFile(folder.path("Numbers.dat"), entries).ok);
    QCOMPARE(readBytes(folder.path("Numbers.dat")), encodeEntries(entries));
}

void TestNumbersFile::save_keepsPermissionsAndSymbolicLink()
{
    WorkFolder folder;
    QDir(folder.path()).mkdir("real");
    const QString target = folder.path("real/phone.dat");
    writeBytes(target, "old");
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
    QVERIFY(QFile::link("real/phone.dat", folder.path("Numbers.dat")));

    const std::vector<PackedEntry> entries{PackedEntry(filledContact(QStringLiteral("Linked")))};
    const SaveResult result = saveNumbersFile(folder.path("Numbers.dat"), entries);
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(QFileInfo(folder.path("Numbers.dat")).isSymLink());
    QCOMPARE(readBytes(target), encodeEntries(entries));
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(target).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0640));
}

void TestNumbersFile::save_refusesReadOnlyFileAndFolderTarget()
{
    WorkFolder folder;
    writeBytes(folder.path("Numbers.dat"), "old");
    QVERIFY(::chmod("Numbers.dat", 0444) == 0);
    const std::vector<PackedEntry> entries{PackedEntry(filledContact(QStringLiteral("New")))};
    SaveResult result = saveNumbersFile(QStringLiteral("Numbers.dat"), entries);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("Permission denied"));
    QCOMPARE(readBytes(folder.path("Numbers.dat")), QByteArray("old"));

    QDir(folder.path()).mkdir("Folder.dat");
    result = saveNumbersFile(QStringLiteral("Folder.dat"), entries);
    QVERIFY(!result.ok);
    QVERIFY(QFileInfo(folder.path("Folder.dat")).isDir());
}

void TestNumbersFile::read_nonRegularFiles_areUnreadableWithoutBlocking()
{
    WorkFolder folder;
    QVERIFY(::mkfifo("fifo", 0600) == 0);
    QDir(folder.path()).mkdir("dir");
    QVERIFY(QFile::link("loop", folder.path("loop")));
    for (const char *name : {"fifo", "dir", "loop", "missing"}) {
        const FileBytes file = readWholeFile(QString::fromLatin1(name));
        QVERIFY2(!file.ok, name);
        QVERIFY2(!file.error.isEmpty(), name);
    }
    writeBytes(folder.path("plain"), "abc");
    const FileBytes plain = readWholeFile(QStringLiteral("plain"));
    QVERIFY(plain.ok);
    QCOMPARE(plain.bytes, QByteArray("abc"));
}

QTEST_GUILESS_MAIN(TestNumbersFile)
#include "tst_numbersfile.moc"
