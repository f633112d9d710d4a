// Contacts dropped on the real Entry list and dragged out of it: the confirmation, what is
// appended where, the saved file, the messages for files without contacts, and the vCard file a
// drag carries.
#include "data/EntryModel.h"
#include "data/exchange/VCard.h"
#include "data/golden/GoldenContacts.h"
#include "mainwindow/ImportFlow.h"
#include "support/FormDriver.h"

#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

using namespace larkspan;
using namespace larkspan::test;

namespace {

std::vector<Contact> goldenContacts(const QString &name)
{
    return goldenExpected(name).contacts;
}

std::vector<Contact> rows(const PhoneBook &book)
{
    std::vector<Contact> contacts;
    for (int row = 0; row < book.count(); ++row)
        contacts.push_back(book.entry(row).toContact());
    return contacts;
}

template <typename... Lists>
std::vector<Contact> joined(const std::vector<Contact> &first, const Lists &...rest)
{
    std::vector<Contact> all = first;
    (all.insert(all.end(), rest.begin(), rest.end()), ...);
    return all;
}

// Drags the URLs over the list and drops them, as a file manager does: the events go to the
// window, which hands them to the widget under the point that takes drops. Returns whether the
// list took the drop; the files are read once control is back in the event loop.
bool dropUrls(EntryList &list, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QWindow *window = list.window()->windowHandle();
    const QPoint at = list.viewport()->mapTo(list.window(), list.viewport()->rect().center());
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    // Never a move: the file manager must keep the dropped file.
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction && move.dropAction() == Qt::CopyAction;
}

bool dropFiles(FormDriver &ui, const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    if (!dropUrls(ui.list(), urls))
        return false;
    // Each drop of these tests shows at least one box.
    const qsizetype before = ui.boxes().boxes().size();
    return QTest::qWaitFor([&] { return ui.boxes().boxes().size() > before; });
}

// A data file in our own format holding one line in Windows-1251.
QByteArray cyrillicRecords()
{
    Contact ivan = filledContact(QStringLiteral("Ivan"));
    ivan[Address] = QStringLiteral("ADDRESS");
    QByteArray bytes = recordBytes({ivan, filledContact(QStringLiteral("Olga"))});
    return bytes.replace("ADDRESS", "\xF3\xEB. \xCB\xE5\xED\xE8\xED\xE0 5"); // "ул. Ленина 5"
}

std::vector<Contact> cyrillicContacts()
{
    Contact ivan = filledContact(QStringLiteral("Ivan"));
    ivan[Address] = QStringLiteral("ул. Ленина 5");
    return {ivan, filledContact(QStringLiteral("Olga"))};
}

} // namespace

class TestContactDrop : public QObject
{
    Q_OBJECT
private slots:
    void dropVCard_yes_appendsAtTheEndAndSavesTheWholeList();
    void dropVCard_no_changesNothing();
    void dropSeveralFiles_oneConfirmationNamingEach();
    void dropFileWithoutContacts_oneMessageNamingIt_data();
    void dropFileWithoutContacts_oneMessageNamingIt();
    void dropOurOwnFormat_readsRecordsInTheLegacyCodePage_data();
    void dropOurOwnFormat_readsRecordsInTheLegacyCodePage();
    void drop_onlyLocalFilesAreTaken();
    void dropSameFileAgain_addsNothingAndSaysHowMany_data();
    void dropSameFileAgain_addsNothingAndSaysHowMany();
    void duplicatesInOneDrop_areAddedOnce();
    void cancelWhileReading_addsNothingAndSaysNothing();
    void failingSave_isReportedAsTheMainWindowReportsIt();
    void dragOut_carriesTheEntryAsVCardAndFile();
    void cardFileName_isSafeForFileSystems_data();
    void cardFileName_isSafeForFileSystems();
};

