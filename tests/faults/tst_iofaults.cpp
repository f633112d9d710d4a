// I/O errors at every step of a save. libfiu's POSIX wrappers fail one call at a time: the N-th
// write, fdatasync, fsync, rename, close or open that a save makes, for N = 1, 2, 3, ... until a
// save no longer makes an N-th call. After every save, "Numbers.dat" must be exactly the old
// file when the window reported a failure and exactly the new one when it did not, and no
// temporary file may be left in the folder.
//
// The wrappers only act when fiu_posix_preload.so is preloaded, so main() restarts the program
// that way. Only the calls made by the saving thread while the save runs are counted; what glibc
// does internally never reaches the wrappers and is not counted.
#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <fiu-control.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>
#include <unistd.h>

using namespace larkspan;
using namespace larkspan::test;

namespace {

constexpr const char *kPreloadCandidates[] = {
    "/usr/lib/fiu/fiu_posix_preload.so",
    "/usr/lib/x86_64-linux-gnu/fiu/fiu_posix_preload.so",
    "/usr/local/lib/fiu/fiu_posix_preload.so",
};

const char *posixPreloadPath()
{
    if (const char *chosen = std::getenv("CARDINDEX_FIU_PRELOAD"))
        return chosen;
    for (const char *candidate : kPreloadCandidates)
        if (::access(candidate, R_OK) == 0)
            return candidate;
    return nullptr;
}

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer insists on coming first among the preloaded libraries.
std::string sanitizerRuntime()
{
    std::string found;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "libasan.so")) {
                *static_cast<std::string *>(data) = info->dlpi_name;
                return 1;
            }
            return 0;
        },
        &found);
    return found;
}
#endif

// Restarts this program with libfiu's POSIX wrappers preloaded, unless they already are.
void restartWithPosixWrappers(char **argv)
{
    const char *preload = posixPreloadPath();
    if (!preload || ::dlopen(preload, RTLD_NOW | RTLD_NOLOAD) || std::getenv("CARDINDEX_FIU_RESTARTED"))
        return;
    std::string libraries = preload;
#if defined(__SANITIZE_ADDRESS__)
    if (const std::string runtime = sanitizerRuntime(); !runtime.empty())
        libraries = runtime + ":" + libraries;
#endif
    if (const char *earlier = std::getenv("LD_PRELOAD"); earlier && *earlier)
        libraries += std::string(":") + earlier;
    ::setenv("LD_PRELOAD", libraries.c_str(), 1);
    ::setenv("CARDINDEX_FIU_RESTARTED", "1", 1);
    ::execv("/proc/self/exe", argv);
    std::perror("restarting with libfiu's POSIX wrappers");
}

// libfiu's control functions, taken from the library the preloaded wrappers brought in: a copy
// linked into this program would keep failure points of its own that the wrappers never see.
struct FiuControl
{
    // fiu_init() is declared in fiu.h only for builds with fault points of their own.
    int (*init)(unsigned int) = nullptr;
    decltype(&fiu_enable_external) enableExternal = nullptr;
    decltype(&fiu_disable) disable = nullptr;

    bool load()
    {
        init = reinterpret_cast<decltype(init)>(::dlsym(RTLD_DEFAULT, "fiu_init"));
        enableExternal =
            reinterpret_cast<decltype(enableExternal)>(::dlsym(RTLD_DEFAULT, "fiu_enable_external"));
        disable = reinterpret_cast<decltype(disable)>(::dlsym(RTLD_DEFAULT, "fiu_disable"));
        return init && enableExternal && disable && init(0) == 0;
    }
};

// The failure point's decision: count the calls of the saving thread and fail the chosen one.
struct CallCounter
{
    pid_t thread = 0;
    int calls = 0;
    int failAt = 0;
};
CallCounter counter;

int failChosenCall(const char *, int *, void **, unsigned int *)
{
    if (::gettid() != counter.thread)
        return 0;
    return ++counter.calls == counter.failAt ? 1 : 0;
}

// Enough entries that the writer, which writes 1 MiB at a time, needs several writes.
std::vector<Contact> contacts(const QString &prefix, int count)
{
    std::vector<Contact> list;
    list.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        list.push_back(filledContact(QStringLiteral("%1 %2").arg(prefix).arg(i, 5, 10, QLatin1Char('0'))));
    return list;
}

QStringList folderEntries(const QString &path)
{
    QStringList names =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

} // namespace

// What failing a call must do to the saves, besides keeping the old file or writing the new.
enum Outcome {
    EveryFailureReported, // each failed call fails its save
    SomeFailureReported,  // at least one of the calls is one the save cannot do without
    NoFailure,            // the writer rides the fault out: every save succeeds
    EitherOutcome,
};
Q_DECLARE_METATYPE(Outcome)

class TestIoFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void failingCall_leavesOldFileOrNewFile_data();
    void failingCall_leavesOldFileOrNewFile();

private:
    FiuControl fiu_;
};

void TestIoFaults::initTestCase()
{
    QVERIFY2(posixPreloadPath(), "fiu_posix_preload.so is missing (Debian packages libfiu0, fiu-utils)");
    QVERIFY2(::dlopen(posixPreloadPath(), RTLD_NOW | RTLD_NOLOAD),
             "libfiu's POSIX wrappers are not preloaded");
    QVERIFY2(fiu_.load(), "libfiu's control functions are not available");
}

