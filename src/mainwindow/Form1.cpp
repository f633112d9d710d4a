// The main window: layout, start-up, selection and in-place editing, name search, sorting,
// deleting, printing, and the hover pointer. The phone book does the work on the entries.
#include "mainwindow/Form1.h"

#include "addentry/Form2.h"
#include "common/AppTitle.h"
#include "common/FaceColour.h"
#include "common/HoverPointer.h"
#include "common/MessageBox.h"
#include "common/PushButton.h"
#include "common/SkinFramework.h"
#include "common/Twips.h"
#include "common/TypingLimit.h"
#include "common/WindowLook.h"
#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1Fields.h"
#include "print/EntryPrintout.h"

#include <QDir>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextDocument>

namespace larkspan {

namespace {

constexpr char kListToolTip[] = "Drag and drop files here. Double-click item to remove it. Move | line to "
                                "right and out of window to reveal full names.";

QGroupBox *makeFrame(const char *name, const QString &caption, const QRect &geometry, QWidget *parent)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(QLatin1String(name));
    frame->setGeometry(geometry);
    setBackground(*frame, Qt::white);
    return frame;
}

} // namespace

Form1::Form1(PhoneBook &book, const QString &applicationFolder, QWidget *parent)
    : QWidget(parent), book_(book), applicationFolder_(applicationFolder),
      import_(book, this, [this] { Save_It(); }), exporter_(book, this),
      SkinFramework1(std::make_unique<SkinFramework>())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    makeFixedWindow(*this, 8040, 10095, true);
    setBackground(*this, Qt::white);
    buildControls();
    centreOnScreen(*this);
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    Frame2 = makeFrame("Frame2", QStringLiteral("Name To Search For"), twipsRect(120, 120, 7800, 800), this);
    txtSearch = new QLineEdit(Frame2);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setGeometry(twipsRect(240, 300, 7290, 345));
    connect(txtSearch, &QLineEdit::textChanged, this, &Form1::txtSearch_Change);

    ListView1 = new EntryList(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(twipsRect(120, 990, 7800, 2145));
    ListView1->setToolTip(QLatin1String(kListToolTip));
    ListView1->setModel(&book_.model());
    ListView1->setAccessibleName(QStringLiteral("Entry list"));
    connect(ListView1, &EntryList::itemClick, this, &Form1::ListView1_ItemClick);
    connect(ListView1, &EntryList::selectionMoved, this, [this](int row) { setFieldsEditable(row >= 0); });
    connect(ListView1, &EntryList::deleteRequested, this, &Form1::PushButton1_Click);
    connect(ListView1, &EntryList::exportAllRequested, this, [this] { exporter_.exportAll(); });
    // Read once the drop is over, so that the drag source is not kept waiting while the user answers.
    connect(&book_.model(), &EntryModel::filesDropped, this, &Form1::ListView1_OLEDragDrop,
            Qt::QueuedConnection);
    // A save that merged another program's changes replaced the rows: the entry shown stays shown.
    connect(&book_.model(), &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { rowBeforeReset_ = ListView1->selectedRow(); });
    connect(&book_.model(), &EntryModel::entriesMerged, this, &Form1::showAfterMerge);
    connect(&book_.model(), &EntryModel::cardFileFailed, this, [](const QString &description) {
        // Without the file the card can still be dropped on address books that take the data.
        Procedure(QStringLiteral("Form1.ListView1_OLEStartDrag")).report(100, description);
    });

    PushButton2 = new PushButton(QStringLiteral("PushButton2"), QStringLiteral("Add New"), this);
    PushButton2->setGeometry(twipsRect(120, 3240, 3840, 405));
    PushButton1 = new PushButton(QStringLiteral("PushButton1"), QStringLiteral("Delete Selected"), this);
    PushButton1->setGeometry(twipsRect(4080, 3240, 3840, 405));
    PushButton4 =
        new PushButton(QStringLiteral("PushButton4"), QStringLiteral("Sort Names Alphabetically"), this);
    PushButton4->setGeometry(twipsRect(120, 3750, 3840, 405));
    PushButton5 = new PushButton(QStringLiteral("PushButton5"), QStringLiteral("Print"), this);
    PushButton5->setGeometry(twipsRect(4080, 3750, 3840, 405));
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);

    Frame1 =
        makeFrame("Frame1", QStringLiteral("Edit Existing Entries"), twipsRect(120, 4215, 7800, 5775), this);
    for (const EditFieldLayout &f : kEditFields) {
        auto *label = new QLabel(QString::fromLatin1(f.labelCaption), Frame1);
        label->setObjectName(QLatin1String(f.label));
        label->setGeometry(twipsRect(f.labelLeft, f.labelTop, f.labelWidth, f.labelHeight));
        // All but the two fixed-size labels size themselves to their caption.
        if (qstrcmp(f.label, "Label16") != 0 && qstrcmp(f.label, "Label17") != 0)
            label->adjustSize();

        QWidget *field;
        if (f.field == Comments) {
            lblComments = new QPlainTextEdit(Frame1);
            // Enter inserts a line break; Tab moves on as in every other field.
            lblComments->setTabChangesFocus(true);
            lblComments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            field = lblComments;
        } else {
            auto *edit = new QLineEdit(Frame1);
            if (f.typingLimit > 0)
                new TypingLimit(f.typingLimit, edit);
            lineFields_[f.field] = edit;
            field = edit;
        }
        field->setObjectName(QLatin1String(f.name));
        field->setGeometry(twipsRect(f.left, f.top, f.width, f.height));
        field->installEventFilter(this);
        editFields_[f.field] = field;
        // A screen reader names the field by its label; a caption without '&' keeps its look.
        label->setBuddy(field);
    }
    // Until a row is selected there is no entry for the fields to show or take typing for.
    setFieldsEditable(false);
    // White text boxes; Phone in the tooltip-text colour, Email in black. A system colour that would
    // not read on the white (a dark theme's light text) gives way to black.
    setColours(*txtSearch, QPalette::Base, QColor(Qt::white), QPalette::Text, QPalette::Text);
    for (QWidget *field : editFields_)
        if (field)
            setColours(*field, QPalette::Base, QColor(Qt::white), QPalette::Text, QPalette::Text);
    setColours(*lineFields_[Phone], QPalette::Base, QColor(Qt::white), QPalette::Text, QPalette::ToolTipText);
    setColours(*lineFields_[Email], QPalette::Base, QColor(Qt::white), QPalette::Text, QColor(Qt::black));

    PushButton3 = new PushButton(QStringLiteral("PushButton3"), QStringLiteral("Save Changes"), Frame1);
    PushButton3->setGeometry(twipsRect(240, 5190, 7320, 405));
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);

    QWidget *previous = txtSearch;
    auto chain = [&previous](QWidget *next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (QWidget *button : {PushButton2, PushButton1, PushButton4, PushButton5})
        chain(button);
    // The edit fields in record order.
    for (QWidget *field : editFields_)
        if (field)
            chain(field);
    chain(PushButton3);
    chain(ListView1);

    pointer_ = new HoverPointer(*this, {ListView1, txtSearch, Frame1, Frame2, editFields_[Name]});
    txtSearch->setFocus();

    // Ctrl+F goes to the search box from anywhere in the window, its text selected to type over.
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this,
            [this] { txtSearch->setFocus(Qt::ShortcutFocusReason); });
}

