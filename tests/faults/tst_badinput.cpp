// Hostile "Numbers.dat" files met by the real start-up: line ends without text, NUL bytes, stray
// byte-order marks, every kind of broken UTF-8, a 50 MB line, more than a million and a half
// lines, and things that are not files at all (a folder, a FIFO, symbolic links in a loop, a
// link to a file that is not there).
//
// Whatever the file, the program must start without crashing or waiting, keep every line it could
// read, report exactly what it must, and never lose a loaded line by saving: each readable case is
// saved, started again from the saved file and compared. An unreadable file must stay as it was.
#include "common/ErrorReport.h"
#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace larkspan;
using namespace larkspan::test;

namespace {

using Records = QList<QStringList>; // each record's values in file order; missing ones are empty

// The values as lines of a data file, each ended by `end`.
QByteArray lines(const QList<QByteArray> &values, const QByteArray &end = "\r\n")
{
    QByteArray bytes;
    for (const QByteArray &value : values)
        bytes += value + end;
    return bytes;
}

Contact contactOf(const QStringList &values)
{
    Contact contact;
    for (int i = 0; i < values.size(); ++i)
        contact[static_cast<size_t>(i)] = values[i];
    return contact;
}

QStringList valuesOf(const Contact &contact)
{
    return QStringList(contact.begin(), contact.end());
}

// The loaded list is sorted by name, so loaded rows are compared with the file's records without
// regard to order; the order itself is the sort's business and tested elsewhere.
std::vector<Contact> unordered(std::vector<Contact> contacts)
{
    std::sort(contacts.begin(), contacts.end());
    return contacts;
}

std::vector<Contact> contactsOf(const Records &records)
{
    std::vector<Contact> contacts;
    for (const QStringList &record : records)
        contacts.push_back(contactOf(record));
    return contacts;
}

std::vector<Contact> rowsOf(const PhoneBook &book)
{
    std::vector<Contact> rows;
    for (const PackedEntry &entry : book.model().store().rows())
        rows.push_back(entry.toContact());
    return rows;
}

// Names the first row that differs, so that a failure says where.
void compareContacts(const std::vector<Contact> &actual, const std::vector<Contact> &expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (size_t row = 0; row < actual.size(); ++row) {
        if (actual[row] != expected[row]) {
            qInfo("first difference at row %zu", row);
            QCOMPARE(valuesOf(actual[row]), valuesOf(expected[row]));
        }
    }
}

void compareEntries(const std::vector<PackedEntry> &actual, const std::vector<PackedEntry> &expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (size_t row = 0; row < actual.size(); ++row) {
        if (!(actual[row] == expected[row])) {
            qInfo("first difference at row %zu", row);
            QCOMPARE(valuesOf(actual[row].toContact()), valuesOf(expected[row].toContact()));
        }
    }
}

QString pastEndReport()
{
    return errorReportText(procedureLabel(QStringLiteral("Form1.Form_Load")),
                           QStringLiteral("Input past end of file"), 116);
}

// What a folder holds, one line per name: its kind, and a file's bytes or a link's target.
QStringList snapshot(const QString &folder)
{
    QStringList entries;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = QDir(folder).filePath(name);
        const QByteArray encoded = QFile::encodeName(path);
        struct stat info;
        if (::lstat(encoded.constData(), &info) != 0) {
            entries << name + QStringLiteral(": gone");
        } else if (S_ISLNK(info.st_mode)) {
            entries << name + QStringLiteral(" -> ") + QFileInfo(path).symLinkTarget();
        } else if (S_ISFIFO(info.st_mode)) {
            entries << name + QStringLiteral(": fifo");
        } else if (S_ISDIR(info.st_mode)) {
            entries << name + QStringLiteral(": folder [") + snapshot(path).join(QStringLiteral(", ")) +
                           QLatin1Char(']');
        } else {
            entries << name + QStringLiteral(": ") + QString::fromLatin1(readBytes(path).toHex());
        }
    }
    return entries;
}

