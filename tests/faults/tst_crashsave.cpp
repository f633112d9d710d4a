// Crash during a save: a helper process (tests/tools/crashsaver.cpp) saves two lists of 20,000
// entries in turn and is killed with SIGKILL at random moments. After every kill "Numbers.dat"
// must be exactly one list or the other. A kill between creating the temporary file and renaming
// it leaves that file behind; the next save must clear it, so at most one is ever found, and the
// program must never read one as data.
//
// CARDINDEX_CRASH_KILLS sets the number of kills (30 unless set; tests/scripts/crash_soak_long.sh
// asks for 300); CARDINDEX_CRASH_SEED repeats the kill moments of an earlier run.
#include "data/NumbersFile.h"
#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>

using namespace larkspan;
using namespace larkspan::test;

namespace {

// Bounds every wait on the helper, so that a stuck helper fails the test instead of hanging it.
constexpr int kHelperTimeoutMs = 60000;

constexpr int kCrashListSize = 20000;

// The two phone books the helper saves in turn: the second has other names and another size.
std::vector<Contact> crashList(bool second)
{
    std::vector<Contact> list;
    list.reserve(kCrashListSize);
    for (int i = 0; i < kCrashListSize; ++i) {
        const QString number = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        list.push_back(filledContact(second ? QStringLiteral("Renamed person ") + number
                                            : QStringLiteral("Person ") + number));
    }
    return list;
}

// Where the helper finds the two lists, outside the folder it saves in.
struct Lists
{
    QTemporaryDir folder;
    QByteArray first = recordBytes(crashList(false));
    QByteArray second = recordBytes(crashList(true));

    Lists()
    {
        writeBytes(folder.filePath("first.dat"), first);
        writeBytes(folder.filePath("second.dat"), second);
    }
};

QStringList strayFiles(const QString &folder)
{
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeAll(QStringLiteral("Numbers.dat"));
    return names;
}

// Starts the helper on `dataFile` and waits until its lists are built. Its first save writes
// the list that the file does not hold.
bool startSaver(QProcess &saver, const QString &dataFile, const Lists &lists, bool fileHoldsSecond)
{
    saver.setProcessChannelMode(QProcess::SeparateChannels);
    saver.start(QStringLiteral(CARDINDEX_CRASHSAVER),
                {dataFile, lists.folder.filePath("first.dat"), lists.folder.filePath("second.dat"),
                 fileHoldsSecond ? QStringLiteral("first") : QStringLiteral("second")});
    if (!saver.waitForStarted(kHelperTimeoutMs))
        return false;
    QDeadlineTimer deadline(kHelperTimeoutMs);
    while (!saver.canReadLine()) {
        if (deadline.hasExpired() || !saver.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return saver.readLine() == "ready\n";
}

// Waits for the helper to report `count` finished saves.
bool waitForSaves(QProcess &saver, int count)
{
    QDeadlineTimer deadline(kHelperTimeoutMs);
    while (count > 0) {
        while (saver.canReadLine())
            if (saver.readLine() == "saved\n")
                --count;
        if (count > 0 && (deadline.hasExpired() || !saver.waitForReadyRead(int(deadline.remainingTime()))))
            return false;
    }
    return true;
}

// Kills the helper with SIGKILL and reaps it; false if it had already ended on its own.
bool killSaver(QProcess &saver)
{
    if (saver.state() != QProcess::Running)
        return false;
    ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
    saver.waitForFinished(kHelperTimeoutMs);
    return saver.exitStatus() == QProcess::CrashExit;
}

} // namespace

class TestCrashSave : public QObject
{
    Q_OBJECT
private slots:
    void killedSaves_leaveOldOrNewFile();
    void staleTemporaryFiles_removedOnlyWhenTheirSaverIsGone_data();
    void staleTemporaryFiles_removedOnlyWhenTheirSaverIsGone();
};

void TestCrashSave::killedSaves_leaveOldOrNewFile()
{
    const int kills = qEnvironmentVariableIsSet("CARDINDEX_CRASH_KILLS")
                          ? qEnvironmentVariableIntValue("CARDINDEX_CRASH_KILLS")
                          : 30;
    const quint32 seed = qEnvironmentVariableIsSet("CARDINDEX_CRASH_SEED")
                             ? quint32(qEnvironmentVariableIntValue("CARDINDEX_CRASH_SEED"))
                             : QRandomGenerator::system()->generate() & 0x7fffffff;
    qInfo("kill moments from seed %u (CARDINDEX_CRASH_SEED=%u repeats them)", seed, seed);
    QRandomGenerator random(seed);

    WorkFolder folder;
    const QString dataFile = folder.path("Numbers.dat");
    const Lists lists;
    const QByteArray &first = lists.first;
    const QByteArray &second = lists.second;
    QVERIFY(lists.folder.isValid());
    QVERIFY(first != second);
    writeBytes(dataFile, first);

    // How long one save takes here, so that the kills spread over whole saves: a kill lands
    // anywhere in the first two saves after the helper is ready.
    qint64 saveNs = 0;
    {
        QProcess saver;
        QVERIFY2(startSaver(saver, dataFile, lists, false), qPrintable(saver.readAllStandardError()));
        QElapsedTimer clock;
        clock.start();
        QVERIFY2(waitForSaves(saver, 8), qPrintable(saver.readAllStandardError()));
        saveNs = clock.nsecsElapsed() / 8;
        QVERIFY(killSaver(saver));
    }
    qInfo("one save of %d entries takes about %lld ms here", kCrashListSize, saveNs / 1000000);
    const QByteArray calibrated = readBytes(dataFile);
    QVERIFY(calibrated == first || calibrated == second);

    int foundFirst = 0;
    int foundSecond = 0;
    int changes = 0;
    int killsLeavingTemporary = 0;
    int mostStrayFiles = 0;
    QByteArray previous = calibrated;
    for (int kill = 1; kill <= kills; ++kill) {
        QProcess saver;
        QVERIFY2(startSaver(saver, dataFile, lists, previous == second),
                 qPrintable(saver.readAllStandardError()));
        const qint64 delayNs = qint64(random.bounded(2.0 * double(saveNs)));
        QThread::usleep(static_cast<unsigned long>(delayNs / 1000));
        QVERIFY2(killSaver(saver),
                 qPrintable(QStringLiteral("kill %1: the helper ended by itself: %2")
                                .arg(kill)
                                .arg(QString::fromLocal8Bit(saver.readAllStandardError()))));

        const QByteArray after = readBytes(dataFile);
        QVERIFY2(after == first || after == second,
                 qPrintable(QStringLiteral("kill %1 (seed %2): \"Numbers.dat\" is neither list: %3 bytes")
                                .arg(kill)
                                .arg(seed)
                                .arg(after.size())));
        (after == first ? foundFirst : foundSecond)++;
        if (after != previous)
            ++changes;
        previous = after;

        const QStringList stray = strayFiles(folder.path());
        for (const QString &name : stray)
            QVERIFY2(name.startsWith(".Numbers.dat.") && name.endsWith(".tmp"), qPrintable(name));
        if (!stray.isEmpty())
            ++killsLeavingTemporary;
        mostStrayFiles = std::max(mostStrayFiles, int(stray.size()));
        QVERIFY2(stray.size() <= 1,
                 qPrintable(QStringLiteral("kill %1 (seed %2): temporary files pile up: %3")
                                .arg(kill)
                                .arg(seed)
                                .arg(stray.join(", "))));
    }
    qInfo("%d kills survived: the file was the first list %d times and the second %d times, changed "
          "between kills %d times; a temporary file was left after %d kills, at most %d at once",
          kills, foundFirst, foundSecond, changes, killsLeavingTemporary, mostStrayFiles);

    // Whatever the last kill left, the window reads only "Numbers.dat", and its next save clears
    // the temporary file of the killed one.
    const QByteArray lastBytes = readBytes(dataFile);
    const std::vector<Contact> lastList = crashList(lastBytes == second);
    MessageRecorder boxes;
    QDir(folder.path()).mkdir("app");
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, folder.path("app"));
    form.Form_Load();
    QDir(folder.path()).rmdir("app");
    QVERIFY(boxes.boxes().isEmpty());
    QCOMPARE(form.phoneBook().count(), kCrashListSize);
    QCOMPARE(form.phoneBook().text(0, Name), lastList.front()[Name]);
    QCOMPARE(form.phoneBook().text(kCrashListSize - 1, Name), lastList.back()[Name]);
    QVERIFY(form.Save_It());
    QCOMPARE(readBytes(dataFile), lastBytes);
    QCOMPARE(strayFiles(folder.path()), QStringList());
}

void TestCrashSave::staleTemporaryFiles_removedOnlyWhenTheirSaverIsGone_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("locked"); // a save holds its temporary file locked until the rename
    QTest::addColumn<bool>("removed");