void TestIoFaults::failingCall_leavesOldFileOrNewFile_data()
{
    QTest::addColumn<QString>("point");
    QTest::addColumn<int>("error");
    // Calls the save must make every time, to prove the failures reached it.
    QTest::addColumn<int>("leastCalls");
    QTest::addColumn<Outcome>("outcome");

    QTest::newRow("write, I/O error") << "posix/io/rw/write" << EIO << 3 << EveryFailureReported;
    QTest::newRow("write, disk full") << "posix/io/rw/write" << ENOSPC << 3 << EveryFailureReported;
    QTest::newRow("write, interrupted") << "posix/io/rw/write" << EINTR << 3 << NoFailure;
    QTest::newRow("write, short count") << "posix/io/rw/write/reduce" << 0 << 3 << NoFailure;
    // Unsynced data is not known to be on the disk: the new file must not replace the old one.
    QTest::newRow("fdatasync") << "posix/io/sync/fdatasync" << EIO << 1 << EveryFailureReported;
    // Only the folder is synced with fsync, after the rename: the new file is in place.
    QTest::newRow("fsync") << "posix/io/sync/fsync" << EIO << 1 << EitherOutcome;
    QTest::newRow("rename") << "posix/io/dir/rename" << ENOSPC << 1 << EveryFailureReported;
    // The temporary file's close must be checked; the folder's, after the rename, cannot matter.
    QTest::newRow("close") << "posix/io/oc/close" << EIO << 1 << SomeFailureReported;
    QTest::newRow("open, I/O error") << "posix/io/oc/open" << EIO << 1 << SomeFailureReported;
    QTest::newRow("open, too many files") << "posix/io/oc/open" << EMFILE << 1 << SomeFailureReported;
}

void TestIoFaults::failingCall_leavesOldFileOrNewFile()
{
    QFETCH(QString, point);
    QFETCH(int, error);
    QFETCH(int, leastCalls);
    QFETCH(Outcome, outcome);

    WorkFolder folder;
    writeBytes("Numbers.dat", recordBytes(contacts(QStringLiteral("Person"), 20000)));
    MessageRecorder boxes;
    QDir(folder.path()).mkdir("app");
    PhoneBook formBook{QLatin1String(kDataFileName)};
    Form1 form(formBook, folder.path("app"));
    form.Form_Load();
    QDir(folder.path()).rmdir("app");
    QCOMPARE(form.phoneBook().count(), 20000);
    QVERIFY(boxes.boxes().isEmpty());

    // A save without faults first: it settles anything the first save sets up, so that the
    // counted saves below all make the same calls.
    QVERIFY(form.Save_It());

    const QByteArray pointName = point.toUtf8();
    const QString expectedReport = QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral("\r\n");
    int failedSaves = 0;
    int reached = 0;
    for (int n = 1;; ++n) {
        // Each save has something new to write, so that the old file and the new one differ.
        const QByteArray oldBytes = readBytes("Numbers.dat");
        form.phoneBook().setField(0, Comments, QStringLiteral("save %1").arg(n));
        const QByteArray newBytes = encodeEntries(form.phoneBook().model().store().rows());
        QVERIFY(newBytes.size() > 3 * (1 << 20) && newBytes != oldBytes);
        boxes.clear();

        counter = CallCounter{::gettid(), 0, n};
        QCOMPARE(fiu_.enableExternal(pointName.constData(), 1,
                                     reinterpret_cast<void *>(static_cast<intptr_t>(error)), 0,
                                     failChosenCall),
                 0);
        const bool saved = form.Save_It();
        fiu_.disable(pointName.constData());
        const int calls = counter.calls;

        const QByteArray after = readBytes("Numbers.dat");
        const QByteArray context = QStringLiteral("%1 #%2 of %3: save %4")
                                       .arg(point)
                                       .arg(n)
                                       .arg(calls)
                                       .arg(saved ? "succeeded" : "failed")
                                       .toUtf8();
        QVERIFY2(folderEntries(folder.path()) == QStringList{"Numbers.dat"},
                 qPrintable(context + ": left " + folderEntries(folder.path()).join(", ").toUtf8()));
        if (saved) {
            QVERIFY2(after == newBytes, context.constData());
            QVERIFY2(boxes.boxes().isEmpty(), context.constData());
        } else {
            ++failedSaves;
            QVERIFY2(after == oldBytes, context.constData());
            QCOMPARE(boxes.texts().size(), 1);
            QVERIFY2(boxes.texts()[0].startsWith(expectedReport), qPrintable(boxes.texts()[0]));
            QVERIFY2(boxes.texts()[0].contains("Form1.Save_It"), qPrintable(boxes.texts()[0]));
        }
        if (calls < n) {
            // The save ended before an N-th call: nothing failed, so it must have succeeded.
            QVERIFY2(saved, context.constData());
            break;
        }
        if (outcome == EveryFailureReported)
            QVERIFY2(!saved, qPrintable(context + ": the failed call went unnoticed"));
        if (outcome == NoFailure)
            QVERIFY2(saved, context.constData());
        reached = n;
        QVERIFY2(n < 10000, "the save keeps making calls");
    }
    QVERIFY2(reached >= leastCalls,
             qPrintable(QStringLiteral("%1 was called %2 times").arg(point).arg(reached)));
    if (outcome == SomeFailureReported)
        QVERIFY2(failedSaves > 0, "no failure of this call was ever reported");
    // The list in the window still holds everything after all those failures.
    QCOMPARE(form.phoneBook().count(), 20000);
    qInfo(
        "%s: failed call N = 1 to %d in turn (%d values), %d saves reported failure, N = %d was not reached",
        qPrintable(point), reached, reached, failedSaves, reached + 1);
}

int main(int argc, char **argv)
{
    restartWithPosixWrappers(argv);
    QApplication app(argc, argv);
    TestIoFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_iofaults.moc"
