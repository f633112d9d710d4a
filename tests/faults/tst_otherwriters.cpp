// Other programs writing "Numbers.dat" while this one has it open: a sync tool that replaces it
// by rename, an editor that rewrites it in place (and puts the old modification time back), a
// second copy of this program. Whatever they wrote is in the file after our save, and what they
// removed stays removed.
#include "common/AppTitle.h"
#include "data/AtomicFile.h"
#include "data/PhoneBook.h"
#include "support/BookCopy.h"
#include "support/FormDriver.h"

#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace larkspan;
using namespace larkspan::test;

namespace {

Contact named(const QString &name)
{
    Contact contact = filledContact(name);
    contact[Name] = name;
    return contact;
}

std::vector<Contact> namedList(const QStringList &names)
{
    std::vector<Contact> list;
    for (const QString &name : names)
        list.push_back(named(name));
    return list;
}

QStringList namesIn(const QString &path)
{
    QStringList names;
    const QList<QByteArray> lines = readBytes(path).split('\n');
    for (qsizetype line = 0; line + 1 < lines.size(); line += kFieldCount)
        names << QString::fromUtf8(lines[line]).chopped(1);
    return names;
}

// Lets the clock pass the tick of the file's last change, so that the phone book's record of
// it is exact and only the file's times and size can tell a change.
void letClockTick()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

void replaceByRename(const QString &path, const QByteArray &bytes)
{
    writeBytes(path + QStringLiteral(".sync-tmp"), bytes);
    QCOMPARE(::rename(QFile::encodeName(path + QStringLiteral(".sync-tmp")).constData(),
                      QFile::encodeName(path).constData()),
             0);
}

// Overwrites the file in place (same size) and puts its old modification time back.
void rewriteInPlace(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat before;
    QCOMPARE(::stat(name.constData(), &before), 0);
    QCOMPARE(static_cast<qint64>(before.st_size), bytes.size());
    const int fd = ::open(name.constData(), O_WRONLY);
    QVERIFY(fd >= 0);
    QCOMPARE(::pwrite(fd, bytes.constData(), static_cast<size_t>(bytes.size()), 0), bytes.size());
    const timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(::futimens(fd, times), 0);
    ::close(fd);
}

} // namespace

class TestOtherWriters : public QObject
{
    Q_OBJECT
private slots:
    void otherProgramsWrite_theirEntriesAreKept_data();
    void otherProgramsWrite_theirEntriesAreKept();
    void removedElsewhere_staysRemoved();
    void window_tellsOnceAndKeepsTheShownEntry();
    void twoCopies_neverLoseAnEntry();
    void writerInPlace_waitsWhileTheFileIsRead_data();
    void writerInPlace_waitsWhileTheFileIsRead();
};

void TestOtherWriters::otherProgramsWrite_theirEntriesAreKept_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("tick");
    QTest::newRow("replaced by rename") << "rename" << true;
    QTest::newRow("rewritten in place, same size, old modification time") << "in place" << true;
    QTest::newRow("rewritten in place within the tick of the read") << "in place" << false;
}

void TestOtherWriters::otherProgramsWrite_theirEntriesAreKept()
{
    QFETCH(QString, how);
    QFETCH(bool, tick);
    WorkFolder folder;
    const QString path = folder.path("Numbers.dat");
    writeBytes(path, recordBytes(namedList({"Ann", "Bob", "Cid"})));
    if (tick)
        letClockTick();
    PhoneBook book(path);
    QVERIFY(book.load().ok);
    book.append(named("Dan"));

    // "Bob" becomes "Rob" there: the same size, so only the file's change time tells.
    std::vector<Contact> changed = namedList({"Ann", "Bob", "Cid"});
    changed[1][Name] = QStringLiteral("Rob");
    const QByteArray theirs = recordBytes(changed);
    if (how == QLatin1String("rename"))
        replaceByRename(path, theirs);
    else
        rewriteInPlace(path, theirs);

    const BookSave saved = book.save();
    QVERIFY2(saved.ok, qPrintable(saved.error));
    QCOMPARE(namesIn(path), (QStringList{"Ann", "Rob", "Cid", "Dan"}));
    QVERIFY2(saved.otherWriter.contains(QStringLiteral("Entries changed there: 1")),
             qPrintable(saved.otherWriter));
    // The next save has nothing new from elsewhere.
    QVERIFY(book.save().otherWriter.isEmpty());
}

void TestOtherWriters::removedElsewhere_staysRemoved()
{
    WorkFolder folder;
    const QString path = folder.path("Numbers.dat");
    writeBytes(path, recordBytes(namedList({"Ann", "Bob", "Cid"})));
    PhoneBook book(path);
    QVERIFY(book.load().ok);
    replaceByRename(path, recordBytes(namedList({"Ann", "Cid"})));
    QVERIFY(book.save().ok);
    book.append(named("Dan"));
    QVERIFY(book.save().ok);
    QCOMPARE(namesIn(path), (QStringList{"Ann", "Cid", "Dan"}));
    QCOMPARE(book.count(), 3);
}