    // Temporary files are named ".Numbers.dat.<process id>.<random>.tmp". The process id is of a
    // process that has ended, as a save in another pid namespace looks from here.
    QTest::newRow("saver killed") << ".Numbers.dat.%1.k3x9.tmp" << false << true;
    QTest::newRow("saver still saving") << ".Numbers.dat.%1.k3x9.tmp" << true << false;
    QTest::newRow("no process id") << ".Numbers.dat.k3x9.tmp" << false << false;
    QTest::newRow("not a temporary file") << ".Numbers.dat.%1.k3x9.bak" << false << false;
    QTest::newRow("another file's") << ".Other.dat.%1.k3x9.tmp" << false << false;
}

void TestCrashSave::staleTemporaryFiles_removedOnlyWhenTheirSaverIsGone()
{
    QFETCH(QString, name);
    QFETCH(bool, locked);
    QFETCH(bool, removed);

    // A process id whose process has ended and been reaped.
    QProcess ended;
    ended.start(QStringLiteral("true"));
    QVERIFY(ended.waitForStarted(kHelperTimeoutMs));
    const qint64 pid = ended.processId();
    QVERIFY(ended.waitForFinished(kHelperTimeoutMs));

    WorkFolder folder;
    const QString stray = name.contains("%1") ? name.arg(pid) : name;
    writeBytes(folder.path(stray), "half a file");
    // The lock of an open file of its own, as the saver holds it (flock locks belong to an open
    // file, so the save's own open of the name cannot take it).
    const int holder = ::open(QFile::encodeName(folder.path(stray)).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(holder >= 0);
    if (locked)
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const std::vector<PackedEntry> entries{PackedEntry(filledContact("Kept"))};
    const SaveResult saved = saveNumbersFile(folder.path("Numbers.dat"), entries);
    ::close(holder);
    QVERIFY2(saved.ok, qPrintable(saved.error));
    QCOMPARE(readBytes(folder.path("Numbers.dat")), recordBytes({filledContact("Kept")}));
    QCOMPARE(QFile::exists(folder.path(stray)), !removed);
    QCOMPARE(strayFiles(folder.path()), removed ? QStringList() : QStringList{stray});
}

QTEST_MAIN(TestCrashSave)
#include "tst_crashsave.moc"
