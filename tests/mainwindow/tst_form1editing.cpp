// Working with entries on the main window: selecting and editing in place, saving, searching,
// sorting and deleting, driven with real clicks and keys.
#include "support/FormDriver.h"

#include "addentry/Form2.h"

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

using namespace larkspan;
using namespace larkspan::test;

namespace {

Contact person(const QString &name, const QString &state = {})
{
    Contact contact = filledContact(name);
    if (!state.isNull())
        contact[State] = state;
    return contact;
}

std::vector<Contact> named(const QStringList &names)
{
    std::vector<Contact> contacts;
    for (const QString &name : names)
        contacts.push_back(person(name));
    return contacts;
}

// An entry holding `value` in every field. The name starts with `initial`, which puts the entries
// in order and keeps a leading U+FEFF off the first line of the file, where it reads as a
// byte-order mark.
Contact holding(const QString &initial, const QString &value)
{
    Contact contact;
    contact.fill(value);
    contact[Name] = initial + value;
    return contact;
}

// Tabs from the focused field on to "Save Changes", leaving every field after it.
void tabToSaveChanges(FormDriver &ui)
{
    for (int field = 0; field < kFieldCount && QApplication::focusWidget() != ui.button("PushButton3");
         ++field)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ui.button("PushButton3"));
}

} // namespace

class TestForm1Editing : public QObject
{
    Q_OBJECT
private slots:
    void clickRow_loadsFieldsAndStateInUpperCase();
    void editThenClickAnotherRow_writesToTheFormerRow();
    void editThenClickSaveChanges_savesTheEdit_data();
    void editThenClickSaveChanges_savesTheEdit();
    void keyboardMove_loadsRow();
    void typingLimits_limitTypingButKeepLongValues();
    void comments_enterBreaksLineTabMovesOn();
    void emptiedName_isWrittenBack();
    void passingThroughEveryField_keepsTheFile_data();
    void passingThroughEveryField_keepsTheFile();
    void oneEdit_changesOnlyItsLine_data();
    void oneEdit_changesOnlyItsLine();

    void search_selectsFirstMatchInListOrder_data();
    void search_selectsFirstMatchInListOrder();
    void search_keepsFocusAndDoesNotScroll();
    void search_onEmptyList_onlyEmptiesFields();
    void searchWithoutMatch_clearsSelectionSoNothingIsTouched();

    void sort_ordersByNameAndLoadsTop();
    void sort_renamedRowStaysUntilNextSortAndFileKeepsOldOrder();
    void sort_oneRowAndEmptyList();

    void print_asksBeforePrinting();

    void deleteEntry_data();
    void deleteEntry();

    void accessibleNames_data();
    void accessibleNames();
    void ctrlF_focusesSearchAfterWritingBack();
    void fields_takeTypingOnlyWhileRowSelected();
};

void TestForm1Editing::clickRow_loadsFieldsAndStateInUpperCase()
{
    FormDriver ui({person("Ann", "ca"), person("Bob", "ny")});
    ui.clickRow(1);
    QCOMPARE(ui.list().selectedRow(), 1);
    QCOMPARE(ui.form().editText(Name), QStringLiteral("Bob"));
    QCOMPARE(ui.edit("lblState")->text(), QStringLiteral("NY"));
    QCOMPARE(ui.comments()->toPlainText(), person("Bob")[Comments]);
    QCOMPARE(ui.book().text(1, State), QStringLiteral("ny"));
    // Passing through the State field keeps the entry's case; typing in it stores what it shows.
    ui.typeInto(ui.edit("lblState"), {});
    QTest::keyClick(ui.edit("lblState"), Qt::Key_Tab);
    QCOMPARE(ui.book().text(1, State), QStringLiteral("ny"));
    ui.typeInto(ui.edit("lblState"), "c");
    QTest::keyClick(ui.edit("lblState"), Qt::Key_Tab);
    QCOMPARE(ui.book().text(1, State), QStringLiteral("NYc"));
    QCOMPARE(ui.book().text(1, Suburb), person("Bob")[Suburb]);
}

