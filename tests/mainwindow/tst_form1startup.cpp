// Start-up of the main window: layout, loading "Numbers.dat", and the reports of failing steps.
#include "common/ErrorReport.h"
#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

using namespace larkspan;
using namespace larkspan::test;

class TestForm1Startup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void window_hasCaptionColumnsAndFocus();
    void missingFile_createsEmptyFileWithoutMessage();
    void zeroByteFile_givesEmptyListWithoutMessage();
    void threeEntries_areListedSortedWithTopLoaded();
    void cutShortRecord_reportsEachMissingLine();
    void unreadableFile_isReportedAndNeverOverwritten();
    void failingSave_showsReportBox();
    void closing_doesNotSave();

private:
    std::unique_ptr<WorkFolder> folder_;
    std::unique_ptr<MessageRecorder> boxes_;
    std::unique_ptr<PhoneBook> book_;
    std::unique_ptr<Form1> form_;

    Form1 &start()
    {
        book_ = std::make_unique<PhoneBook>(QLatin1String(kDataFileName));
        form_ = std::make_unique<Form1>(*book_, folder_->path("app"));
        form_->Form_Load();
        form_->show();
        form_->activateWindow();
        if (!QTest::qWaitForWindowActive(form_.get()))
            qWarning("the main window did not become active");
        return *form_;
    }
};

void TestForm1Startup::init()
{
    folder_ = std::make_unique<WorkFolder>();
    QDir(folder_->path()).mkdir("app");
    boxes_ = std::make_unique<MessageRecorder>();
}

void TestForm1Startup::cleanup()
{
    form_.reset();
    boxes_.reset();
    folder_.reset();
}

void TestForm1Startup::window_hasCaptionColumnsAndFocus()
{
    Form1 &form = start();
    QCOMPARE(form.windowTitle(), QStringLiteral("Larkspan Card Index"));
    QCOMPARE(form.size(), QSize(536, 673));
    QHeaderView *header = form.entryList()->header();
    QCOMPARE(header->count(), 16);
    const QStringList expected{"Name",    "Phone",   "Address",  "State", "PostCode",    "Country",
                               "Phone 2", "Fax",     "Mobile",   "Work",  "Work Number", "Work Fax",
                               "Email",   "WebSite", "Comments", "Suburb"};
    for (int column = 0; column < 16; ++column) {
        QCOMPARE(form.entryList()->model()->headerData(column, Qt::Horizontal).toString(), expected[column]);
        QCOMPARE(header->sectionSize(column), column == 15 ? 0 : 67);
    }
    QVERIFY(form.entryList()->toolTip().startsWith("Drag and drop files here."));
    QTRY_COMPARE(QApplication::focusWidget(), form.findChild<QLineEdit *>("txtSearch"));
}

void TestForm1Startup::missingFile_createsEmptyFileWithoutMessage()
{
    Form1 &form = start();
    QCOMPARE(form.phoneBook().count(), 0);
    QVERIFY(QFileInfo::exists(folder_->path("Numbers.dat")));
    QCOMPARE(QFileInfo(folder_->path("Numbers.dat")).size(), 0);
    QVERIFY(boxes_->boxes().isEmpty());
}

void TestForm1Startup::zeroByteFile_givesEmptyListWithoutMessage()
{
    writeBytes(folder_->path("Numbers.dat"), {});
    Form1 &form = start();
    QCOMPARE(form.phoneBook().count(), 0);
    QCOMPARE(form.entryList()->selectedRow(), -1);
    QVERIFY(boxes_->boxes().isEmpty());
}