void TestOtherWriters::window_tellsOnceAndKeepsTheShownEntry()
{
    FormDriver ui(namedList({"Cid", "Ann", "Bob"}));
    ui.clickRow(1); // the list is sorted: Ann, Bob, Cid
    QCOMPARE(ui.form().editText(Name), QStringLiteral("Bob"));
    // Another program removes Ann and adds Erin.
    replaceByRename(ui.dataFile(), recordBytes(namedList({"Cid", "Bob", "Erin"})));
    ui.boxes().answer(QMessageBox::Yes);
    ui.clickButton("PushButton3");
    QCOMPARE(ui.boxes().texts().size(), 2); // "Are you sure you want to save?", then what came
    const MessageBoxRequest told = ui.boxes().boxes().last();
    QVERIFY2(told.text.contains(QStringLiteral("Entries added there, now at the end of the list: 1")) &&
                 told.text.contains(QStringLiteral("Entries removed there: 1")),
             qPrintable(told.text));
    QCOMPARE(told.caption, appTitle());
    QCOMPARE(told.icon, QMessageBox::Information);
    QCOMPARE(ui.names(), (QStringList{"Bob", "Cid", "Erin"}));
    QCOMPARE(ui.list().selectedRow(), 0);
    QCOMPARE(ui.form().editText(Name), QStringLiteral("Bob"));
    QCOMPARE(namesIn(ui.dataFile()), ui.names());
}

void TestOtherWriters::twoCopies_neverLoseAnEntry()
{
    WorkFolder folder;
    const QString path = folder.path("Numbers.dat");
    writeBytes(path, recordBytes(namedList({"Ann", "Bob", "Cid"})));
    BookCopy a(QStringLiteral(CARDINDEX_BOOKCOPY), path);
    BookCopy b(QStringLiteral(CARDINDEX_BOOKCOPY), path);
    QVERIFY(a.started() && b.started());
    QVERIFY(a.run("add Carol").isEmpty());
    QVERIFY(a.run("save").startsWith("saved"));
    QVERIFY(b.run("remove Bob").isEmpty());
    QVERIFY(b.run("save").contains("Entries added there, now at the end of the list: 1"));
    QCOMPARE(namesIn(path), (QStringList{"Ann", "Cid", "Carol"}));
    QVERIFY(a.run("save").contains("Entries removed there: 1"));
    QCOMPARE(namesIn(path), (QStringList{"Ann", "Cid", "Carol"}));

    // Both add and save at once, forty times each: the lock keeps the saves from interleaving.
    std::thread other([&] { QVERIFY(!b.run("burst 40 B").contains("failed")); });
    QVERIFY(!a.run("burst 40 A").contains("failed"));
    other.join();
    const QStringList names = namesIn(path);
    QCOMPARE(names.size(), 83);
    for (int i = 0; i < 40; ++i)
        QVERIFY(names.contains(QStringLiteral("A %1").arg(i)) &&
                names.contains(QStringLiteral("B %1").arg(i)));
}

void TestOtherWriters::writerInPlace_waitsWhileTheFileIsRead_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("truncated") << "truncate";
    QTest::newRow("opened to be written over") << "open";
}

// The file is read mapped into memory: a program that cuts it short or writes over it meanwhile
// would take the mapped bytes away (and end this program with SIGBUS). It waits instead.
void TestOtherWriters::writerInPlace_waitsWhileTheFileIsRead()
{
    QFETCH(QString, how);
    WorkFolder folder;
    const QString path = folder.path("Numbers.dat");
    const QByteArray bytes = recordBytes(namedList({"Ann", "Bob"})).repeated(20000);
    writeBytes(path, bytes);
    FileBytes file = mapWholeFile(path);
    QVERIFY(file.ok);
    if (!file.mapping)
        QSKIP("this file system gives no leases: the file was read, not mapped");

    std::atomic<bool> written = false;
    std::thread writer([&] {
        const QByteArray name = QFile::encodeName(path);
        if (how == QLatin1String("truncate")) {
            ::truncate(name.constData(), 0);
        } else {
            const int fd = ::open(name.constData(), O_WRONLY | O_TRUNC);
            ::close(fd);
        }
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const bool early = written;
    const bool intact = QByteArray(file.bytes.constData(), file.bytes.size()) == bytes;
    file.drop();
    writer.join();
    QVERIFY(!early);
    QVERIFY(intact);
    QVERIFY(written);
    QCOMPARE(readBytes(path).size(), 0);
}

QTEST_MAIN(TestOtherWriters)
#include "tst_otherwriters.moc"