void TestContactDrop::dropVCard_yes_appendsAtTheEndAndSavesTheWholeList()
{
    const std::vector<Contact> before = {filledContact(QStringLiteral("Ann")),
                                         filledContact(QStringLiteral("Zed"))};
    FormDriver ui(before);
    ui.clickRow(1);
    QVERIFY(dropFiles(ui, {goldenPath(QStringLiteral("android-2.1.vcf"))}));

    QCOMPARE(ui.boxes().boxes().size(), 1);
    const MessageBoxRequest &box = ui.boxes().boxes()[0];
    QCOMPARE(box.text,
             QStringLiteral("Found 6 contacts in \"android-2.1.vcf\"; 2 lines could not be read.\n\n"
                            "Add these 6 contacts to the end of the list and save?"));
    QCOMPARE(box.caption, QStringLiteral("Larkspan Card"));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);

    // At the end, in the file's order, whatever the sort order; the selection stays.
    const std::vector<Contact> expected = joined(before, goldenContacts(QStringLiteral("android-2.1.vcf")));
    QCOMPARE(rows(ui.book()), expected);
    QCOMPARE(ui.list().selectedRow(), 1);
    QCOMPARE(ui.fileBytes(), recordBytes(expected));
}

void TestContactDrop::dropVCard_no_changesNothing()
{
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    const QByteArray file = ui.fileBytes();
    ui.boxes().answer(QMessageBox::No);
    QVERIFY(dropFiles(ui, {goldenPath(QStringLiteral("nextcloud-4.0.vcf"))}));
    QCOMPARE(ui.boxes().texts(),
             QStringList{"Found 3 contacts in \"nextcloud-4.0.vcf\"; 1 line could not be read.\n\n"
                         "Add these 3 contacts to the end of the list and save?"});
    QCOMPARE(rows(ui.book()), std::vector<Contact>{filledContact(QStringLiteral("Ann"))});
    QCOMPARE(ui.fileBytes(), file);
}

void TestContactDrop::dropSeveralFiles_oneConfirmationNamingEach()
{
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    const QString notes = QDir(ui.folder()).filePath(QStringLiteral("notes.txt"));
    writeBytes(notes, "Call Bob about the boat.\n");
    QVERIFY(dropFiles(ui, {goldenPath(QStringLiteral("outlook.csv")), notes,
                           goldenPath(QStringLiteral("apple-3.0.vcf")),
                           goldenPath(QStringLiteral("semicolon.csv"))}));
    QTRY_COMPARE(ui.boxes().boxes().size(), 2);
    const QList<MessageBoxRequest> &boxes = ui.boxes().boxes();
    QCOMPARE(boxes[0].text,
             QStringLiteral("\"notes.txt\" holds no contacts: it is not a vCard file, a CSV file "
                            "with a header row, or a phone book like \"Numbers.dat\"."));
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(boxes[1].text,
             QStringLiteral("Found 3 contacts in \"outlook.csv\".\n"
                            "Found 3 contacts in \"apple-3.0.vcf\".\n"
                            "Found 3 contacts in \"semicolon.csv\"; 2 rows could not be read.\n\n"
                            "Add these 9 contacts to the end of the list and save?"));
    const std::vector<Contact> expected =
        joined(std::vector<Contact>{filledContact(QStringLiteral("Ann"))}, goldenContacts("outlook.csv"),
               goldenContacts("apple-3.0.vcf"), goldenContacts("semicolon.csv"));
    QCOMPARE(rows(ui.book()), expected);
    QCOMPARE(ui.fileBytes(), recordBytes(expected));
}

void TestContactDrop::dropFileWithoutContacts_oneMessageNamingIt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // a folder when null
    QTest::addColumn<QString>("message");
    QTest::newRow("empty vCard file") << "empty.vcf" << QByteArray("") << "\"empty.vcf\" holds no contacts.";
    QTest::newRow("only broken cards")
        << "broken.vcf" << QByteArray("BEGIN:VCARD\nnot a property\nEND:VCARD\nBEGIN:VCARD\n")
        << "\"broken.vcf\" holds no contacts that could be read: 2 cards could not be read.";
    QTest::newRow("only broken rows")
        << "rows.csv" << QByteArray("Name,Phone\n\"Ann\"x,1\nBob,2,3\n")
        << "\"rows.csv\" holds no contacts that could be read: 2 rows could not be read.";
    QTest::newRow("CSV without a column we know")
        << "sales.csv" << QByteArray("Product,Price\nTea,3\n") << "\"sales.csv\" holds no contacts.";
    QTest::newRow("a picture")
        << "photo.jpg" << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11)
        << "\"photo.jpg\" holds no contacts: it is not a vCard file, a CSV file with a "
           "header row, or a phone book like \"Numbers.dat\".";
    QTest::newRow("an empty phone book")
        << "Numbers.dat" << QByteArray("") << "\"Numbers.dat\" holds no contacts.";
    QTest::newRow("a folder") << "cards.vcf" << QByteArray()
                              << "\"cards.vcf\" could not be read: Is a directory.";
}

