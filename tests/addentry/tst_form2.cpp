// The Add New Entry window, opened with "Add New" and driven by keys and clicks while modal.
#include "addentry/Form2.h"
#include "common/HoverPointer.h"
#include "support/FormDriver.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace larkspan;
using namespace larkspan::test;

namespace {

// The boxes in tab order, and what the test types into each.
const QStringList kTabOrder = {"txtName",   "txtAddress", "txtState", "txtPostCode", "txtCountry",
                               "txtPhNo",   "txtPhNo2",   "txtFax",   "txtMobile",   "txtWork",
                               "txtWorkNo", "txtCoFax",   "txtEmail", "txtWebSite",  "txtComments"};

// Types each value into its box, moving on with Tab; Enter breaks a line in the comments.
void typeAll(Form2 &dialog, const QStringList &values)
{
    for (int i = 0; i < values.size(); ++i) {
        QWidget *box = QApplication::focusWidget();
        QCOMPARE(box->objectName(), kTabOrder[i]);
        const QStringList lines = values[i].split('\n');
        for (int line = 0; line < lines.size(); ++line) {
            if (line > 0)
                QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClicks(box, lines[line]);
        }
        QTest::keyClick(box, Qt::Key_Tab);
    }
    Q_UNUSED(dialog);
}

QStringList sampleValues(const QString &name)
{
    QStringList values{name};
    for (int i = 1; i < kTabOrder.size(); ++i)
        values << QStringLiteral("%1 %2").arg(kTabOrder[i].mid(3)).arg(i);
    values[2] = "Texas";
    values.last() = "line one\nline two";
    return values;
}

Contact contactOf(const QStringList &values)
{
    const Field fields[] = {Name,   Address, State,      PostCode, Country, Phone,   Phone2,  Fax,
                            Mobile, Work,    WorkNumber, WorkFax,  Email,   WebSite, Comments};
    Contact contact;
    for (int i = 0; i < values.size(); ++i)
        contact[size_t(fields[i])] = values[i];
    return contact;
}

Contact rowOf(PhoneBook &book, int row)
{
    return book.entry(row).toContact();
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
private slots:
    void window_hasItsLookAndStartsEmpty();
    void accessibleNames_areTheLabelsAndCaptions();
    void save_appendsEntryAsTypedAndWritesFile();
    void save_keepsMainWindowAsItWas();
    void blankName_isRefusedAndTypingKept_data();
    void blankName_isRefusedAndTypingKept();
    void duplicateName_addsSecondRow();
    void closing_addsNothing_data();
    void closing_addsNothing();
    void multiLineComments_surviveARestart();
    void readOnlyFile_reportsOnceKeepsRowAndCloses();
    void hover_handOverButtonsDefaultOverBackground();
};

void TestForm2::window_hasItsLookAndStartsEmpty()
{
    FormDriver ui({});
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Add New Entry"));
        QCOMPARE(dialog.size(), QSize(536, 547));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(dialog.isModal());
        QCOMPARE(dialog.palette().color(QPalette::Window),
                 QApplication::palette().color(QPalette::Active, QPalette::Button));
        for (const QString &name : kTabOrder)
            QVERIFY(dialog.findChild<QWidget *>(name));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtName"));
        QTest::keyClicks(QApplication::focusWidget(), "typed then cancelled");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }));
    QVERIFY(ui.withAddWindow(
        [&](Form2 &dialog) { QCOMPARE(dialog.findChild<QLineEdit *>("txtName")->text(), QString()); }));
}

void TestForm2::accessibleNames_areTheLabelsAndCaptions()
{
    // What a screen reader reads for each box, in tab order, then for the two buttons.
    const QStringList names = {
        "Name:", "Address:", "State:",     "Zip Code:", "Country:", "Phone:", "Phone 2:",   "Fax:",
        "Cell:", "Company:", "Co. Phone:", "Co. Fax:",  "Email:",   "Site:",  "Additional:"};
    FormDriver ui({});
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        for (int i = 0; i < kTabOrder.size(); ++i)
            QCOMPARE(accessibleName(dialog.findChild<QWidget *>(kTabOrder[i])), names[i]);
        QCOMPARE(accessibleName(dialog.findChild<QWidget *>("PushButton1")), QStringLiteral("Save"));
        QCOMPARE(accessibleName(dialog.findChild<QWidget *>("PushButton2")), QStringLiteral("Cancel"));
    }));
}

void TestForm2::save_appendsEntryAsTypedAndWritesFile()
{
    FormDriver ui({filledContact("Ann"), filledContact("Zed")});
    const QStringList values = sampleValues("  Lead and trail  ");
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        typeAll(dialog, values);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("PushButton1"));
        QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }));
    QVERIFY(ui.boxes().boxes().isEmpty());
    QCOMPARE(ui.book().count(), 3);
    // The new row goes to the end of the list, whatever the sort order.
    QCOMPARE(rowOf(ui.book(), 2), contactOf(values));
    QCOMPARE(rowOf(ui.book(), 2)[Suburb], QString());
    QCOMPARE(ui.fileBytes(), recordBytes({filledContact("Ann"), filledContact("Zed"), contactOf(values)}));
    // The long State is shown whole, in upper case, on the main window.
    ui.clickRow(2);
    QCOMPARE(ui.edit("lblState")->text(), QStringLiteral("TEXAS"));
}