void Form1::setFieldsEditable(bool editable)
{
    for (QLineEdit *edit : lineFields_)
        if (edit)
            edit->setReadOnly(!editable);
    lblComments->setReadOnly(!editable);
}

void Form1::Form_Load()
{
    Procedure p(QStringLiteral("Form1.Form_Load"));
    p.step(100, [&] { ApplySkin(); });
    p.step(102, [&] { setWindowTitle(QLatin1String(kProductName)); });
    p.step(104, [&] { SetAppTitle(windowTitle()); });
    p.step(106, [&] { pointer_->loadHandCursor(applicationFolder_); });
    p.step(108, [&] { createColumns(); });
    Load_It(p);
}

void Form1::ApplySkin()
{
    // Without a skin file (or with anything there but a regular file) the window stays white.
    SkinFramework1->loadSkin(QDir(applicationFolder_).filePath(QStringLiteral("x/o.cjs")), QString());
    if (!SkinFramework1->hasFile())
        return;
    SetFaceColour(*this);
    SkinFramework1->setOptions(SkinFramework1->options() | SkinFramework::ApplyToWindow);
    SkinFramework1->setEnabled(true);
    SkinFramework1->setRepolishControls(true);
    SkinFramework1->applyTo(*this);
}

void Form1::createColumns()
{
    std::vector<int> widths(kFieldCount, twips(1000));
    widths[static_cast<size_t>(columnOfField(Suburb))] = 0; // kept and saved, never shown
    ListView1->setColumnWidths(widths);
}