void TestForm1Editing::editThenClickAnotherRow_writesToTheFormerRow()
{
    FormDriver ui(named({"Ann", "Bob", "Cid"}));
    ui.clickRow(0);
    ui.typeInto(ui.edit("lblPhNo"), "-new");
    ui.clickRow(2);
    QCOMPARE(ui.book().text(0, Phone), person("Ann")[Phone] + "-new");
    QCOMPARE(ui.book().text(2, Phone), person("Cid")[Phone]);
    QCOMPARE(ui.edit("lblPhNo")->text(), person("Cid")[Phone]);
    QCOMPARE(ui.list().selectedRow(), 2);
}

void TestForm1Editing::editThenClickSaveChanges_savesTheEdit_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saved");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("No") << int(QMessageBox::No) << false;
}

void TestForm1Editing::editThenClickSaveChanges_savesTheEdit()
{
    QFETCH(int, answer);
    QFETCH(bool, saved);
    FormDriver ui(named({"Ann", "Bob"}));
    const QByteArray before = ui.fileBytes();
    ui.clickRow(1);
    ui.typeInto(ui.edit("lblEmail"), ".au");
    ui.boxes().answer(QMessageBox::StandardButton(answer));
    ui.clickButton("PushButton3");
    QCOMPARE(ui.boxes().texts(), QStringList{"Are you sure you want to save?"});
    QCOMPARE(ui.boxes().boxes()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(ui.boxes().boxes()[0].icon, QMessageBox::NoIcon);
    QCOMPARE(ui.boxes().boxes()[0].caption, QStringLiteral("Larkspan Card"));
    Contact bob = person("Bob");
    bob[Email] += ".au";
    QCOMPARE(ui.fileBytes(), saved ? recordBytes({person("Ann"), bob}) : before);
    QCOMPARE(ui.book().text(1, Email), bob[Email]);
}

void TestForm1Editing::keyboardMove_loadsRow()
{
    FormDriver ui(named({"Ann", "Bob", "Cid"}));
    ui.clickRow(0);
    QTest::keyClick(ui.list().viewport(), Qt::Key_Down);
    QTest::keyClick(&ui.list(), Qt::Key_Down);
    QCOMPARE(ui.list().selectedRow(), 2);
    QCOMPARE(ui.form().editText(Name), QStringLiteral("Cid"));
}

void TestForm1Editing::typingLimits_limitTypingButKeepLongValues()
{
    FormDriver ui({person("Ann", "TEXAS"), person("Bob", "")});
    QCOMPARE(ui.edit("lblState")->text(), QStringLiteral("TEXAS"));
    ui.typeInto(ui.edit("lblState"), "x");
    QCOMPARE(ui.edit("lblState")->text(), QStringLiteral("TEXAS"));
    QTest::keyClick(ui.edit("lblState"), Qt::Key_Tab);
    QCOMPARE(ui.book().text(0, State), QStringLiteral("TEXAS"));

    ui.clickRow(1);
    ui.typeInto(ui.edit("lblState"), "Texas");
    ui.edit("lblPostCode")->clear();
    ui.typeInto(ui.edit("lblPostCode"), "123456");
    QCOMPARE(ui.edit("lblState")->text(), QStringLiteral("Tex"));
    QCOMPARE(ui.edit("lblPostCode")->text(), QStringLiteral("1234"));
    ui.clickRow(0);
    QCOMPARE(ui.book().text(1, State), QStringLiteral("Tex"));
    QCOMPARE(ui.book().text(1, PostCode), QStringLiteral("1234"));
}

void TestForm1Editing::comments_enterBreaksLineTabMovesOn()
{
    FormDriver ui(named({"Ann"}));
    QPlainTextEdit *comments = ui.comments();
    comments->clear();
    ui.typeInto(comments, "first");
    QTest::keyClick(comments, Qt::Key_Return);
    QTest::keyClicks(comments, "second");
    QTest::keyClick(comments, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ui.button("PushButton3"));
    QCOMPARE(ui.book().text(0, Comments), QStringLiteral("first\nsecond"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), comments);
    QTest::keyClick(ui.edit("lblName"), Qt::Key_Backtab);
}

void TestForm1Editing::emptiedName_isWrittenBack()
{
    FormDriver ui(named({"Ann", "Bob"}));
    ui.clickRow(1);
    QLineEdit *name = ui.edit("lblName");
    ui.typeInto(name, {});
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Delete);
    QTest::keyClick(name, Qt::Key_Tab);
    QCOMPARE(ui.book().text(1, Name), QString());
    QCOMPARE(ui.book().count(), 2);
}