void TestForm2::save_keepsMainWindowAsItWas()
{
    FormDriver ui({filledContact("Ann"), filledContact("Bob")});
    ui.clickRow(1);
    ui.typeInto(ui.edit("lblPhNo"), "-unsaved");
    ui.edit("txtSearch")->setFocus();
    QTest::keyClicks(ui.edit("txtSearch"), "bo");
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        typeAll(dialog, {"Cid"});
        QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
    }));
    QCOMPARE(ui.list().selectedRow(), 1);
    QCOMPARE(ui.form().editText(Name), QStringLiteral("Bob"));
    QCOMPARE(ui.edit("txtSearch")->text(), QStringLiteral("bo"));
    Contact bob = filledContact("Bob");
    bob[Phone] += "-unsaved";
    Contact cid;
    cid[Name] = "Cid";
    QCOMPARE(ui.fileBytes(), recordBytes({filledContact("Ann"), bob, cid}));
}

void TestForm2::blankName_isRefusedAndTypingKept_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces only") << "   ";
}

void TestForm2::blankName_isRefusedAndTypingKept()
{
    QFETCH(QString, name);
    FormDriver ui({filledContact("Ann")});
    const QByteArray before = ui.fileBytes();
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        typeAll(dialog, {name, "Some Street"});
        QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLineEdit *>("txtAddress")->text(), QStringLiteral("Some Street"));
        QCOMPARE(dialog.findChild<QLineEdit *>("txtName")->text(), name);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    }));
    QCOMPARE(ui.boxes().texts(), QStringList{"You must type in a name"});
    const MessageBoxRequest &box = ui.boxes().boxes()[0];
    QCOMPARE(box.caption, QStringLiteral("Larkspan Card"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(ui.book().count(), 1);
    QCOMPARE(ui.fileBytes(), before);
}

void TestForm2::duplicateName_addsSecondRow()
{
    FormDriver ui({filledContact("Ann")});
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        typeAll(dialog, {"Ann"});
        QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
    }));
    QCOMPARE(ui.names(), QStringList({"Ann", "Ann"}));
    Contact second;
    second[Name] = "Ann";
    QCOMPARE(ui.fileBytes(), recordBytes({filledContact("Ann"), second}));
}

void TestForm2::closing_addsNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("close box") << "close box";
}

void TestForm2::closing_addsNothing()
{
    QFETCH(QString, how);
    FormDriver ui({filledContact("Ann")});
    const QByteArray before = ui.fileBytes();
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        typeAll(dialog, {"Never", "Added"});
        if (how == "Cancel")
            QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton2"), Qt::LeftButton);
        else if (how == "Esc")
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());
    }));
    QCOMPARE(ui.book().count(), 1);
    QCOMPARE(ui.fileBytes(), before);
    QVERIFY(ui.boxes().boxes().isEmpty());
}

void TestForm2::multiLineComments_surviveARestart()
{
    FormDriver ui({});
    QStringList values = sampleValues("Multi");
    values.last() = "first line\nsecond line\n\nfourth";
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        typeAll(dialog, values);
        QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
    }));
    QVERIFY(ui.fileBytes().contains("first line\xE2\x80\xA8second line\xE2\x80\xA8\xE2\x80\xA8"
                                    "fourth\r\n"));
    PhoneBook restartedBook{QLatin1String(kDataFileName)};
    Form1 restarted(restartedBook, ui.folder());
    restarted.Form_Load();
    QCOMPARE(restartedBook.text(0, Comments), values.last());
    QCOMPARE(restarted.editText(Comments), values.last());
}

void TestForm2::readOnlyFile_reportsOnceKeepsRowAndCloses()
{
    FormDriver ui({filledContact("Ann")});
    const QByteArray before = ui.fileBytes();
    QVERIFY(QFile::setPermissions(ui.dataFile(), QFile::ReadOwner));
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        typeAll(dialog, {"Blocked"});
        QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }));
    QCOMPARE(ui.boxes().boxes().size(), 1);
    QVERIFY(ui.boxes().texts()[0].startsWith(
        "Permission denied\r\nin Larkspanapp2021/08/31.Form2.PushButton1_Click at line 106\r\r"));
    QCOMPARE(ui.names(), QStringList({"Ann", "Blocked"}));
    QCOMPARE(ui.fileBytes(), before);
}

void TestForm2::hover_handOverButtonsDefaultOverBackground()
{
    FormDriver ui({});
    QVERIFY(ui.withAddWindow([&](Form2 &dialog) {
        auto move = [](QWidget *widget, QPoint at) {
            QMouseEvent event(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(widget, &event);
        };
        HoverPointer &pointer = dialog.pointer();
        move(dialog.findChild<QWidget *>("PushButton1"), {5, 5});
        QCOMPARE(pointer.mode(), 99);
        move(dialog.findChild<QWidget *>("lblName"), {2, 2});
        QCOMPARE(pointer.mode(), 99);
        move(&dialog, {2, dialog.height() - 2});
        QCOMPARE(pointer.mode(), 0);
        move(dialog.findChild<QWidget *>("PushButton2"), {5, 5});
        QCOMPARE(pointer.mode(), 99);
        move(dialog.findChild<QPlainTextEdit *>("txtComments")->viewport(), {5, 5});
        QCOMPARE(pointer.mode(), 0);
    }));
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