// One broken UTF-8 sequence and what it reads as in Windows-1252, byte by byte.
struct BrokenSequence
{
    QByteArray bytes;
    QString text;
};

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void oddFiles_loadKeepAndSaveBack_data();
    void oddFiles_loadKeepAndSaveBack();
    void invalidUtf8_isReadPerLineAndSavedAsUtf8_data();
    void invalidUtf8_isReadPerLineAndSavedAsUtf8();
    void fiftyMegabyteLine_loadsWholeAndSavesBack();
    void longValue_survivesPassingThroughItsField();
    void sixteenHundredThousandAndSevenLines_reportNineAndSaveBack();
    void notAFile_isReportedOnceAndNeverWritten_data();
    void notAFile_isReportedOnceAndNeverWritten();

private:
    QString dataFile() const { return folder_->path(QStringLiteral("Numbers.dat")); }
    Form1 &start();
    void loadAndSaveBack(const QByteArray &bytes, const std::vector<Contact> &expected, int reports);
    void saveAndStartAgain();

    std::unique_ptr<WorkFolder> folder_;
    std::unique_ptr<MessageRecorder> boxes_;
    std::unique_ptr<PhoneBook> book_;
    std::unique_ptr<Form1> form_;
};

void TestBadInput::init()
{
    folder_ = std::make_unique<WorkFolder>();
    QDir(folder_->path()).mkdir(QStringLiteral("app"));
    boxes_ = std::make_unique<MessageRecorder>();
}

void TestBadInput::cleanup()
{
    form_.reset();
    book_.reset();
    boxes_.reset();
    folder_.reset();
}

// Starts the program as a user would, on whatever "Numbers.dat" the folder holds.
Form1 &TestBadInput::start()
{
    form_.reset();
    book_ = std::make_unique<PhoneBook>(QLatin1String(kDataFileName));
    // Fixed, so that the expected texts of the broken lines do not depend on the machine's language.
    book_->setLegacyCodePage(LegacyCodePage::Windows1252);
    form_ = std::make_unique<Form1>(*book_, folder_->path(QStringLiteral("app")));
    form_->Form_Load();
    form_->show();
    return *form_;
}

// Saves the list as loaded, starts the program again on the saved file, and expects every row
// back as it was, in the same order, with nothing to report.
void TestBadInput::saveAndStartAgain()
{
    const std::vector<PackedEntry> loaded = form_->phoneBook().model().store().rows();
    boxes_->clear();
    QVERIFY(form_->Save_It());
    QCOMPARE(boxes_->texts(), QStringList());

    const QByteArray saved = readBytes(dataFile());
    QVERIFY(QByteArrayView(saved).isValidUtf8());
    // Sixteen lines per row, each ended by CR LF, and no other line break anywhere.
    const qsizetype lineCount = qsizetype(loaded.size()) * kFieldCount;
    QCOMPARE(saved.count("\r\n"), lineCount);
    QCOMPARE(saved.count('\r'), lineCount);
    QCOMPARE(saved.count('\n'), lineCount);

    start();
    QCOMPARE(boxes_->texts(), QStringList());
    compareEntries(form_->phoneBook().model().store().rows(), loaded);
}

void TestBadInput::loadAndSaveBack(const QByteArray &bytes, const std::vector<Contact> &expected, int reports)
{
    writeBytes(dataFile(), bytes);
    QCOMPARE(QFileInfo(dataFile()).size(), bytes.size());
    Form1 &form = start();
    QCOMPARE(boxes_->texts(), QStringList(reports, pastEndReport()));
    compareContacts(unordered(rowsOf(form.phoneBook())), unordered(expected));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(form.entryList()->selectedRow(), expected.empty() ? -1 : 0);
    saveAndStartAgain();
}

