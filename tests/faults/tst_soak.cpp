// Soak test: a long, seeded, random run of what a user does on the real main window (searching,
// clicking rows, moving with the keys, editing and leaving fields, adding through the Add New
// Entry window, deleting, sorting and saving, answering Yes or No), checked after every action
// against a plain model of the phone book kept alongside.
//
// The model is a list of sixteen-string records with the selection, the texts of the edit fields
// and the field holding the focus. After each action the program's list, selection and fields must
// equal the model's, the message boxes must be the ones the action asks, and "Numbers.dat" must
// hold exactly the model's records as last saved, in UTF-8 with a U+2028 for each line break in a
// value and CR LF after every line.
//
// CARDINDEX_SOAK_SEED picks the run (a failure prints the seed to repeat it with);
// CARDINDEX_SOAK_ACTIONS sets its length (5000 by default).
#include "addentry/Form2.h"
#include "support/FormDriver.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <random>

using namespace larkspan;
using namespace larkspan::test;

namespace {

// The main window's edit fields by name, with the record field each shows.
struct EditField
{
    const char *name;
    Field field;
};
constexpr std::array<EditField, 15> kEditFields = {{
    {"lblName", Name},
    {"lblPhNo", Phone},
    {"lblAddress", Address},
    {"lblState", State},
    {"lblPostCode", PostCode},
    {"lblCountry", Country},
    {"lblPhNo2", Phone2},
    {"lblFax", Fax},
    {"lblMobile", Mobile},
    {"lblWork", Work},
    {"lblWorkNo", WorkNumber},
    {"lblCoFax", WorkFax},
    {"lblEmail", Email},
    {"lblWebSite", WebSite},
    {"lblComments", Comments},
}};
constexpr int kStateField = 3;
constexpr int kPostCodeField = 4;
constexpr int kCommentsField = 14;

// The Add New Entry window's boxes by name, with the record field each fills.
const std::vector<std::pair<QString, Field>> kAddBoxes = {
    {"txtName", Name},       {"txtAddress", Address}, {"txtState", State},       {"txtPostCode", PostCode},
    {"txtCountry", Country}, {"txtPhNo", Phone},      {"txtPhNo2", Phone2},      {"txtFax", Fax},
    {"txtMobile", Mobile},   {"txtWork", Work},       {"txtWorkNo", WorkNumber}, {"txtCoFax", WorkFax},
    {"txtEmail", Email},     {"txtWebSite", WebSite}, {"txtComments", Comments}};

const QString kAskDelete = QStringLiteral("Are you sure you want to delete the selected entry?");
const QString kAskSave = QStringLiteral("Are you sure you want to save?");
const QString kNoneSelected = QStringLiteral("You do not have an entry selected");
const QString kNeedName = QStringLiteral("You must type in a name");

// Names are ASCII letters only: the program sorts in the locale's collation, which for letters
// alone is the alphabet regardless of case, so the model can sort them itself.
const QString kLetters = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
// Other fields get anything a keyboard gives, some of it outside Latin-1.
const QString kAnyText = QStringLiteral("abcxyzABCXYZ0123456789 .,;:-_@/#'\"&()[]éüßñÆЖжπ€✓");

struct Model
{
    std::vector<Contact> rows;
    int selected = -1;
    std::array<QString, 15> shown; // the edit fields, in the order of kEditFields
    int focusedField = -1;         // the edit field holding the focus
    bool edited = false;           // the user changed the focused field since it was filled or left
    QString search;
    QByteArray file; // what "Numbers.dat" must hold

    // Leaving an edit field the user changed writes its text into the selected row.
    void leaveField()
    {
        if (edited && focusedField >= 0 && selected >= 0 && !rows.empty())
            rows[size_t(selected)][size_t(kEditFields[size_t(focusedField)].field)] =
                shown[size_t(focusedField)];
        focusedField = -1;
        edited = false;
    }

