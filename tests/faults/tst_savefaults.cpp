// Saves that the system refuses: a folder without write access, a read-only file, a full disk
// and read-only media. Each must give one report, keep the old file byte for byte, leave the
// window working with the changes still in the list, and a later save that can succeed must.
//
// Run by tests/scripts/test_save_faults.sh as an unprivileged user (root ignores permission
// bits), and by tests/scripts/test_media_faults.sh inside a private mount namespace with a small
// tmpfs that it may fill and remount read-only.
#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <sys/statvfs.h>
#include <unistd.h>

using namespace larkspan;
using namespace larkspan::test;

namespace {

std::vector<Contact> people(const QString &prefix, int count)
{
    std::vector<Contact> list;
    for (int i = 0; i < count; ++i)
        list.push_back(filledContact(QStringLiteral("%1 %2").arg(prefix).arg(i, 4, 10, QLatin1Char('0'))));
    return list;
}

QStringList filesIn(const QString &folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

qint64 freeBytes(const QString &folder)
{
    struct statvfs info;
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}

bool remount(const QString &mountPoint, const char *mode)
{
    return QProcess::execute(QStringLiteral("mount"),
                             {QStringLiteral("-o"), QStringLiteral("remount,%1").arg(QLatin1String(mode)),
                              mountPoint}) == 0;
}

// The window as the user has it: the file's entries, loaded and shown.
class Session
{
public:
    explicit Session(const QString &folder) : book_(QLatin1String(kDataFileName)), form_(book_, folder)
    {
        form_.Form_Load();
        form_.show();
        form_.activateWindow();
        if (!QTest::qWaitForWindowExposed(&form_))
            qWarning("the main window was not shown");
    }

    Form1 &form() { return form_; }
    PhoneBook &book() { return book_; }
    EntryList &list() { return *form_.entryList(); }
    MessageRecorder &boxes() { return boxes_; }

    // Clicks "Save Changes", answers Yes, and returns the failure reports shown.
    QStringList clickSave()
    {
        boxes_.clear();
        boxes_.answer(QMessageBox::Yes);
        QTest::mouseClick(form_.findChild<QPushButton *>(QStringLiteral("PushButton3")), Qt::LeftButton);
        QStringList reports;
        for (const MessageBoxRequest &box : boxes_.boxes())
            if (box.caption == QLatin1String("Application Error"))
                reports.append(box.text);
        return reports;
    }

    void clickRow(int row)
    {
        const QRect rect = list().visualRect(list().model()->index(row, 0));
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, rect.center());
    }

private:
    MessageRecorder boxes_;
    PhoneBook book_;
    Form1 form_;
};

// The window still works after a refused save: a click shows an entry, typing in the search
// box finds one, and the changes are still in the list.
void checkWindowStillWorks(Session &session, const std::vector<Contact> &expected)
{
    QCOMPARE(session.book().count(), int(expected.size()));
    session.clickRow(1);
    QCOMPARE(session.list().selectedRow(), 1);
    QCOMPARE(session.form().editText(Name), expected[1][Name]);
    QCOMPARE(session.book().text(0, Name), expected[0][Name]);

    auto *search = session.form().findChild<QLineEdit *>(QStringLiteral("txtSearch"));
    const QString wanted = expected.back()[Name];
    search->clear();
    QTest::keyClicks(search, wanted);
    QCOMPARE(session.list().selectedRow(), int(expected.size()) - 1);
    QCOMPARE(session.form().editText(Name), wanted);
    search->clear();
    QVERIFY(session.boxes().boxes().size() <= 2); // the question and the one report, nothing more
}

} // namespace

class TestSaveFaults : public QObject
{
    Q_OBJECT
private slots:
    void readOnlyFolder_reportsOnceAndKeepsFile();
    void readOnlyFile_reportsOnceAndKeepsFile();
    void fullDisk_reportsOnceKeepsFileAndLaterSaveSucceeds();
    void readOnlyMedia_reportsOnceKeepsFileAndLaterSaveSucceeds();

private:
    // The small file system of the media cases, emptied; empty when none is mounted.
    static QString smallFileSystem()
    {
        const QString path = qEnvironmentVariable("CARDINDEX_SMALL_FS");
        if (!path.isEmpty())
            for (const QString &name : filesIn(path))
                QFile::remove(QDir(path).filePath(name));
        return path;
    }
};

void TestSaveFaults::readOnlyFolder_reportsOnceAndKeepsFile()
{
    if (::geteuid() == 0)
        QSKIP("root ignores permission bits; tests/scripts/test_save_faults.sh runs this unprivileged");
    WorkFolder folder;
    std::vector<Contact> contacts = people("Kept", 3);
    writeBytes("Numbers.dat", recordBytes(contacts));
    const QByteArray before = readBytes("Numbers.dat");
    Session session(folder.path());
    session.book().setField(0, Name, "Changed");
    contacts[0][Name] = "Changed";
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    const QStringList reports = session.clickSave();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("Permission denied\r\nin Larkspanapp2021/08/31.Form1.Save_It "),
             qPrintable(reports[0]));
    QCOMPARE(readBytes("Numbers.dat"), before);
    QCOMPARE(filesIn(folder.path()), QStringList{"Numbers.dat"});
    checkWindowStillWorks(session, contacts);

    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(session.clickSave(), QStringList());
    QCOMPARE(readBytes("Numbers.dat"), recordBytes(contacts));
}