void TestBadInput::oddFiles_loadKeepAndSaveBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Records>("records");
    QTest::addColumn<int>("reports");

    const QStringList empty16(kFieldCount, QString());
    const QString nul(QChar(0));
    const QString feff(QChar(0xFEFF));
    QList<QByteArray> sixteen;
    QStringList sixteenText;
    for (int f = 1; f <= kFieldCount; ++f) {
        sixteen << "v" + QByteArray::number(f);
        sixteenText << QStringLiteral("v%1").arg(f);
    }

    QTest::newRow("empty") << QByteArray() << Records{} << 0;
    QTest::newRow("only a CR") << QByteArray("\r") << Records{{""}} << 15;
    QTest::newRow("only an LF") << QByteArray("\n") << Records{{""}} << 15;
    QTest::newRow("only a CR LF") << QByteArray("\r\n") << Records{{""}} << 15;
    QTest::newRow("35 CRs") << QByteArray(35, '\r') << Records{empty16, empty16, {""}} << 13;
    QTest::newRow("32 LFs") << QByteArray(32, '\n') << Records{empty16, empty16} << 0;
    // LF then CR ends two lines (only CR then LF is one); the CR LF after it is one again.
    QTest::newRow("LF CR is two line ends")
        << QByteArray("A\n\rB\n\r\n") << Records{{"A", "", "B", ""}} << 12;
    QTest::newRow("CR CR LF LF") << QByteArray("A\r\r\nB\n\n") << Records{{"A", "", "B", ""}} << 12;
    QTest::newRow("only NUL bytes") << QByteArray(5, '\0') << Records{{nul.repeated(5)}} << 15;

    QList<QByteArray> withNuls;
    QStringList withNulsText;
    for (int f = 0; f < kFieldCount; ++f) {
        const QByteArray place[] = {QByteArray("\0x", 2), QByteArray("x\0y", 3), QByteArray("y\0", 2)};
        withNuls << place[f % 3];
        withNulsText << QString::fromLatin1(place[f % 3]);
    }
    QTest::newRow("NUL bytes in every field") << lines(withNuls) << Records{withNulsText} << 0;
    QTest::newRow("control characters kept")
        << lines({"\x01\x02\x1f", "\t tab", "\x7f", "\x0b\x0c"}) + lines(sixteen.mid(4))
        << Records{QStringList{"\x01\x02\x1f", "\t tab", "\x7f", "\x0b\x0c"} + sixteenText.mid(4)} << 0;

    QTest::newRow("byte-order mark only") << QByteArray("\xEF\xBB\xBF") << Records{} << 0;
    QTest::newRow("byte-order mark then CR") << QByteArray("\xEF\xBB\xBF\r") << Records{{""}} << 15;
    // Only the first mark is the file's: the second belongs to the first name and must stay.
    QTest::newRow("byte-order mark twice") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") + lines(sixteen)
                                           << Records{QStringList{feff + "v1"} + sixteenText.mid(1)} << 0;
    QTest::newRow("byte-order mark alone on the first line")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\r\n") + lines(sixteen.mid(1))
        << Records{QStringList{feff} + sixteenText.mid(1)} << 0;
    QTest::newRow("byte-order mark inside a value")
        << lines({"A\xEF\xBB\xBF", "\xEF\xBB\xBF"}) << Records{{"A" + feff, feff}} << 14;
    QTest::newRow("byte-order mark cut short") << lines({"\xEF\xBB"
                                                         "Ann"})
                                               << Records{{"ï»Ann"}} << 15;

    QTest::newRow("line separator alone is a line break")
        << lines({"N", "\xE2\x80\xA8", "\xE2\x80\xA8\xE2\x80\xA8"}) << Records{{"N", "\n", "\n\n"}} << 13;
    QTest::newRow("CR between the bytes of a character")
        << QByteArray("\xC3\r\xA9\n") << Records{{"Ã", "©"}} << 14;
    QTest::newRow("last line without a line end")
        << lines(sixteen.mid(0, 15)) + "\xD0\x96" << Records{sixteenText.mid(0, 15) + QStringList{"Ж"}} << 0;
}

void TestBadInput::oddFiles_loadKeepAndSaveBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Records, records);
    QFETCH(int, reports);
    loadAndSaveBack(bytes, contactsOf(records), reports);
}

