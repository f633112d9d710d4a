// A load that cannot complete: the phone book, in a process of its own under a memory limit,
// fails to get the memory for the file (the read) or for its entries (the parse, on two threads).
// The failure is reported, nothing aborts, and no save ever overwrites the file.
#include "support/BookCopy.h"
#include "support/TestFiles.h"

#include <QTest>

#include <sys/resource.h>

using namespace larkspan;
using namespace larkspan::test;

namespace {
constexpr rlim_t kMemoryLimit = 96 << 20;
}

class TestLoadFaults : public QObject
{
    Q_OBJECT
private slots:
    void outOfMemory_isUnreadableAndNeverOverwritten_data();
    void outOfMemory_isUnreadableAndNeverOverwritten();
};

void TestLoadFaults::outOfMemory_isUnreadableAndNeverOverwritten_data()
{
    QTest::addColumn<int>("megabytes");
    QTest::addColumn<bool>("loads");
    QTest::newRow("fits: the limit leaves room for a small book") << 4 << true;
    QTest::newRow("the file is larger than the memory") << 160 << false;
    QTest::newRow("the file fits, its entries do not") << 80 << false;
}

void TestLoadFaults::outOfMemory_isUnreadableAndNeverOverwritten()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the sanitizers' own memory does not fit under a data limit");
#endif
    QFETCH(int, megabytes);
    QFETCH(bool, loads);
    WorkFolder folder;
    const QByteArray record = recordBytes({filledContact(QStringLiteral("Person"))});
    const QByteArray bytes = record.repeated((qsizetype(megabytes) << 20) / record.size());
    writeBytes(folder.path("Numbers.dat"), bytes);

    BookCopy copy(QStringLiteral(CARDINDEX_BOOKCOPY), folder.path("Numbers.dat"), [] {
        const rlimit limit{kMemoryLimit, kMemoryLimit};
        ::setrlimit(RLIMIT_DATA, &limit);
    });
    QVERIFY2(copy.started(), qPrintable(copy.loadReport()));
    QCOMPARE(copy.loadReport().startsWith(QStringLiteral("unreadable: ")), !loads);
    QVERIFY(copy.run(QStringLiteral("add Later")).isEmpty());
    const QString saved = copy.run(QStringLiteral("save"));
    if (loads) {
        QVERIFY2(saved.startsWith(QStringLiteral("saved")), qPrintable(saved));
    } else {
        QVERIFY2(saved.contains(QStringLiteral("could not be read when the program started")),
                 qPrintable(saved));
        QCOMPARE(readBytes(folder.path("Numbers.dat")), bytes);
    }
}

QTEST_GUILESS_MAIN(TestLoadFaults)
#include "tst_loadfaults.moc"