void TestForm1Editing::passingThroughEveryField_keepsTheFile_data()
{
    // Letters in upper case, so that only the texas row meets State's upper-casing.
    QTest::addColumn<QString>("value");
    QTest::newRow("no-break spaces") << QStringLiteral("\u00a0A\u00a0 B\u00a0");
    QTest::newRow("paragraph separator") << QStringLiteral("A\u2029B");
    QTest::newRow("line break (U+2028 in the file)") << QStringLiteral("A\nB\n");
    QTest::newRow("tabs and control characters") << QStringLiteral("\tA\u0001\u001f\u007f\u0085B\t");
    QTest::newRow("leading U+FEFF") << QStringLiteral("\ufeffAB");
    QTest::newRow("an odd mix") << QStringLiteral("E\u0301 \u200d\u202e\ufffc\ufdd0\ufdd1 \U0001F600  ");
    QTest::newRow("longer than State and zip code take") << "texas 90210-1234";
    QTest::newRow("as long as a line edit holds") << QString(32767, QLatin1Char('X'));
    QTest::newRow("longer than a line edit holds") << QString(40000, QLatin1Char('Y'));
}

void TestForm1Editing::passingThroughEveryField_keepsTheFile()
{
    QFETCH(QString, value);
    FormDriver ui({holding("A", value), holding("B", value)});
    const QByteArray before = ui.fileBytes();
    for (int row = 0; row < 2; ++row) {
        ui.clickRow(row);
        ui.typeInto(ui.edit("lblName"), {});
        tabToSaveChanges(ui);
    }
    ui.clickButton("PushButton3");
    QCOMPARE(ui.boxes().texts(), QStringList{"Are you sure you want to save?"});
    QVERIFY(ui.fileBytes() == before);
}

void TestForm1Editing::oneEdit_changesOnlyItsLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("field");
    const std::pair<const char *, Field> fields[] = {
        {"lblName", Name},         {"lblAddress", Address},   {"lblState", State},
        {"lblPostCode", PostCode}, {"lblCountry", Country},   {"lblPhNo", Phone},
        {"lblPhNo2", Phone2},      {"lblFax", Fax},           {"lblMobile", Mobile},
        {"lblWork", Work},         {"lblWorkNo", WorkNumber}, {"lblCoFax", WorkFax},
        {"lblEmail", Email},       {"lblWebSite", WebSite},   {"lblComments", Comments}};
    for (const auto &[name, field] : fields)
        QTest::newRow(name) << QString::fromLatin1(name) << int(field);
}