void TestBadInput::invalidUtf8_isReadPerLineAndSavedAsUtf8_data()
{
    QTest::addColumn<QByteArray>("broken");
    QTest::addColumn<QString>("readAs");

    const auto row = [](const char *name, const QByteArray &bytes, const QString &text) {
        QTest::newRow(name) << bytes << text;
    };
    row("0xFF", "\xFF", "ÿ");
    row("0xFE 0xFF", "\xFE\xFF", "þÿ");
    row("lead byte alone", "\xC3", "Ã");
    row("continuation byte alone", "\x80", "€");
    row("continuation byte after ASCII", "\xA9", "©");
    row("two-byte sequence cut short by the line end", "\xDF", "ß");
    row("three-byte sequence cut short", "\xE2\x82", "â‚");
    row("four-byte sequence cut short", "\xF0\x9F\x93", "ðŸ“");
    row("overlong slash", "\xC0\xAF", "À¯");
    row("overlong NUL", "\xC0\x80", "À€");
    row("overlong three-byte slash", "\xE0\x80\xAF", "à€¯");
    row("overlong four-byte", "\xF0\x80\x80\xAF", "ð€€¯");
    row("high surrogate", "\xED\xA0\x80", QString::fromUtf16(u"í\u00A0€"));
    row("low surrogate", "\xED\xBF\xBF", "í¿¿");
    row("beyond U+10FFFF", "\xF4\x90\x80\x80", QString::fromUtf16(u"ô\u0090€€"));
    row("five-byte form", "\xF8\x88\x80\x80\x80", "øˆ€€€");
    row("bytes Windows-1252 leaves unassigned", "\x81\x8D\x8F\x90\x9D",
        QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D"));
    // The rule is per line: a good character on a broken line is read byte by byte too.
    row("good character beside a broken byte", "\xC3\xA9\xFF", "Ã©ÿ");
}

// Puts the broken bytes at the start, in the middle and at the end of a line, as a whole line,
// in the first, a middle and the last field of a record, and as the last bytes of the file. Good
// UTF-8 lines beside them must stay as they are.
void TestBadInput::invalidUtf8_isReadPerLineAndSavedAsUtf8()
{
    QFETCH(QByteArray, broken);
    QFETCH(QString, readAs);

    const QByteArray goodBytes = "Žluťoučký Жук é";
    const QString good = QString::fromUtf8(goodBytes);
    QByteArray bytes;
    Records records;
    const auto record = [&](int field, const QByteArray &before, const QByteArray &after, bool lastOfFile) {
        QList<QByteArray> values;
        QStringList texts;
        for (int f = 0; f < kFieldCount; ++f) {
            if (f == field) {
                values << before + broken + after;
                texts << QString::fromLatin1(before) + readAs + QString::fromLatin1(after);
            } else {
                values << goodBytes + QByteArray::number(records.size()) + "-" + QByteArray::number(f);
                texts << good + QString::number(records.size()) + "-" + QString::number(f);
            }
        }
        QByteArray text = lines(values);
        if (lastOfFile)
            text.chop(2);
        bytes += text;
        records << texts;
    };
    record(Name, {}, "Ann", false);      // start of the first field
    record(Name, "Bo", "b", false);      // middle of the first field
    record(Name, "Cid", {}, false);      // end of the first field
    record(Name, {}, {}, false);         // the whole first field
    record(Country, {}, "Kew", false);   // start of a middle field
    record(Country, "Dee", "x", false);  // middle of a middle field
    record(Country, "Eve", {}, false);   // end of a middle field
    record(Comments, {}, "Fay", false);  // start of the last field
    record(Comments, "Gus", "y", false); // middle of the last field
    record(Comments, {}, {}, false);     // the whole last field
    record(Comments, "Hal", {}, true);   // the end of the file, without a line end

    loadAndSaveBack(bytes, contactsOf(records), 0);
    if (QTest::currentTestFailed())
        return;
    // Written back in UTF-8, the good lines untouched.
    const QByteArray saved = readBytes(dataFile());
    QVERIFY(saved.contains(("Bo" + readAs + "b\r\n").toUtf8()));
    QVERIFY(saved.contains(goodBytes + "0-1\r\n"));
}

void TestBadInput::fiftyMegabyteLine_loadsWholeAndSavesBack()
{
    // One line of 50 MiB with no line end at all; two- and three-byte characters all along it.
    const QByteArray piece = "Long line é Ж ";
    QCOMPARE(piece.size(), 16);
    const QByteArray line = piece.repeated(50 * 1024 * 1024 / piece.size());
    QCOMPARE(line.size(), 50 * 1024 * 1024);
    writeBytes(dataFile(), line);

    Form1 &form = start();
    QCOMPARE(boxes_->texts(), QStringList(15, pastEndReport()));
    QCOMPARE(form.phoneBook().count(), 1);
    const Contact row = form.phoneBook().entry(0).toContact();
    QCOMPARE(row[Name].size(), QString::fromUtf8(line).size());
    QVERIFY(row[Name] == QString::fromUtf8(line));
    for (int f = 1; f < kFieldCount; ++f)
        QCOMPARE(row[static_cast<size_t>(f)], QString());

    saveAndStartAgain();
    QCOMPARE(QFileInfo(dataFile()).size(), line.size() + 2 * kFieldCount);
}

// A value longer than a line edit holds by default (32767 characters) must not be cut to that
// length when the user merely passes through its field.
void TestBadInput::longValue_survivesPassingThroughItsField()
{
    const QString longName = QStringLiteral("Long name ").repeated(10000);
    Contact contact;
    contact[Name] = longName;
    contact[Phone] = QStringLiteral("555");
    writeBytes(dataFile(), recordBytes({contact}));
    Form1 &form = start();
    QCOMPARE(boxes_->texts(), QStringList());
    if (!QTest::qWaitForWindowActive(&form))
        qWarning("the main window did not become active");

    auto *name = form.findChild<QLineEdit *>(QStringLiteral("lblName"));
    QTest::mouseClick(name, Qt::LeftButton);
    QTest::keyClick(name, Qt::Key_Tab);
    // The edit fields keep QLineEdit's default limit of 32767 characters, so the name shown is
    // already cut short and leaving the field writes the cut name back. Remove this mark with the
    // fix (no length limit on the main window's edit fields).
    QCOMPARE(form.phoneBook().text(0, Name).size(), longName.size());
    QVERIFY(form.Save_It());
    QCOMPARE(readBytes(dataFile()), recordBytes({contact}));
}

void TestBadInput::sixteenHundredThousandAndSevenLines_reportNineAndSaveBack()
{
    // 100,000 whole records in reverse order of their names, so that the start-up sort moves
    // them all, then a record cut short after 7 lines.
    constexpr int kRecords = 100000;
    const auto valueOf = [](int record, int field) {
        return field == 0 ? QByteArray("Name ") + QByteArray::number(kRecords - record).rightJustified(6, '0')
                          : QByteArray::number(record) + '.' + QByteArray::number(field);
    };
    QByteArray bytes;
    bytes.reserve(30 * 1024 * 1024);
    for (int record = 0; record < kRecords; ++record)
        for (int field = 0; field < kFieldCount; ++field)
            bytes += valueOf(record, field) + "\r\n";
    const QList<QByteArray> tail = {"Tail", "t1", "t2", "t3", "t4", "t5", "t6"};
    bytes += lines(tail);
    QCOMPARE(bytes.count('\n'), qsizetype(kFieldCount) * kRecords + 7);
    writeBytes(dataFile(), bytes);

    Form1 &form = start();
    QCOMPARE(boxes_->texts(), QStringList(9, pastEndReport()));
    const PhoneBook &book = form.phoneBook();
    QCOMPARE(book.count(), kRecords + 1);
    // Every record is there, whole: each name says which record it was.
    std::vector<bool> seen(kRecords, false);
    int tails = 0;
    for (int row = 0; row < book.count(); ++row) {
        const PackedEntry &entry = book.entry(row);
        if (entry.utf8(Name) == "Tail") {
            ++tails;
            for (int field = 0; field < kFieldCount; ++field)
                QCOMPARE(entry.utf8(Field(field)).toByteArray(), field < 7 ? tail[field] : QByteArray());
            continue;
        }
        const int record = kRecords - entry.utf8(Name).sliced(5).toByteArray().toInt();
        QVERIFY(record >= 0 && record < kRecords);
        QVERIFY2(!seen[static_cast<size_t>(record)], "a record loaded twice");
        seen[static_cast<size_t>(record)] = true;
        for (int field = 0; field < kFieldCount; ++field)
            if (entry.utf8(Field(field)) != valueOf(record, field))
                QCOMPARE(entry.utf8(Field(field)).toByteArray(), valueOf(record, field));
    }
    QCOMPARE(tails, 1);
    QVERIFY(std::all_of(seen.begin(), seen.end(), [](bool b) { return b; }));
    QCOMPARE(book.text(0, Name), QStringLiteral("Name 000001"));

    saveAndStartAgain();
}

void TestBadInput::notAFile_isReportedOnceAndNeverWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("startReport"); // where the start-up reports it
    QTest::newRow("folder") << "folder"
                            << "Form1.Form_Load at line 112";
    QTest::newRow("FIFO") << "FIFO"
                          << "Form1.Form_Load at line 112";
    QTest::newRow("two links in a loop") << "loop"
                                         << "Form1.Form_Load at line 112";
    QTest::newRow("link to itself") << "self link"
                                    << "Form1.Form_Load at line 112";
    // A share that is not mounted yet: the link is there, its target is not.
    QTest::newRow("link to a file not there") << "dangling link"
                                              << "Form1.Form_Load at line 112";
}