void TestForm1Startup::threeEntries_areListedSortedWithTopLoaded()
{
    Contact b = filledContact("b");
    b[State] = "ny";
    writeBytes(folder_->path("Numbers.dat"), recordBytes({b, filledContact("C"), filledContact("a")}));
    Form1 &form = start();
    EntryList *list = form.entryList();
    QCOMPARE(book_->count(), 3);
    QCOMPARE(book_->text(0, Name), QStringLiteral("a"));
    QCOMPARE(book_->text(1, Name), QStringLiteral("b"));
    QCOMPARE(book_->text(2, Name), QStringLiteral("C"));
    QCOMPARE(list->selectedRow(), 0);
    QCOMPARE(form.editText(Name), QStringLiteral("a"));
    QCOMPARE(form.editText(Phone), filledContact("a")[Phone]);
    QCOMPARE(book_->text(1, State), QStringLiteral("ny"));
    QVERIFY(boxes_->boxes().isEmpty());
}

void TestForm1Startup::cutShortRecord_reportsEachMissingLine()
{
    writeBytes(folder_->path("Numbers.dat"), recordBytes({filledContact("Whole")}) + "Cut\r\n");
    Form1 &form = start();
    QCOMPARE(form.phoneBook().count(), 2);
    QCOMPARE(boxes_->boxes().size(), 15);
    const QString expected =
        errorReportText(procedureLabel("Form1.Form_Load"), QStringLiteral("Input past end of file"), 116);
    for (const MessageBoxRequest &box : boxes_->boxes())
        QCOMPARE(box.text, expected);
}

void TestForm1Startup::unreadableFile_isReportedAndNeverOverwritten()
{
    // A folder in place of the file: it exists, but cannot be read as the phone book.
    QDir(folder_->path()).mkdir("Numbers.dat");
    Form1 &form = start();
    QCOMPARE(form.phoneBook().count(), 0);
    QCOMPARE(boxes_->boxes().size(), 1);
    QVERIFY(boxes_->texts()[0].contains("in Larkspanapp2021/08/31.Form1.Form_Load at line 112"));

    boxes_->clear();
    QVERIFY(!form.Save_It());
    QCOMPARE(boxes_->boxes().size(), 1);
    QVERIFY(boxes_->texts()[0].contains("\"Numbers.dat\" could not be read"));
    QVERIFY(boxes_->texts()[0].contains("Form1.Save_It at line 100"));
    QVERIFY(QFileInfo(folder_->path("Numbers.dat")).isDir());
}

void TestForm1Startup::failingSave_showsReportBox()
{
    writeBytes(folder_->path("Numbers.dat"), recordBytes({filledContact("Kept")}));
    Form1 &form = start();
    const QByteArray before = readBytes(folder_->path("Numbers.dat"));
    QVERIFY(QFile::setPermissions(folder_->path("Numbers.dat"), QFile::ReadOwner));
    form.phoneBook().setField(0, Name, "Changed");

    QVERIFY(!form.Save_It());
    QCOMPARE(boxes_->boxes().size(), 1);
    const MessageBoxRequest &box = boxes_->boxes()[0];
    QCOMPARE(box.caption, QStringLiteral("Application Error"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.text,
             QStringLiteral("Permission denied\r\nin Larkspanapp2021/08/31.Form1.Save_It at line 100\r\r"
                            "Please email screenshot of this message to ") +
                 QLatin1String(kSupportAddress));
    QCOMPARE(readBytes(folder_->path("Numbers.dat")), before);
    QCOMPARE(form.phoneBook().text(0, Name), QStringLiteral("Changed"));
}

void TestForm1Startup::closing_doesNotSave()
{
    writeBytes(folder_->path("Numbers.dat"), recordBytes({filledContact("Kept")}));
    const QByteArray before = readBytes(folder_->path("Numbers.dat"));
    Form1 &form = start();
    auto *name = form.findChild<QLineEdit *>("lblName");
    name->setFocus();
    QTest::keyClicks(name, "Edited");
    form.findChild<QLineEdit *>("lblPhNo")->setFocus();
    QCOMPARE(form.phoneBook().text(0, Name), QStringLiteral("KeptEdited"));
    QVERIFY(form.close());
    QCOMPARE(readBytes(folder_->path("Numbers.dat")), before);
}

QTEST_MAIN(TestForm1Startup)
#include "tst_form1startup.moc"