    // Selecting a row shows it, the State in upper case.
    void show(int row)
    {
        for (size_t i = 0; i < kEditFields.size(); ++i) {
            const QString &value = rows[size_t(row)][size_t(kEditFields[i].field)];
            shown[i] = int(i) == kStateField ? value.toUpper() : value;
        }
        edited = false;
    }

    void select(int row)
    {
        selected = row;
        show(row);
    }

    // Each change of the search text empties the fields, then selects the first row in list order
    // whose name holds the text regardless of case (an empty text: the first non-empty name).
    void searchFor(const QString &text)
    {
        search = text;
        shown.fill(QString());
        edited = false;
        if (rows.empty())
            return;
        for (size_t row = 0; row < rows.size(); ++row) {
            const QString &name = rows[row][Name];
            if (text.isEmpty() ? !name.isEmpty() : name.contains(text, Qt::CaseInsensitive)) {
                select(int(row));
                return;
            }
        }
        selected = -1;
    }

    void sortByName()
    {
        std::stable_sort(rows.begin(), rows.end(), [](const Contact &a, const Contact &b) {
            return a[Name].toLower() < b[Name].toLower();
        });
    }

    void save()
    {
        file = recordBytes(rows);
        ++writes;
    }
    int writes = 0;
};

QStringList valuesOf(const Contact &contact)
{
    return QStringList(contact.begin(), contact.end());
}

quint64 seedFromEnvironment()
{
    bool ok = false;
    const quint64 seed = qEnvironmentVariable("CARDINDEX_SOAK_SEED").toULongLong(&ok);
    return ok ? seed : std::random_device{}() | quint64(std::random_device{}()) << 32;
}

int actionsFromEnvironment()
{
    bool ok = false;
    const int actions = qEnvironmentVariableIntValue("CARDINDEX_SOAK_ACTIONS", &ok);
    return ok && actions > 0 ? actions : 5000;
}

class Soak
{
public:
    Soak(quint64 seed, const std::vector<Contact> &start) : random_(seed), ui_(start)
    {
        model_.rows = start;
        model_.file = recordBytes(start);
        // The start-up sorts the list and shows the top row; the file keeps its order.
        if (!model_.rows.empty()) {
            model_.sortByName();
            model_.select(0);
        }
    }

    // Runs one random action and checks the window and the file against the model.
    void step(int number);
    const std::deque<QString> &recent() const { return recent_; }
    const QMap<QString, int> &counts() const { return counts_; }
    int writes() const { return model_.writes; }

private:
    int below(int n) { return int(random_() % quint64(n)); }
    bool chance(int percent) { return below(100) < percent; }
    QString randomText(const QString &pool, int minLength, int maxLength);
    QString randomName() { return randomText(kLetters, 1, 6); }
    QString textFor(int editField);

    void note(const QString &what);
    void expectBox(const QString &text) { boxes_ << text; }

    void typeText(QWidget *widget, const QString &text);
    QWidget *editWidget(int editField);
    int focusedEditField();
    void waitUntilActive();

    void searchAction();
    void clickRowAction();
    void keyMoveAction();
    void editAction();
    void tabAction();
    void addAction();
    void deleteAction();
    void sortAction();
    void saveAction();

    void verify();