void TestForm1Editing::oneEdit_changesOnlyItsLine()
{
    QFETCH(QString, name);
    QFETCH(int, field);
    Contact entry = holding("A", QStringLiteral("\ufeffa\u00a0b\u2029c\td\u0001\ne\u0301"));
    // Short enough for the typing limits to take one more character.
    entry[State] = entry[PostCode] = QStringLiteral("\u00a0\t");
    FormDriver ui({entry});
    const QList<QByteArray> before = ui.fileBytes().split('\n');

    auto *widget = ui.form().findChild<QWidget *>(name);
    ui.typeInto(widget, {});
    QTest::keyClick(widget, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(widget, "Z");
    tabToSaveChanges(ui);
    ui.clickButton("PushButton3");

    // What the field showed, as it is written today: State in upper case; the comments box gives
    // no-break spaces as spaces and U+2029 as a line break.
    QString shown = field == State ? entry[State].toUpper() : entry[size_t(field)];
    if (field == Comments)
        shown.replace(QChar(0xa0), QLatin1Char(' ')).replace(QChar(0x2029), QLatin1Char('\n'));
    Contact expected = entry;
    expected[size_t(field)] = shown + "Z";
    const QList<QByteArray> after = ui.fileBytes().split('\n');
    QCOMPARE(after.size(), before.size());
    for (int line = 0; line < kFieldCount; ++line)
        QCOMPARE(after[line], line == field ? recordBytes({expected}).split('\n')[line] : before[line]);
}

void TestForm1Editing::search_selectsFirstMatchInListOrder_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("found");
    QTest::newRow("har matches inside a name") << QStringList{"h", "ha", "har"} << "North Harbour Inn";
    QTest::newRow("typing on to harbours") << QStringList{"har", "harbours"} << "Harbourside Cafe";
    QTest::newRow("deleting back to har") << QStringList{"harbours", "har"} << "North Harbour Inn";
    QTest::newRow("upper case typed") << QStringList{"CAFE"} << "Harbourside Cafe";
    QTest::newRow("empty box finds first non-empty name") << QStringList{"x", ""} << "Ann";
    QTest::newRow("accents fold case") << QStringList{"ÉMILE"} << "Émile Zola";
}

void TestForm1Editing::search_selectsFirstMatchInListOrder()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, found);
    // Sorted at start-up: "", Ann, Émile Zola, Harbourside Cafe, North Harbour Inn... so the
    // harbour rows are tried in the order the list shows them.
    FormDriver ui(named({"", "Ann", "North Harbour Inn", "Harbourside Cafe", "Émile Zola"}));
    QStringList names = ui.names();
    QCOMPARE(names.indexOf("North Harbour Inn") > names.indexOf("Harbourside Cafe"), true);
    // Put "North Harbour Inn" above "Harbourside Cafe" without sorting again.
    ui.book().setField(names.indexOf("Harbourside Cafe"), Name, "North Harbour Inn-tmp");
    ui.book().setField(names.indexOf("North Harbour Inn"), Name, "Harbourside Cafe");
    ui.book().setField(names.indexOf("Harbourside Cafe"), Name, "North Harbour Inn");
    QLineEdit *search = ui.edit("txtSearch");
    for (const QString &text : typed)
        search->setText(text);
    const int row = ui.list().selectedRow();
    QVERIFY(row >= 0);
    QCOMPARE(ui.book().text(row, Name), found);
    QCOMPARE(ui.form().editText(Name), found);
}

void TestForm1Editing::search_keepsFocusAndDoesNotScroll()
{
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("Person %1").arg(i, 3, 10, QLatin1Char('0'));
    FormDriver ui(named(many));
    QLineEdit *search = ui.edit("txtSearch");
    search->setFocus();
    const int scroll = ui.list().verticalScrollBar()->value();
    QTest::keyClicks(search, "299");
    QCOMPARE(ui.list().selectedRow(), 299);
    QCOMPARE(ui.list().verticalScrollBar()->value(), scroll);
    QCOMPARE(QApplication::focusWidget(), search);
    QCOMPARE(ui.book().count(), 300);
    QCOMPARE(ui.book().text(0, Name), QStringLiteral("Person 000"));
}

void TestForm1Editing::search_onEmptyList_onlyEmptiesFields()
{
    FormDriver ui({});
    ui.edit("lblName")->setText("left over");
    ui.edit("txtSearch")->setText("a");
    QCOMPARE(ui.form().editText(Name), QString());
    QCOMPARE(ui.list().selectedRow(), -1);
    ui.list().setFocus();
    QTest::keyClick(&ui.list(), Qt::Key_Delete);
    QVERIFY(ui.boxes().boxes().isEmpty());
}