void TestSaveFaults::readOnlyFile_reportsOnceAndKeepsFile()
{
    if (::geteuid() == 0)
        QSKIP("root ignores permission bits; tests/scripts/test_save_faults.sh runs this unprivileged");
    WorkFolder folder;
    std::vector<Contact> contacts = people("Kept", 3);
    writeBytes("Numbers.dat", recordBytes(contacts));
    const QByteArray before = readBytes("Numbers.dat");
    QVERIFY(QFile::setPermissions("Numbers.dat", QFile::ReadOwner | QFile::ReadGroup));
    Session session(folder.path());
    session.book().setField(0, Name, "Changed");
    contacts[0][Name] = "Changed";

    const QStringList reports = session.clickSave();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("Permission denied\r\n"), qPrintable(reports[0]));
    QCOMPARE(readBytes("Numbers.dat"), before);
    QCOMPARE(filesIn(folder.path()), QStringList{"Numbers.dat"});
    checkWindowStillWorks(session, contacts);

    // Once the user gives the file write permission back, the save goes through and keeps it.
    QVERIFY(QFile::setPermissions("Numbers.dat", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QCOMPARE(session.clickSave(), QStringList());
    QCOMPARE(readBytes("Numbers.dat"), recordBytes(contacts));
}

void TestSaveFaults::fullDisk_reportsOnceKeepsFileAndLaterSaveSucceeds()
{
    const QString smallFs = smallFileSystem();
    if (smallFs.isEmpty())
        QSKIP("needs a small file system; tests/scripts/test_media_faults.sh mounts one");
    QDir::setCurrent(smallFs);
    std::vector<Contact> contacts = people("Person", 40);
    writeBytes("Numbers.dat", recordBytes(contacts));
    const QByteArray before = readBytes("Numbers.dat");
    Session session(smallFs);
    session.book().setField(0, Name, "Changed");
    contacts[0][Name] = "Changed";
    for (const Contact &extra : people("Extra", 2000)) {
        session.book().append(extra);
        contacts.push_back(extra);
    }
    const QByteArray expected = recordBytes(contacts);

    // Fill the file system, then free one page less than the new file needs: the save runs out
    // of room on its very last bytes.
    {
        QFile filler("filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    const qint64 page = 4096;
    const qint64 pagesNeeded = (expected.size() + page - 1) / page;
    QVERIFY(QFile::resize("filler", QFileInfo("filler").size() - (pagesNeeded - 1) * page));
    const qint64 room = freeBytes(smallFs);
    QVERIFY2(room < expected.size() && room >= expected.size() - 2 * page,
             qPrintable(QStringLiteral("%1 bytes free for a file of %2").arg(room).arg(expected.size())));

    const QStringList reports = session.clickSave();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("No space left on device\r\nin Larkspanapp2021/08/31.Form1.Save_It "),
             qPrintable(reports[0]));
    QCOMPARE(readBytes("Numbers.dat"), before);
    QCOMPARE(filesIn(smallFs), QStringList({"Numbers.dat", "filler"}));
    QCOMPARE(freeBytes(smallFs), room);
    checkWindowStillWorks(session, contacts);

    QVERIFY(QFile::remove("filler"));
    QCOMPARE(session.clickSave(), QStringList());
    QCOMPARE(readBytes("Numbers.dat"), expected);
    QCOMPARE(filesIn(smallFs), QStringList{"Numbers.dat"});
}

void TestSaveFaults::readOnlyMedia_reportsOnceKeepsFileAndLaterSaveSucceeds()
{
    const QString smallFs = smallFileSystem();
    if (smallFs.isEmpty())
        QSKIP("needs a file system it may remount; tests/scripts/test_media_faults.sh mounts one");
    QDir::setCurrent(smallFs);
    std::vector<Contact> contacts = people("Person", 40);
    writeBytes("Numbers.dat", recordBytes(contacts));
    const QByteArray before = readBytes("Numbers.dat");
    Session session(smallFs);
    session.book().setField(0, Name, "Changed");
    contacts[0][Name] = "Changed";
    const Contact added = filledContact("Added later");
    session.book().append(added);
    contacts.push_back(added);

    QVERIFY(remount(smallFs, "ro"));
    auto writable = qScopeGuard([&] { remount(smallFs, "rw"); });
    const QStringList reports = session.clickSave();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("Read-only file system\r\nin Larkspanapp2021/08/31.Form1.Save_It "),
             qPrintable(reports[0]));
    QCOMPARE(readBytes("Numbers.dat"), before);
    QCOMPARE(filesIn(smallFs), QStringList{"Numbers.dat"});
    checkWindowStillWorks(session, contacts);

    QVERIFY(remount(smallFs, "rw"));
    QCOMPARE(session.clickSave(), QStringList());
    QCOMPARE(readBytes("Numbers.dat"), recordBytes(contacts));
    QCOMPARE(filesIn(smallFs), QStringList{"Numbers.dat"});
}

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