void TestContactDrop::dropFileWithoutContacts_oneMessageNamingIt()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    const QByteArray file = ui.fileBytes();
    const QString dropped = QDir(ui.folder()).filePath(QStringLiteral("dropped/") + name);
    QVERIFY(QDir().mkpath(QFileInfo(dropped).path()));
    if (bytes.isNull())
        QVERIFY(QDir().mkpath(dropped));
    else
        writeBytes(dropped, bytes);
    QVERIFY(dropFiles(ui, {dropped}));
    QCOMPARE(ui.boxes().texts(), QStringList{message});
    const MessageBoxRequest &box = ui.boxes().boxes()[0];
    QCOMPARE(box.caption, QStringLiteral("Larkspan Card"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(ui.book().count(), 1);
    QCOMPARE(ui.fileBytes(), file);
}

void TestContactDrop::dropOurOwnFormat_readsRecordsInTheLegacyCodePage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("found");
    QTest::addColumn<int>("added");
    QTest::newRow("named Numbers.dat")
        << "Numbers.dat" << cyrillicRecords() << "Found 2 contacts in \"Numbers.dat\"." << 2;
    QTest::newRow("any .dat") << "backup.dat" << cyrillicRecords() << "Found 2 contacts in \"backup.dat\"."
                              << 2;
    QTest::newRow("whole records in a text file")
        << "phone book.txt" << cyrillicRecords() << "Found 2 contacts in \"phone book.txt\"." << 2;
    QTest::newRow("a record cut short is not imported")
        << "cut.dat" << cyrillicRecords() + "Half\r\nrecord\r\n"
        << "Found 2 contacts in \"cut.dat\"; 1 record could not be read." << 2;
}

void TestContactDrop::dropOurOwnFormat_readsRecordsInTheLegacyCodePage()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, found);
    QFETCH(int, added);
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    ui.book().setLegacyCodePage(LegacyCodePage::Windows1251);
    const QString dropped = QDir(ui.folder()).filePath(QStringLiteral("in/") + name);
    QVERIFY(QDir().mkpath(QFileInfo(dropped).path()));
    writeBytes(dropped, bytes);
    QVERIFY(dropFiles(ui, {dropped}));
    QCOMPARE(
        ui.boxes().texts(),
        QStringList{found +
                    QStringLiteral("\n\nAdd these %1 contacts to the end of the list and save?").arg(added)});
    const std::vector<Contact> expected =
        joined(std::vector<Contact>{filledContact(QStringLiteral("Ann"))}, cyrillicContacts());
    QCOMPARE(rows(ui.book()), expected);
    QCOMPARE(ui.fileBytes(), recordBytes(expected));
}

void TestContactDrop::drop_onlyLocalFilesAreTaken()
{
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    QVERIFY(!dropUrls(ui.list(), {QUrl(QStringLiteral("https://example.com/card.vcf"))}));
    QVERIFY(!dropUrls(ui.list(), {}));
    QVERIFY(dropUrls(ui.list(), {QUrl(QStringLiteral("https://example.com/card.vcf")),
                                 QUrl::fromLocalFile(goldenPath(QStringLiteral("apple-3.0.vcf")))}));
    QTRY_COMPARE(ui.boxes().boxes().size(), 1);
    QVERIFY(ui.boxes().texts()[0].startsWith(QStringLiteral("Found 3 contacts in \"apple-3.0.vcf\".")));
    QCOMPARE(ui.book().count(), 4);
}

void TestContactDrop::dropSameFileAgain_addsNothingAndSaysHowMany_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("vCard 3.0") << "apple-3.0.vcf";
    QTest::newRow("vCard 2.1 with broken cards") << "android-2.1.vcf";
    QTest::newRow("CSV") << "outlook.csv";
}