void TestForm1Editing::searchWithoutMatch_clearsSelectionSoNothingIsTouched()
{
    FormDriver ui(named({"Ann", "Bob"}));
    const QByteArray before = ui.fileBytes();
    ui.clickRow(1);
    ui.edit("txtSearch")->setText("zzz");
    QCOMPARE(ui.list().selectedRow(), -1);
    for (int field = 0; field < kFieldCount; ++field)
        QCOMPARE(ui.form().editText(Field(field)), QString());
    // Passing through an empty field writes nothing anywhere.
    ui.typeInto(ui.edit("lblPhNo"), {});
    QTest::keyClick(ui.edit("lblPhNo"), Qt::Key_Tab);
    QCOMPARE(ui.book().text(1, Phone), person("Bob")[Phone]);
    ui.clickButton("PushButton1");
    ui.list().setFocus();
    QTest::keyClick(&ui.list(), Qt::Key_Delete);
    QCOMPARE(ui.boxes().texts(), QStringList(2, "You do not have an entry selected"));
    ui.clickButton("PushButton5");
    QCOMPARE(
        ui.boxes().texts().last(),
        QStringLiteral(
            "Warning: You do not have an entry selected. If you continue, blank fields will be printed."));
    QCOMPARE(ui.boxes().boxes().last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(ui.book().count(), 2);
    QCOMPARE(ui.fileBytes(), before);
}

void TestForm1Editing::sort_ordersByNameAndLoadsTop()
{
    FormDriver ui(named({"Zeta", "alpha", "Mike"}));
    QCOMPARE(ui.names(), QStringList({"alpha", "Mike", "Zeta"}));
    ui.clickRow(2);
    ui.clickButton("PushButton4");
    QCOMPARE(ui.list().selectedRow(), 0);
    QCOMPARE(ui.form().editText(Name), QStringLiteral("alpha"));
    QVERIFY(ui.boxes().boxes().isEmpty());
}

void TestForm1Editing::sort_renamedRowStaysUntilNextSortAndFileKeepsOldOrder()
{
    FormDriver ui(named({"Zeta", "alpha", "Mike", "alpha"}));
    QCOMPARE(ui.fileBytes(), recordBytes(named({"Zeta", "alpha", "Mike", "alpha"})));
    ui.clickRow(0);
    QLineEdit *name = ui.edit("lblName");
    ui.typeInto(name, {});
    name->selectAll();
    QTest::keyClicks(name, "Zulu");
    QTest::keyClick(name, Qt::Key_Tab);
    QCOMPARE(ui.names(), QStringList({"Zulu", "alpha", "Mike", "Zeta"}));
    ui.clickButton("PushButton4");
    QCOMPARE(ui.names(), QStringList({"alpha", "Mike", "Zeta", "Zulu"}));
    QCOMPARE(ui.book().text(0, Phone), person("alpha")[Phone]);
    ui.boxes().answer(QMessageBox::Yes);
    ui.clickButton("PushButton3");
    Contact zulu = person("alpha");
    zulu[Name] = "Zulu";
    QCOMPARE(ui.fileBytes(), recordBytes({person("alpha"), person("Mike"), person("Zeta"), zulu}));
}

void TestForm1Editing::sort_oneRowAndEmptyList()
{
    FormDriver one(named({"Only"}));
    one.edit("txtSearch")->setText("zzz");
    one.clickButton("PushButton4");
    QCOMPARE(one.list().selectedRow(), 0);
    QCOMPARE(one.form().editText(Name), QStringLiteral("Only"));

    FormDriver none({});
    none.clickButton("PushButton4");
    QCOMPARE(none.list().selectedRow(), -1);
    QVERIFY(none.boxes().boxes().isEmpty());
}

void TestForm1Editing::print_asksBeforePrinting()
{
    FormDriver empty({});
    empty.clickButton("PushButton5");
    QVERIFY(empty.boxes().boxes().isEmpty());

    FormDriver ui(named({"Ann"}));
    ui.boxes().answer(QMessageBox::No);
    ui.clickButton("PushButton5");
    QCOMPARE(ui.boxes().texts(), QStringList{"Are you ready to print?"});
    QCOMPARE(ui.boxes().boxes()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(ui.boxes().boxes()[0].icon, QMessageBox::NoIcon);
    QCOMPARE(ui.boxes().boxes()[0].caption, QStringLiteral("Larkspan Card"));
}

void TestForm1Editing::deleteEntry_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("byKey");
    QTest::newRow("middle of three") << QStringList{"A", "B", "C"} << 1 << int(QMessageBox::Yes)
                                     << QStringList{"A", "C"} << "C" << false;
    QTest::newRow("last of several") << QStringList{"A", "B", "C"} << 2 << int(QMessageBox::Yes)
                                     << QStringList{"A", "B"} << "B" << false;
    QTest::newRow("only row") << QStringList{"A"} << 0 << int(QMessageBox::Yes) << QStringList{} << "A"
                              << false;
    QTest::newRow("answered No") << QStringList{"A", "B"} << 0 << int(QMessageBox::No)
                                 << QStringList{"A", "B"} << "A" << false;
    QTest::newRow("two equal entries")
        << QStringList{"A", "A", "B"} << 0 << int(QMessageBox::Yes) << QStringList{"A", "B"} << "B" << false;
    QTest::newRow("Delete key, middle of three")
        << QStringList{"A", "B", "C"} << 1 << int(QMessageBox::Yes) << QStringList{"A", "C"} << "C" << true;
    QTest::newRow("Delete key, answered No")
        << QStringList{"A", "B"} << 1 << int(QMessageBox::No) << QStringList{"A", "B"} << "B" << true;
}

void TestForm1Editing::deleteEntry()
{
    QFETCH(QStringList, names);
    QFETCH(int, clicked);
    QFETCH(int, answer);
    QFETCH(QStringList, left);
    QFETCH(QString, shown);
    QFETCH(bool, byKey);
    FormDriver ui(named(names));
    const QByteArray before = ui.fileBytes();
    ui.clickRow(clicked);
    ui.boxes().answer(QMessageBox::StandardButton(answer));
    if (byKey)
        QTest::keyClick(&ui.list(), Qt::Key_Delete);
    else
        ui.clickButton("PushButton1");
    QCOMPARE(ui.boxes().texts(), QStringList{"Are you sure you want to delete the selected entry?"});
    QCOMPARE(ui.names(), left);
    QCOMPARE(ui.form().editText(Name), shown);
    if (answer == QMessageBox::No) {
        QCOMPARE(ui.fileBytes(), before);
        QCOMPARE(ui.list().selectedRow(), clicked);
        return;
    }
    QCOMPARE(ui.fileBytes(), recordBytes(named(left)));
    QCOMPARE(ui.list().selectedRow(), left.size() - 1);
    if (left.isEmpty()) {
        QCOMPARE(QFileInfo(ui.dataFile()).size(), 0);
        ui.typeInto(ui.edit("lblPhNo"), "x");
        QTest::keyClick(ui.edit("lblPhNo"), Qt::Key_Tab);
        QCOMPARE(ui.book().count(), 0);
    }
}

void TestForm1Editing::accessibleNames_data()
{
    // Each control and the name a screen reader gives it: an edit field is named by its label.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    const std::pair<const char *, const char *> named[] = {{"lblName", "Name:"},
                                                           {"lblPhNo", "Phone:"},
                                                           {"lblAddress", "Address:"},
                                                           {"lblState", "State:"},
                                                           {"lblPostCode", "Zip Code:"},
                                                           {"lblCountry", "Country:"},
                                                           {"lblPhNo2", "Phone 2:"},
                                                           {"lblFax", "Fax:"},
                                                           {"lblMobile", "Cell:"},
                                                           {"lblWork", "Company:"},
                                                           {"lblWorkNo", "Co. Phone:"},
                                                           {"lblCoFax", "Co. Fax:"},
                                                           {"lblEmail", "Email:"},
                                                           {"lblWebSite", "Site:"},
                                                           {"lblComments", "Additional:"},
                                                           {"txtSearch", "Name To Search For"},
                                                           {"ListView1", "Entry list"},
                                                           {"PushButton1", "Delete Selected"},
                                                           {"PushButton2", "Add New"},
                                                           {"PushButton3", "Save Changes"},
                                                           {"PushButton4", "Sort Names Alphabetically"},
                                                           {"PushButton5", "Print"}};
    for (const auto &[control, name] : named)
        QTest::newRow(control) << QString::fromLatin1(control) << QString::fromLatin1(name);
}

