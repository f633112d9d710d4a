// Saves that the system refuses: a folder without write access, a read-only file, a full disk.
// Run by tests/scripts/test_save_faults.sh as an unprivileged user (root ignores permission
// bits) and inside a private mount namespace with a small file system.
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

using namespace larkspan;
using namespace larkspan::test;

class TestSaveFaults : public QObject
{
    Q_OBJECT
private slots:
    void readOnlyFolder_reportsOnceAndKeepsFile();
    void readOnlyFile_reportsOnceAndKeepsFile();
    void fullDisk_reportsOnceKeepsFileAndLaterSaveSucceeds();

private:
    // Starts the window on the current folder's file, changes the first entry and saves.
    static QStringList saveChangedEntry(Form1 &form, MessageRecorder &boxes)
    {
        form.entryList()->setText(0, "Changed");
        boxes.clear();
        form.Save_It();
        return boxes.texts();
    }
};

void TestSaveFaults::readOnlyFolder_reportsOnceAndKeepsFile()
{
    if (::geteuid() == 0)
        QSKIP("root ignores permission bits; tests/scripts/test_save_faults.sh runs this unprivileged");
    WorkFolder folder;
    writeBytes("Numbers.dat", recordBytes({filledContact("Kept")}));
    const QByteArray before = readBytes("Numbers.dat");
    MessageRecorder boxes;
    Form1 form(folder.path());
    form.Form_Load();
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));

    const QStringList reports = saveChangedEntry(form, boxes);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].startsWith("Permission denied\r\nin Larkspanapp2021/08/31.Form1.Save_It "));
    QCOMPARE(readBytes("Numbers.dat"), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Numbers.dat"});

    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    boxes.clear();
    QVERIFY(form.Save_It());
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(readBytes("Numbers.dat").startsWith("Changed\r\n"));
}

void TestSaveFaults::readOnlyFile_reportsOnceAndKeepsFile()
{
    if (::geteuid() == 0)
        QSKIP("root ignores permission bits; tests/scripts/test_save_faults.sh runs this unprivileged");
    WorkFolder folder;
    writeBytes("Numbers.dat", recordBytes({filledContact("Kept")}));
    const QByteArray before = readBytes("Numbers.dat");
    QVERIFY(QFile::setPermissions("Numbers.dat", QFile::ReadOwner | QFile::ReadGroup));
    MessageRecorder boxes;
    Form1 form(folder.path());
    form.Form_Load();
    const QStringList reports = saveChangedEntry(form, boxes);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].startsWith("Permission denied\r\n"));
    QCOMPARE(readBytes("Numbers.dat"), before);
    QCOMPARE(form.entryList()->text(0), QStringLiteral("Changed"));
}

void TestSaveFaults::fullDisk_reportsOnceKeepsFileAndLaterSaveSucceeds()
{
    const QString smallFs = qEnvironmentVariable("CARDINDEX_SMALL_FS");
    if (smallFs.isEmpty())
        QSKIP("needs a small file system; tests/scripts/test_save_faults.sh mounts one");
    QDir::setCurrent(smallFs);
    std::vector<Contact> contacts;
    for (int i = 0; i < 40; ++i)
        contacts.push_back(filledContact(QStringLiteral("Person %1").arg(i)));
    writeBytes("Numbers.dat", recordBytes(contacts));
    const QByteArray before = readBytes("Numbers.dat");
    MessageRecorder boxes;
    Form1 form(smallFs);
    form.Form_Load();
    for (int i = 0; i < 2000; ++i)
        form.entryList()->addEntry(PackedEntry(filledContact(QStringLiteral("Extra %1").arg(i))));

    // Fill the file system to just below what the save needs.
    {
        QFile filler("filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    QVERIFY(QFile::resize("filler", QFileInfo("filler").size() - 64 * 1024));

    const QStringList reports = saveChangedEntry(form, boxes);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith("No space left on device\r\n"), qPrintable(reports[0]));
    QCOMPARE(readBytes("Numbers.dat"), before);
    QStringList files = QDir(smallFs).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    QCOMPARE(files, QStringList({"Numbers.dat", "filler"}));

    QVERIFY(QFile::remove("filler"));
    boxes.clear();
    QVERIFY(form.Save_It());
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(readBytes("Numbers.dat").count("\r\n"), qsizetype(16 * form.entryList()->count()));
}

QTEST_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