void TestBadInput::notAFile_isReportedOnceAndNeverWritten()
{
    QFETCH(QString, kind);
    QFETCH(QString, startReport);
    const QByteArray path = QFile::encodeName(dataFile());
    if (kind == "folder") {
        QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("Numbers.dat")));
        writeBytes(QDir(dataFile()).filePath(QStringLiteral("inside.txt")), "kept\r\n");
    } else if (kind == "FIFO") {
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
    } else if (kind == "loop") {
        QCOMPARE(::symlink("Other.dat", path.constData()), 0);
        QCOMPARE(::symlink("Numbers.dat", QFile::encodeName(folder_->path("Other.dat")).constData()), 0);
    } else if (kind == "dangling link") {
        QCOMPARE(
            ::symlink(QFile::encodeName(folder_->path("share/Numbers.dat")).constData(), path.constData()),
            0);
    } else {
        QCOMPARE(::symlink("Numbers.dat", path.constData()), 0);
    }
    const QStringList before = snapshot(folder_->path());

    // A FIFO without a writer would block a plain open; the start-up must come back.
    Form1 &form = start();
    QCOMPARE(boxes_->boxes().size(), 1);
    QCOMPARE(boxes_->boxes()[0].caption, QStringLiteral("Application Error"));
    if (!startReport.isEmpty())
        QVERIFY2(boxes_->texts()[0].contains(startReport), qPrintable(boxes_->texts()[0]));
    QCOMPARE(form.phoneBook().count(), 0);
    QCOMPARE(snapshot(folder_->path()), before);

    // The window stays usable, and no save overwrites what could not be read.
    Contact typed;
    typed[Name] = QStringLiteral("Typed later");
    form.phoneBook().append(typed);
    for (int attempt = 0; attempt < 2; ++attempt) {
        boxes_->clear();
        QVERIFY(!form.Save_It());
        QCOMPARE(boxes_->boxes().size(), 1);
        QVERIFY(boxes_->texts()[0].contains("Form1.Save_It at line 100"));
        QVERIFY(boxes_->texts()[0].contains("could not be read when the program started"));
    }
    QCOMPARE(form.phoneBook().count(), 1);
    QCOMPARE(snapshot(folder_->path()), before);
}

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