void TestForm1Editing::accessibleNames()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    FormDriver ui(named({"Ann"}));
    QWidget *widget = ui.form().findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(accessibleName(widget), name);
    // The labels keep their captions as they were: no mnemonic marks.
    for (const QLabel *label : ui.form().findChildren<QLabel *>())
        QVERIFY2(!label->text().contains(QLatin1Char('&')), qPrintable(label->text()));
}

void TestForm1Editing::ctrlF_focusesSearchAfterWritingBack()
{
    FormDriver ui(named({"Ann", "Bob"}));
    QLineEdit *search = ui.edit("txtSearch");
    QTest::keyClicks(search, "Bob");
    ui.clickRow(0);
    const QList<QWidget *> starts = {ui.edit("lblPhNo"), ui.comments(), &ui.list(), ui.button("PushButton3")};
    for (QWidget *from : starts) {
        from->setFocus();
        if (from == starts.first())
            QTest::keyClicks(from, "9");
        QTest::keyClick(from, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), search);
        // The search text is selected, ready to be typed over; nothing else moved.
        QCOMPARE(search->selectedText(), QStringLiteral("Bob"));
        QCOMPARE(ui.list().selectedRow(), 0);
    }
    // Leaving the field for the search box wrote its text back.
    QCOMPARE(ui.book().text(0, Phone), person("Ann")[Phone] + "9");
}