void Form1::Load_It(Procedure &formLoad)
{
    bool exists = true;
    formLoad.step(110, [&] { exists = !book_.fileMissing(); });
    if (!exists) {
        Save_It();
        return;
    }
    LoadResult loaded;
    // A file that cannot be read whole is never overwritten: the phone book refuses every save.
    if (!formLoad.step(112, [&] { require(loaded = book_.load()); }))
        return;
    // A record cut short by the end of the file: one report per missing line; the row stays.
    for (int missing = 0; missing < loaded.missingLines; ++missing)
        formLoad.step(116, [] { fail(QStringLiteral("Input past end of file")); });
    Sort_it();
}

bool Form1::Save_It()
{
    Procedure p(QStringLiteral("Form1.Save_It"));
    return p.step(100, [&] { requireSaved(book_.save()); });
}

void Form1::Sort_it()
{
    Procedure p(QStringLiteral("Form1.Sort_it"));
    if (book_.count() == 0)
        return;
    p.step(100, [&] { book_.sort(); });
    p.step(102, [&] { ListView1->select(0); });
    p.step(104, [&] { ListView1_ItemClick(0); });
}

QString Form1::editText(Field field) const
{
    if (field == Comments)
        return lblComments->toPlainText();
    const QLineEdit *edit = lineFields_[field];
    return edit ? edit->text() : QString();
}

void Form1::setEditText(Field field, const QString &text)
{
    // What the program puts in a field is no edit of the user's: leaving the field writes nothing.
    if (field == Comments) {
        lblComments->setPlainText(text);
        lblComments->document()->setModified(false);
    } else if (QLineEdit *edit = lineFields_[field]) {
        TypingLimit::expect(*edit, text);
        edit->setText(text);
        edit->setModified(false);
    }
}

void Form1::clearEditFields()
{
    for (const EditFieldLayout &f : kEditFields)
        setEditText(f.field, QString());
}

void Form1::ListView1_ItemClick(int row)
{
    if (book_.count() == 0 || row < 0)
        return;
    for (const EditFieldLayout &f : kEditFields) {
        const QString value = book_.text(row, f.field);
        setEditText(f.field, f.field == State ? value.toUpper() : value);
    }
}

void Form1::showAfterMerge(const std::vector<int> &rowOfOld)
{
    const int row = rowBeforeReset_ >= 0 && static_cast<size_t>(rowBeforeReset_) < rowOfOld.size()
                        ? rowOfOld[static_cast<size_t>(rowBeforeReset_)]
                        : -1;
    if (row < 0) {
        ListView1->clearSelection();
        clearEditFields();
        return;
    }
    ListView1->select(row);
    ListView1_ItemClick(row);
}

void Form1::writeBack(Field field)
{
    if (book_.count() == 0)
        return;
    const int row = ListView1->selectedRow();
    if (row < 0)
        return;
    // Only a field the user changed is written. The fields do not give every value back as it is
    // kept: the comments box reads no-break spaces as spaces and U+2029 as a line break, a line
    // edit holds at most maxLength() characters and State shows in upper case. Passing through a
    // field must leave the entry, and so the saved file, as it was.
    QTextDocument *comments = field == Comments ? lblComments->document() : nullptr;
    QLineEdit *edit = lineFields_[field];
    if (comments ? !comments->isModified() : !edit->isModified())
        return;
    book_.setField(row, field, editText(field));
    // Until the next change the field stands for what the entry now holds.
    if (comments)
        comments->setModified(false);
    else
        edit->setModified(false);
}

