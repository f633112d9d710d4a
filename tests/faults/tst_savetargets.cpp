// What a save finds under the data file's name and folder, which may not be what start-up
// found: a node that is not a regular file swapped in (after the load, or while the list is
// written), the folder gone, or the folder removed and made again.
#include "data/PhoneBook.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace larkspan;
using namespace larkspan::test;

namespace {

// A link points into a folder of the test's own, never at a node of the system: a save that
// wrongly followed a link to /dev/null as root would replace it.
void makeNode(const QString &kind, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind.startsWith("link to ")) {
        const QString target = QFileInfo(path).dir().filePath(QStringLiteral("node"));
        makeNode(kind.mid(8), target);
        QFile::link(target, path);
    } else if (kind == "a FIFO") {
        ::mkfifo(name.constData(), 0666);
    } else if (kind == "a folder") {
        QDir().mkdir(path);
    } else {
        ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3));
    }
}

// The kind, mode and device of the name and of what it leads to.
QString describe(const QString &path)
{
    struct stat own, followed;
    if (::lstat(QFile::encodeName(path), &own) != 0 || ::stat(QFile::encodeName(path), &followed) != 0)
        return {};
    return QStringLiteral("%1 %2 %3 %4")
        .arg(own.st_mode)
        .arg(own.st_rdev)
        .arg(followed.st_mode)
        .arg(followed.st_rdev);
}

} // namespace

class TestSaveTargets : public QObject
{
    Q_OBJECT
private slots:
    void notARegularFile_isRefusedAndLeftAlone_data();
    void notARegularFile_isRefusedAndLeftAlone();
    void folderGone_isNamedAndARecreatedFolderIsSavedIn();
};

void TestSaveTargets::notARegularFile_isRefusedAndLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("duringWrite"); // swapped in while the list is written, not before
    for (const char *kind : {"a FIFO", "a folder", "a character device", "link to a FIFO", "link to a folder",
                             "link to a character device"}) {
        QTest::addRow("%s after the load", kind) << kind << false;
        QTest::addRow("%s during the write", kind) << kind << true;
    }
}

void TestSaveTargets::notARegularFile_isRefusedAndLeftAlone()
{
    QFETCH(QString, kind);
    QFETCH(bool, duringWrite);
    if (kind.endsWith("character device") && ::geteuid() != 0)
        QSKIP("only root may make device nodes");
    WorkFolder folder;
    writeBytes("Numbers.dat", recordBytes({filledContact("Loaded")}));
    PhoneBook book{QLatin1String(kDataFileName)};
    QVERIFY(book.load().ok);
    QString node;
    auto swap = [&] {
        QFile::remove(book.path());
        makeNode(kind, book.path());
        node = describe(book.path());
    };
    if (!duringWrite)
        swap();
    const SaveResult result = duringWrite ? replaceFile(book.path(),
                                                        [&](QIODevice &out, QString *) {
                                                            swap();
                                                            return out.write("new\r\n") == 5;
                                                        })
                                          : [&] {
                                                const BookSave saved = book.save();
                                                return SaveResult{saved.ok, saved.error};
                                            }();
    QVERIFY(!node.isEmpty());
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(" is not a regular file"), qPrintable(result.error));
    QCOMPARE(describe(book.path()), node);
    QCOMPARE(
        QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
        kind.startsWith("link") ? QStringList({"Numbers.dat", "node"}) : QStringList{"Numbers.dat"});
}

void TestSaveTargets::folderGone_isNamedAndARecreatedFolderIsSavedIn()
{
    WorkFolder folder;
    const QString bookFolder = folder.path("book");
    QVERIFY(QDir().mkdir(bookFolder));
    writeBytes(bookFolder + "/Numbers.dat", recordBytes({filledContact("Old")}));
    PhoneBook book{QStringLiteral("book/Numbers.dat")};
    QVERIFY(book.load().ok);
    book.append(filledContact("Added"));

    QVERIFY(QDir(bookFolder).removeRecursively());
    const BookSave gone = book.save();
    QVERIFY(!gone.ok);
    QVERIFY2(gone.error.contains('"' + bookFolder + '"'), qPrintable(gone.error));

    // The path was made absolute at start-up, so the current folder no longer matters.
    QVERIFY(QDir().mkdir(bookFolder));
    QDir::setCurrent(QDir::tempPath());
    const BookSave saved = book.save();
    QVERIFY2(saved.ok, qPrintable(saved.error));
    QCOMPARE(readBytes(bookFolder + "/Numbers.dat"),
             recordBytes({filledContact("Old"), filledContact("Added")}));
}

QTEST_MAIN(TestSaveTargets)
#include "tst_savetargets.moc"