namespace {

// How many of the fifteen edit fields take typing.
int editableFields(FormDriver &ui)
{
    int editable = 0;
    for (const QLineEdit *edit : ui.form().findChildren<QLineEdit *>())
        editable += edit->objectName().startsWith("lbl") && !edit->isReadOnly();
    return editable + !ui.comments()->isReadOnly();
}

} // namespace

void TestForm1Editing::fields_takeTypingOnlyWhileRowSelected()
{
    // An empty list: typing goes nowhere, so the fields do not take it.
    FormDriver ui({});
    QCOMPARE(editableFields(ui), 0);
    ui.typeInto(ui.edit("lblName"), "lost");
    ui.typeInto(ui.comments(), "lost");
    QCOMPARE(ui.form().editText(Name), QString());
    QCOMPARE(ui.form().editText(Comments), QString());

    // The first entry added is not selected; selecting it opens the fields.
    QVERIFY(ui.withAddWindow([](Form2 &dialog) {
        QTest::keyClicks(QApplication::focusWidget(), "Ann");
        QTest::mouseClick(dialog.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
    }));
    QCOMPARE(ui.book().count(), 1);
    QCOMPARE(editableFields(ui), 0);
    ui.form().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&ui.form()));
    ui.clickRow(0);
    QCOMPARE(editableFields(ui), 15);
    ui.typeInto(ui.comments(), "kept");
    QTest::keyClick(ui.comments(), Qt::Key_Tab);
    QCOMPARE(ui.book().text(0, Comments), QStringLiteral("kept"));

    // A search that finds nothing closes them; one that finds a row opens them again.
    ui.edit("txtSearch")->setText("zzz");
    QCOMPARE(editableFields(ui), 0);
    ui.edit("txtSearch")->setText("an");
    QCOMPARE(editableFields(ui), 15);

    // Deleting the last entry leaves nothing to edit.
    ui.boxes().answer(QMessageBox::Yes);
    ui.clickButton("PushButton1");
    QCOMPARE(ui.book().count(), 0);
    QCOMPARE(editableFields(ui), 0);

    // A file with entries opens with the top row selected and the fields open.
    FormDriver started(named({"Bob"}));
    QCOMPARE(editableFields(started), 15);
}

QTEST_MAIN(TestForm1Editing)
#include "tst_form1editing.moc"
