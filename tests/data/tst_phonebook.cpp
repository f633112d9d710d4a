// The phone book and its Entry model: every change is announced with the signals a view relies
// on, a file that could not be read is never overwritten, and the data file stays where it was
// at start-up.
#include "data/PhoneBook.h"
#include "support/TestFiles.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

using namespace larkspan;
using namespace larkspan::test;

class TestPhoneBook : public QObject
{
    Q_OBJECT
private slots:
    void changes_areAnnouncedToViews();
    void unreadableFile_refusesEverySave_data();
    void unreadableFile_refusesEverySave();
    void dataFile_staysWhereItWasAtStart();
    void ownRowDraggedBack_isNotTaken();
};

void TestPhoneBook::changes_areAnnouncedToViews()
{
    WorkFolder folder;
    writeBytes(folder.path("Numbers.dat"), recordBytes({filledContact("Zed"), filledContact("ann")}));
    PhoneBook book(QStringLiteral("Numbers.dat"));
    EntryModel &model = book.model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy moved(&model, &QAbstractItemModel::layoutChanged);

    QVERIFY(book.load().ok);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 2);

    QCOMPARE(book.append({filledContact("Bob"), filledContact("Cid")}), 2);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 2);
    QCOMPARE(inserted[0][2].toInt(), 3);

    // One cell changes: the column that shows the field, in the row.
    book.setField(1, Phone, QStringLiteral("555"));
    QCOMPARE(changed.count(), 1);
    const QModelIndex cell = changed[0][0].toModelIndex();
    QCOMPARE(cell, changed[0][1].toModelIndex());
    QCOMPARE(cell.row(), 1);
    QCOMPARE(model.headerData(cell.column(), Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Phone"));
    QCOMPARE(model.data(cell, Qt::DisplayRole).toString(), QStringLiteral("555"));

    book.sort();
    QCOMPARE(moved.count(), 1);
    QStringList names;
    for (int row = 0; row < book.count(); ++row)
        names << book.text(row, Name);
    QCOMPARE(names, (QStringList{"ann", "Bob", "Cid", "Zed"}));

    book.remove(0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(book.find(QStringLiteral("zed")), 2);
}

void TestPhoneBook::unreadableFile_refusesEverySave_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a FIFO") << "fifo";
}

void TestPhoneBook::unreadableFile_refusesEverySave()
{
    QFETCH(QString, kind);
    WorkFolder folder;
    const QString path = folder.path("Numbers.dat");
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    PhoneBook book(QStringLiteral("Numbers.dat"));
    const LoadResult loaded = book.load();
    QVERIFY(!loaded.ok);
    QVERIFY(!loaded.error.isEmpty());
    QCOMPARE(book.fileState(), PhoneBook::FileState::Unreadable);
    book.append(filledContact("Typed later"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const BookSave saved = book.save();
        QVERIFY(!saved.ok);
        QVERIFY2(saved.error.startsWith(QStringLiteral("\"Numbers.dat\" could not be read when the program "
                                                       "started (") +
                                        loaded.error),
                 qPrintable(saved.error));
    }
    QCOMPARE(QFileInfo(path).isDir(), kind == QLatin1String("folder"));
    QCOMPARE(
        QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        QStringList{"Numbers.dat"});
}

void TestPhoneBook::dataFile_staysWhereItWasAtStart()
{
    WorkFolder folder;
    QVERIFY(QDir().mkdir(folder.path("elsewhere")));
    PhoneBook book(QStringLiteral("Numbers.dat"));
    QVERIFY(QDir::setCurrent(folder.path("elsewhere")));
    book.append(filledContact("Ann"));
    QVERIFY(book.save().ok);
    QCOMPARE(readBytes(folder.path("Numbers.dat")), recordBytes({filledContact("Ann")}));
    QVERIFY(!QFileInfo::exists(folder.path("elsewhere/Numbers.dat")));
}

void TestPhoneBook::ownRowDraggedBack_isNotTaken()
{
    WorkFolder folder;
    PhoneBook book(QStringLiteral("Numbers.dat"));
    book.append(filledContact("Ann"));
    EntryModel &model = book.model();
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(0, 0)}));
    QVERIFY(dragged && dragged->hasUrls());
    QVERIFY(!model.canDropMimeData(dragged.get(), Qt::CopyAction, -1, -1, {}));

    // The same file dropped from a file manager is taken, and only as a copy.
    QMimeData fromOutside;
    fromOutside.setUrls(
        {QUrl(QStringLiteral("https://example.com/a.vcf")), dragged->urls()[0], dragged->urls()[0]});
    QVERIFY(!model.canDropMimeData(&fromOutside, Qt::MoveAction, -1, -1, {}));
    QSignalSpy dropped(&model, &EntryModel::filesDropped);
    QVERIFY(model.dropMimeData(&fromOutside, Qt::CopyAction, -1, -1, {}));
    QCOMPARE(dropped.count(), 1);
    QCOMPARE(dropped[0][0].toStringList(), QStringList{dragged->urls()[0].toLocalFile()});
}

QTEST_GUILESS_MAIN(TestPhoneBook)
#include "tst_phonebook.moc"