void TestContactDrop::dropSameFileAgain_addsNothingAndSaysHowMany()
{
    QFETCH(QString, name);
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    QVERIFY(dropFiles(ui, {goldenPath(name)}));
    const QString firstFound = ui.boxes().texts()[0].section(QStringLiteral("\n\n"), 0, 0);
    const QByteArray file = ui.fileBytes();
    ui.boxes().clear();

    QVERIFY(dropFiles(ui, {goldenPath(name)}));
    const qsizetype found = goldenContacts(name).size();
    QCOMPARE(ui.boxes().texts(),
             QStringList{firstFound.chopped(1) +
                         QStringLiteral("; %1 were already in the list.\n\n").arg(found) +
                         "The list holds every one of these contacts already; nothing was added."});
    QCOMPARE(ui.boxes().boxes()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(ui.book().count(), 1 + int(found));
    QCOMPARE(ui.fileBytes(), file);
}

void TestContactDrop::duplicatesInOneDrop_areAddedOnce()
{
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    QVERIFY(dropFiles(ui, {goldenPath(QStringLiteral("apple-3.0.vcf"))}));
    ui.boxes().clear();
    const std::vector<Contact> apple = goldenContacts("apple-3.0.vcf");
    const std::vector<Contact> outlook = goldenContacts("outlook.csv");

    // The same path twice is taken once; a copy is another file.
    const QString copy = QDir(ui.folder()).filePath(QStringLiteral("outlook copy.csv"));
    QVERIFY(QFile::copy(goldenPath(QStringLiteral("outlook.csv")), copy));
    QVERIFY(dropFiles(
        ui, {goldenPath(QStringLiteral("outlook.csv")), goldenPath(QStringLiteral("apple-3.0.vcf")), copy}));
    QCOMPARE(
        ui.boxes().texts(),
        QStringList{
            QStringLiteral("Found %1 contacts in \"outlook.csv\".\n"
                           "Found %2 contacts in \"apple-3.0.vcf\"; %2 were already in the list.\n"
                           "Found %1 contacts in \"outlook copy.csv\"; %1 were found earlier in the drop.\n\n"
                           "Add these %1 contacts to the end of the list and save?")
                .arg(outlook.size())
                .arg(apple.size())});
    const std::vector<Contact> expected =
        joined(std::vector<Contact>{filledContact(QStringLiteral("Ann"))}, apple, outlook);
    QCOMPARE(rows(ui.book()), expected);
    QCOMPARE(ui.fileBytes(), recordBytes(expected));
}

void TestContactDrop::cancelWhileReading_addsNothingAndSaysNothing()
{
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    const QByteArray file = ui.fileBytes();
    // The reading waits until the test lets it go, with the progress shown at once.
    QSemaphore reading;
    ImportFlow::setProgressSeams(0, [&] { reading.acquire(); });
    const auto restore = qScopeGuard([&] {
        reading.release();
        ImportFlow::setProgressSeams(500, {});
    });
    // The drop is read in an event loop of its own: the test acts from a timer in it.
    QString label;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto *progress = ui.form().findChild<QProgressDialog *>(QStringLiteral("importProgress"));
        if (!progress || !progress->isVisible())
            return;
        user.stop();
        label = progress->labelText();
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        reading.release();
    });
    user.start(10);
    QVERIFY(dropUrls(ui.list(), {QUrl::fromLocalFile(goldenPath(QStringLiteral("apple-3.0.vcf")))}));
    QTRY_VERIFY2(label.contains(QStringLiteral("\"apple-3.0.vcf\"")), qPrintable(label));
    QTRY_VERIFY(!ui.form().findChild<QProgressDialog *>());
    QVERIFY(ui.boxes().boxes().isEmpty());
    QCOMPARE(rows(ui.book()), std::vector<Contact>{filledContact(QStringLiteral("Ann"))});
    QCOMPARE(ui.fileBytes(), file);
}