    std::mt19937_64 random_;
    FormDriver ui_;
    Model model_;
    QStringList boxes_; // the boxes the current action must show
    std::deque<QString> recent_;
    QMap<QString, int> counts_;
};

QString Soak::randomText(const QString &pool, int minLength, int maxLength)
{
    const int length = minLength + below(maxLength - minLength + 1);
    QString text;
    for (int i = 0; i < length; ++i)
        text += pool[below(int(pool.size()))];
    return text;
}

// What a user types into a field: letters for the name (see kLetters), digits for the zip code,
// line breaks now and then in the comments, anything elsewhere.
QString Soak::textFor(int editField)
{
    if (editField == 0)
        return randomText(kLetters, 1, 4);
    if (editField == kPostCodeField)
        return randomText(QStringLiteral("0123456789"), 1, 3);
    if (editField == kStateField)
        return randomText(QStringLiteral("abcnswvicqldNSWVIC"), 1, 3);
    QString text = randomText(kAnyText, 1, 6);
    if (editField == kCommentsField && chance(40))
        text.insert(below(int(text.size()) + 1), QLatin1Char('\n'));
    return text;
}

void Soak::note(const QString &what)
{
    recent_.push_back(what);
    if (recent_.size() > 12)
        recent_.pop_front();
    counts_[what.section(QLatin1Char(' '), 0, 0)]++;
}

// Types as the keyboard does: Return for a line break, a key with its text for anything else.
void Soak::typeText(QWidget *widget, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QWidget *Soak::editWidget(int editField)
{
    return ui_.form().findChild<QWidget *>(QLatin1String(kEditFields[size_t(editField)].name));
}

int Soak::focusedEditField()
{
    QWidget *focus = QApplication::focusWidget();
    for (size_t i = 0; i < kEditFields.size(); ++i)
        if (focus && focus == editWidget(int(i)))
            return int(i);
    return -1;
}

// Closing a modal window gives the activation back to the main window; only an active window's
// widgets see the focus leave them, so the run waits for it as a user's next click would.
void Soak::waitUntilActive()
{
    if (!ui_.form().isActiveWindow()) {
        ui_.form().activateWindow();
        if (!QTest::qWaitForWindowActive(&ui_.form()))
            qWarning("the main window did not become active again");
    }
}

void Soak::step(int number)
{
    struct Choice
    {
        int weight;
        void (Soak::*action)();
    };
    const bool listFocused = QApplication::focusWidget() == &ui_.list();
    // The run goes through phases of adding and of deleting, so that the list is now and then
    // emptied and filled again, besides staying at a few dozen rows.
    const int phase = number / 400 % 3;
    const int addWeight = phase == 1 ? 1 : phase == 2 ? 15 : model_.rows.size() < 25 ? 7 : 2;
    const int deleteWeight = phase == 1 ? 30 : phase == 2 ? 2 : 6;
    if (model_.rows.empty())
        counts_[QStringLiteral("(on an empty list)")]++;
    const Choice choices[] = {
        {12, &Soak::searchAction},
        {model_.rows.empty() ? 0 : 18, &Soak::clickRowAction},
        {listFocused && model_.selected >= 0 ? 8 : 0, &Soak::keyMoveAction},
        {25, &Soak::editAction},
        {model_.focusedField >= 0 ? 6 : 0, &Soak::tabAction},
        {addWeight, &Soak::addAction},
        {deleteWeight, &Soak::deleteAction},
        {4, &Soak::sortAction},
        {8, &Soak::saveAction},
    };
    int total = 0;
    for (const Choice &choice : choices)
        total += choice.weight;
    int pick = below(total);
    for (const Choice &choice : choices) {
        if (pick < choice.weight) {
            (this->*choice.action)();
            break;
        }
        pick -= choice.weight;
    }
    verify();
}

void Soak::searchAction()
{
    QLineEdit *search = ui_.edit("txtSearch");
    QTest::mouseClick(search, Qt::LeftButton, {}, QPoint(search->width() - 4, search->height() / 2));
    model_.leaveField();
    QTest::keyClick(search, Qt::Key_End);
    const int how = below(4);
    if (how == 0 || model_.search.isEmpty()) {
        // Select everything and type a new text: the first key replaces the whole text, so it
        // must differ from it for the text to change.
        QString text = randomText(kLetters.left(8) + kLetters.mid(26, 4), 1, 3);
        if (QString(text[0]) == model_.search)
            text[0] = text[0] == QLatin1Char('z') ? QLatin1Char('y') : QLatin1Char('z');
        note(QStringLiteral("search retype \"%1\"").arg(text));
        QTest::keyClick(search, Qt::Key_A, Qt::ControlModifier);
        for (qsizetype i = 0; i < text.size(); ++i) {
            typeText(search, text.mid(i, 1));
            model_.searchFor(text.left(i + 1));
        }
    } else if (how == 1) {
        const QString letter = randomText(kLetters, 1, 1);
        note(QStringLiteral("search append \"%1\"").arg(letter));
        typeText(search, letter);
        model_.searchFor(model_.search + letter);
    } else if (how == 2) {
        note(QStringLiteral("search backspace"));
        QTest::keyClick(search, Qt::Key_Backspace);
        model_.searchFor(model_.search.chopped(1));
    } else {
        note(QStringLiteral("search clear"));
        QTest::keyClick(search, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(search, Qt::Key_Delete);
        model_.searchFor(QString());
    }
}

void Soak::clickRowAction()
{
    const int row = below(int(model_.rows.size()));
    note(QStringLiteral("click row %1").arg(row));
    // The user scrolls the row into view, then clicks it.
    EntryList &list = ui_.list();
    list.scrollTo(list.model()->index(row, 0));
    ui_.clickRow(row);
    model_.leaveField();
    model_.select(row);
}

void Soak::keyMoveAction()
{
    const int last = int(model_.rows.size()) - 1;
    const struct
    {
        Qt::Key key;
        const char *name;
        int row;
    } moves[] = {{Qt::Key_Down, "Down", std::min(model_.selected + 1, last)},
                 {Qt::Key_Up, "Up", std::max(model_.selected - 1, 0)},
                 {Qt::Key_Home, "Home", 0},
                 {Qt::Key_End, "End", last}};
    const auto &move = moves[below(4)];
    note(QStringLiteral("key %1").arg(QLatin1String(move.name)));
    QTest::keyClick(&ui_.list(), move.key);
    // Staying on the same row selects nothing new, so the fields stay as they are.
    if (move.row != model_.selected)
        model_.select(move.row);
}

void Soak::editAction()
{
    const int field = below(int(kEditFields.size()));
    QWidget *widget = editWidget(field);
    // Clicking into the field takes the focus from whatever had it.
    ui_.typeInto(widget, {});
    if (model_.focusedField != field)
        model_.leaveField();
    model_.focusedField = field;
    if (field == kCommentsField)
        QTest::keyClick(widget, Qt::Key_End, Qt::ControlModifier);

    QString &shown = model_.shown[size_t(field)];
    // Without a selected row the fields are read-only: typing changes nothing.
    const bool editable = model_.selected >= 0;
    const int limit = field == kStateField ? 3 : field == kPostCodeField ? 4 : 0;
    // A typing limit refuses a key that makes the text longer than the limit; a refused key, or
    // one that finds nothing to delete, is no change of the field.
    const auto typeAndModel = [&](const QString &text) {
        typeText(widget, text);
        for (const QChar c : text)
            if (editable && (limit == 0 || shown.size() < limit)) {
                shown += c;
                model_.edited = true;
            }
    };
    const auto erase = [&](qsizetype keep) {
        if (!editable)
            return;
        if (shown.size() > keep)
            model_.edited = true;
        shown.truncate(keep);
    };
    const int how = below(5);
    if (how <= 1) {
        const QString text = textFor(field);
        note(QStringLiteral("edit %1 append \"%2\"")
                 .arg(QLatin1String(kEditFields[size_t(field)].name), text));
        typeAndModel(text);
    } else if (how == 2) {
        const QString text = textFor(field);
        note(QStringLiteral("edit %1 replace \"%2\"")
                 .arg(QLatin1String(kEditFields[size_t(field)].name), text));
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(widget, Qt::Key_Delete);
        erase(0);
        typeAndModel(text);
    } else if (how == 3) {
        note(QStringLiteral("edit %1 backspace").arg(QLatin1String(kEditFields[size_t(field)].name)));
        QTest::keyClick(widget, Qt::Key_Backspace);
        erase(std::max<qsizetype>(shown.size() - 1, 0));
    } else {
        note(QStringLiteral("edit %1 empty").arg(QLatin1String(kEditFields[size_t(field)].name)));
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(widget, Qt::Key_Delete);
        erase(0);
    }
    // Half the time the field is left at once; otherwise the next action takes the focus away.
    if (chance(50))
        tabAction();
}

void Soak::tabAction()
{
    note(QStringLiteral("tab"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    model_.leaveField();
    // Where Tab goes is the window's tab order, tested elsewhere; the model follows it.
    model_.focusedField = focusedEditField();
}

void Soak::addAction()
{
    // What to type, box by box, and how to close the window.
    Contact typed;
    const int ending = below(10); // 0-6 Save, 7 blank name then Cancel, 8 Cancel, 9 Esc
    typed[Name] = ending == 7 ? QString(QLatin1Char(' ')).repeated(below(3)) : randomName();
    for (const auto &box : kAddBoxes)
        if (box.second != Name && chance(50))
            typed[size_t(box.second)] =
                box.second == Comments ? textFor(kCommentsField) : randomText(kAnyText, 1, 5);

    const char *const endingName = ending <= 6   ? "save"
                                   : ending == 7 ? "blank name then Cancel"
                                   : ending == 8 ? "Cancel"
                                                 : "Esc";
    note(QStringLiteral("add \"%1\" %2").arg(typed[Name], QLatin1String(endingName)));
    const bool ran = ui_.withAddWindow([&](Form2 &dialog) {
        Contact entered; // what went into each box, found by the box that had the focus
        for (size_t i = 0; i < kAddBoxes.size(); ++i) {
            QWidget *box = QApplication::focusWidget();
            const auto found = std::find_if(kAddBoxes.begin(), kAddBoxes.end(), [&](const auto &b) {
                return box && box->objectName() == b.first;
            });
            if (found == kAddBoxes.end())
                break;
            typeText(box, typed[size_t(found->second)]);
            entered[size_t(found->second)] = typed[size_t(found->second)];
            QTest::keyClick(box, Qt::Key_Tab);
        }
        typed = entered;
        auto *save = dialog.findChild<QPushButton *>(QStringLiteral("PushButton1"));
        auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("PushButton2"));
        if (ending <= 7)
            QTest::mouseClick(save, Qt::LeftButton);
        if (ending == 7 || ending == 8)
            QTest::mouseClick(cancel, Qt::LeftButton);
        if (ending == 9)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    model_.leaveField();
    waitUntilActive();
    if (!ran)
        QFAIL("the Add New Entry window did not open");
    if (ending <= 6) {
        // A new entry goes to the end of the list and the whole list is written at once.
        model_.rows.push_back(typed);
        model_.save();
    } else if (ending == 7) {
        expectBox(kNeedName);
    }
}

void Soak::deleteAction()
{
    const bool yes = chance(60);
    const bool asks = !model_.rows.empty() && model_.selected >= 0;
    if (asks)
        ui_.boxes().answer(yes ? QMessageBox::Yes : QMessageBox::No);
    note(QStringLiteral("delete %1").arg(yes ? "Yes" : "No"));
    ui_.clickButton("PushButton1");
    model_.leaveField();
    if (model_.rows.empty())
        return;
    if (model_.selected < 0) {
        expectBox(kNoneSelected);
        return;
    }
    expectBox(kAskDelete);
    if (!yes)
        return;
    // The last row is selected after a delete; an emptied list keeps the fields as they were.
    model_.rows.erase(model_.rows.begin() + model_.selected);
    if (model_.rows.empty())
        model_.selected = -1;
    else
        model_.select(int(model_.rows.size()) - 1);
    model_.save();
}

void Soak::sortAction()
{
    note(QStringLiteral("sort"));
    ui_.clickButton("PushButton4");
    model_.leaveField();
    if (model_.rows.empty())
        return;
    model_.sortByName();
    model_.select(0);
}

void Soak::saveAction()
{
    const bool yes = chance(70);
    if (!model_.rows.empty())
        ui_.boxes().answer(yes ? QMessageBox::Yes : QMessageBox::No);
    note(QStringLiteral("save %1").arg(yes ? "Yes" : "No"));
    ui_.clickButton("PushButton3");
    model_.leaveField();
    if (model_.rows.empty())
        return;
    expectBox(kAskSave);
    if (yes)
        model_.save();
}

void Soak::verify()
{
    QCOMPARE(ui_.boxes().texts(), boxes_);
    ui_.boxes().clear();
    boxes_.clear();

    const PhoneBook &book = ui_.book();
    QCOMPARE(book.count(), int(model_.rows.size()));
    for (int row = 0; row < book.count(); ++row) {
        const Contact actual = book.entry(row).toContact();
        if (actual != model_.rows[size_t(row)]) {
            qInfo("row %d differs", row);
            QCOMPARE(valuesOf(actual), valuesOf(model_.rows[size_t(row)]));
        }
    }
    QCOMPARE(ui_.list().selectedRow(), model_.selected);
    for (size_t i = 0; i < kEditFields.size(); ++i) {
        QWidget *widget = editWidget(int(i));
        const QString text = int(i) == kCommentsField ? static_cast<QPlainTextEdit *>(widget)->toPlainText()
                                                      : static_cast<QLineEdit *>(widget)->text();
        if (text != model_.shown[i])
            QCOMPARE(QStringLiteral("%1: %2").arg(QLatin1String(kEditFields[i].name), text),
                     QStringLiteral("%1: %2").arg(QLatin1String(kEditFields[i].name), model_.shown[i]));
    }
    QCOMPARE(focusedEditField(), model_.focusedField);
    QCOMPARE(ui_.edit("txtSearch")->text(), model_.search);
    QCOMPARE(ui_.fileBytes(), model_.file);
}

// A starting phone book with names that sort, clash (equal but for case) and search in
// interesting ways, States of every case and length, and multi-line comments.
std::vector<Contact> startingContacts(std::mt19937_64 &random)
{
    const QStringList names = {"ann", "Ann", "bob", "BOB", "Cid", "dee", "Eve", "zed", "al", "Alan", "", "x"};
    std::vector<Contact> contacts;
    for (const QString &name : names) {
        Contact contact = filledContact(name.isEmpty() ? QStringLiteral("nameless") : name);
        contact[Name] = name;
        const QStringList states = {"vic", "NSW", "Texas", "", "q"};
        contact[State] = states[int(random() % quint64(states.size()))];
        contact[PostCode] = QString::number(random() % 100000);
        if (random() % 2)
            contact[Comments] = QStringLiteral("first line\nsecond line");
        contacts.push_back(contact);
    }
    return contacts;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void randomUserActions_matchModelAfterEveryStep();
};

void TestSoak::initTestCase()
{
    // The model's alphabetical order of letter-only names holds in English collation; some
    // languages order letters otherwise, so the run does not take the machine's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestSoak::randomUserActions_matchModelAfterEveryStep()
{
    const quint64 seed = seedFromEnvironment();
    const int actions = actionsFromEnvironment();
    qInfo("soak: seed %llu, %d actions (repeat with CARDINDEX_SOAK_SEED=%llu)", seed, actions, seed);

    std::mt19937_64 setup(seed ^ 0x5eed);
    Soak soak(seed, startingContacts(setup));
    int done = 0;
    // Whatever fails, the seed and the last actions are printed to repeat and read the run.
    const auto report = qScopeGuard([&] {
        if (!QTest::currentTestFailed())
            return;
        qWarning("soak failed at action %d of %d; repeat with CARDINDEX_SOAK_SEED=%llu", done + 1, actions,
                 seed);
        for (const QString &what : soak.recent())
            qWarning("  %s", qPrintable(what));
    });
    for (; done < actions; ++done) {
        soak.step(done);
        if (QTest::currentTestFailed())
            return;
    }
    QStringList summary;
    for (auto it = soak.counts().begin(); it != soak.counts().end(); ++it)
        summary << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    qInfo("soak: %d actions done, the file written and checked %d times: %s", done, soak.writes(),
          qPrintable(summary.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