void Form1::ListView1_OLEDragDrop(const QStringList &paths)
{
    // While one drop is being answered, the list takes no other.
    ListView1->viewport()->setAcceptDrops(false);
    const ImportFlow::Added added = import_.importFiles(paths);
    ListView1->viewport()->setAcceptDrops(true);
    if (added.count > 0)
        ListView1->scrollTo(book_.model().index(added.first, 0), QAbstractItemView::PositionAtTop);
}

void Form1::txtSearch_Change()
{
    clearEditFields();
    if (book_.count() == 0)
        return;
    const int row = book_.find(txtSearch->text());
    if (row < 0) {
        // Nothing matches: no row stays selected behind the emptied fields.
        ListView1->clearSelection();
        return;
    }
    ListView1->select(row);
    ListView1_ItemClick(row);
}

void Form1::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form1.PushButton1_Click"));
    if (book_.count() == 0)
        return;
    if (ListView1->selectedRow() < 0) {
        p.step(100, [] { MsgBox(QStringLiteral("You do not have an entry selected")); });
        return;
    }
    QMessageBox::StandardButton answer = QMessageBox::No;
    p.step(102, [&] {
        answer = MsgBox(QStringLiteral("Are you sure you want to delete the selected entry?"),
                        QMessageBox::Yes | QMessageBox::No);
    });
    if (answer != QMessageBox::Yes)
        return;
    p.step(104, [&] { book_.remove(ListView1->selectedRow()); });
    if (book_.count() > 0) {
        p.step(106, [&] { ListView1->select(book_.count() - 1); });
        p.step(108, [&] { ListView1_ItemClick(book_.count() - 1); });
    }
    p.step(110, [&] { Save_It(); });
}

void Form1::PushButton2_Click()
{
    Procedure p(QStringLiteral("Form1.PushButton2_Click"));
    p.step(100, [&] {
        Form2 form(book_, applicationFolder_);
        form.Form_Load();
        form.exec();
    });
}

void Form1::PushButton3_Click()
{
    Procedure p(QStringLiteral("Form1.PushButton3_Click"));
    if (book_.count() == 0)
        return;
    QMessageBox::StandardButton answer = QMessageBox::No;
    p.step(100, [&] {
        answer = MsgBox(QStringLiteral("Are you sure you want to save?"), QMessageBox::Yes | QMessageBox::No);
    });
    if (answer == QMessageBox::Yes)
        p.step(102, [&] { Save_It(); });
}

void Form1::PushButton4_Click()
{
    Procedure p(QStringLiteral("Form1.PushButton4_Click"));
    p.step(100, [&] { Sort_it(); });
}

void Form1::PushButton5_Click()
{
    Procedure p(QStringLiteral("Form1.PushButton5_Click"));
    if (book_.count() == 0)
        return;
    if (ListView1->selectedRow() < 0) {
        p.step(100, [] {
            MsgBox(QStringLiteral("Warning: You do not have an entry selected. If you continue, blank fields "
                                  "will be printed."));
        });
        return;
    }
    QMessageBox::StandardButton answer = QMessageBox::No;
    p.step(102, [&] {
        answer = MsgBox(QStringLiteral("Are you ready to print?"), QMessageBox::Yes | QMessageBox::No);
    });
    if (answer == QMessageBox::Yes)
        p.step(104, [&] { Print_it(); });
}

void Form1::Print_it()
{
    Procedure p(QStringLiteral("Form1.Print_it"));
    // One guarded step: a printer that is missing or refuses the job is reported once.
    p.step(100, [&] {
        // What the fields show, and the suburb of the selected row, which no field shows.
        Contact shown;
        for (const EditFieldLayout &f : kEditFields)
            shown[f.field] = editText(f.field);
        const int row = ListView1->selectedRow();
        if (row >= 0)
            shown[Suburb] = book_.text(row, Suburb);
        auto printer = openDefaultPrinter(QStringLiteral("PhoneBook"));
        composeEntryPage(*printer, shown);
    });
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // A box or a menu popping up does not take the focus out of the window's field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (const EditFieldLayout &f : kEditFields)
                if (watched == editFields_[f.field])
                    (this->*f.lostFocus)();
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace larkspan