void TestContactDrop::failingSave_isReportedAsTheMainWindowReportsIt()
{
    FormDriver ui({filledContact(QStringLiteral("Ann"))});
    const QByteArray file = ui.fileBytes();
    QVERIFY(QFile::setPermissions(ui.dataFile(), QFile::ReadOwner));
    QVERIFY(dropFiles(ui, {goldenPath(QStringLiteral("apple-3.0.vcf"))}));
    QTRY_COMPARE(ui.boxes().boxes().size(), 2);
    const MessageBoxRequest &report = ui.boxes().boxes()[1];
    QCOMPARE(report.caption, QStringLiteral("Application Error"));
    QVERIFY2(report.text.contains(QStringLiteral("Form1.Save_It")), qPrintable(report.text));
    // The list keeps the contacts, so that a save after fixing the permissions writes them.
    QCOMPARE(ui.book().count(), 4);
    QCOMPARE(ui.fileBytes(), file);
}

void TestContactDrop::dragOut_carriesTheEntryAsVCardAndFile()
{
    Contact bob = filledContact(QStringLiteral("Bob / Builder"));
    bob[Comments] = QStringLiteral("first line\nEmail: second@example.com");
    FormDriver ui({filledContact(QStringLiteral("Ann")), bob});
    ui.clickRow(1);

    // A real drag with the mouse: the offscreen platform ends it at once, leaving the QDrag.
    EntryList &list = ui.list();
    const QPoint start = list.visualRect(list.model()->index(1, 0)).center();
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(list.viewport(), start + QPoint(5, 0));
    QTest::mouseMove(list.viewport(), start + QPoint(40, 0));
    QDrag *drag = list.findChild<QDrag *>();
    QVERIFY(drag);
    const QMimeData *data = drag->mimeData();
    QVERIFY(data);

    const QByteArray card = data->data(QStringLiteral("text/vcard"));
    QVERIFY(card.startsWith("BEGIN:VCARD\r\nVERSION:4.0\r\n"));
    QCOMPARE(data->data(QStringLiteral("text/x-vcard")), card);
    const ImportedContacts back = parseVCards(card, LegacyCodePage::Windows1252);
    QCOMPARE(back.contacts, std::vector<Contact>{bob});

    QCOMPARE(data->urls().size(), 1);
    const QString path = data->urls()[0].toLocalFile();
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("Bob _ Builder.vcf"));
    QCOMPARE(readBytes(path), card);
    QVERIFY(!path.startsWith(ui.folder()));
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, start + QPoint(40, 0));
    QCoreApplication::processEvents();
    // The file stays after the drag: a file manager may copy it later.
    QVERIFY(QFileInfo::exists(path));
    // The row did not move or change, and nothing was saved.
    QCOMPARE(rows(ui.book()), (std::vector<Contact>{filledContact(QStringLiteral("Ann")), bob}));
    QVERIFY(ui.boxes().boxes().isEmpty());
}

void TestContactDrop::cardFileName_isSafeForFileSystems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("plain") << "Ann Lee"
                           << "Ann Lee.vcf";
    QTest::newRow("slashes and reserved characters") << "A/B\\C:D*E?F\"G<H>I|J"
                                                     << "A_B_C_D_E_F_G_H_I_J.vcf";
    QTest::newRow("control characters and line breaks") << "A\tB\nC\x01"
                                                        << "A B C_.vcf";
    QTest::newRow("no hidden file, no trailing dot") << "..Ann. "
                                                     << "Ann.vcf";
    QTest::newRow("empty") << ""
                           << "Contact.vcf";
    QTest::newRow("dots only") << "..."
                               << "Contact.vcf";
    QTest::newRow("unicode") << "Zoë 日本 😀"
                             << "Zoë 日本 😀.vcf";
    // A file name is at most 255 bytes, and a character is never cut in two.
    QTest::newRow("very long") << QString(300, QChar(0xE9)) << QString(100, QChar(0xE9)) + ".vcf";
    QTest::newRow("very long, four-byte characters")
        << QString(60, QChar(0xE9)) + QString("😀").repeated(40)
        << QString(60, QChar(0xE9)) + QString("😀").repeated(20) + ".vcf";
}

void TestContactDrop::cardFileName_isSafeForFileSystems()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(EntryModel::cardFileName(name), file);
}

QTEST_MAIN(TestContactDrop)
#include "tst_contactdrop.moc"
