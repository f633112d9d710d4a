#include "addentry/Form2.h"

#include "common/ErrorReport.h"
#include "common/FaceColour.h"
#include "common/HoverPointer.h"
#include "common/MessageBox.h"
#include "common/PushButton.h"
#include "common/Twips.h"
#include "common/WindowLook.h"
#include "data/PhoneBook.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace larkspan {

namespace {

// The text boxes in tab order, each with the field it fills, its top (twips) and its label.
struct TextBoxLayout
{
    const char *name;
    Field field;
    int left, top, width, height;
    const char *label;
    const char *caption;
    int labelLeft;
};

constexpr std::array<TextBoxLayout, 15> kTextBoxes = {{
    {"txtName", Name, 1320, 120, 6600, 345, "lblName", "Name:", 135},
    {"txtAddress", Address, 1320, 600, 6600, 345, "lblAddress", "Address:", 135},
    {"txtState", State, 1320, 1080, 2640, 345, "Label5", "State:", 135},
    {"txtPostCode", PostCode, 5280, 1080, 2640, 345, "Label6", "Zip Code:", 4320},
    {"txtCountry", Country, 1320, 1560, 6600, 345, "Label8", "Country:", 135},
    {"txtPhNo", Phone, 1320, 2040, 6600, 345, "lblPhNo", "Phone:", 135},
    {"txtPhNo2", Phone2, 1320, 2520, 6600, 345, "Label1", "Phone 2:", 135},
    {"txtFax", Fax, 1320, 3000, 6600, 345, "Label2", "Fax:", 135},
    {"txtMobile", Mobile, 1320, 3480, 6600, 345, "lblMobile", "Cell:", 135},
    {"txtWork", Work, 1320, 3960, 6600, 345, "lblWork", "Company:", 135},
    {"txtWorkNo", WorkNumber, 1320, 4440, 6600, 345, "lblWorkNo", "Co. Phone:", 135},
    {"txtCoFax", WorkFax, 1320, 4920, 6600, 345, "Label3", "Co. Fax:", 135},
    {"txtEmail", Email, 1320, 5400, 6600, 345, "lblEmail", "Email:", 135},
    {"txtWebSite", WebSite, 1320, 5880, 6600, 345, "Label4", "Site:", 135},
    {"txtComments", Comments, 1320, 6360, 6600, 1215, "lblComments", "Additional:", 135},
}};

// After a save the boxes are emptied in this order.
constexpr std::array<Field, 15> kEmptyingOrder = {Name,    Phone,    Phone2,     Fax,      Mobile,
                                                  Email,   Work,     WorkNumber, WorkFax,  WebSite,
                                                  Address, Comments, State,      PostCode, Country};

QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

Form2::Form2(PhoneBook &book, const QString &applicationFolder)
    : QDialog(nullptr), book_(book), applicationFolder_(applicationFolder)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Add New Entry"));
    makeFixedWindow(*this, 8040, 8205, false);
    setBackground(*this, Qt::white);
    setModal(true);

    QWidget *previous = nullptr;
    for (const TextBoxLayout &box : kTextBoxes) {
        QWidget *edit;
        if (box.field == Comments) {
            txtComments = new QPlainTextEdit(this);
            // Enter inserts a line break; Tab moves on.
            txtComments->setTabChangesFocus(true);
            txtComments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            edit = txtComments;
        } else {
            edit = lineBoxes_[box.field] = new QLineEdit(this);
        }
        edit->setObjectName(QLatin1String(box.name));
        edit->setGeometry(twipsRect(box.left, box.top, box.width, box.height));
        if (previous)
            setTabOrder(previous, edit);
        previous = edit;

        auto *label = new QLabel(QString::fromLatin1(box.caption), this);
        label->setObjectName(QLatin1String(box.label));
        label->setGeometry(twipsRect(box.labelLeft, box.top + 60, box.field == Comments ? 1215 : 975, 255));
        // A screen reader names the box by its label; a caption without '&' keeps its look.
        label->setBuddy(edit);
    }
    txtName = lineBoxes_[Name];

    PushButton1 = new PushButton(QStringLiteral("PushButton1"), QStringLiteral("Save"), this);
    PushButton1->setGeometry(twipsRect(120, 7680, 3840, 405));
    PushButton2 = new PushButton(QStringLiteral("PushButton2"), QStringLiteral("Cancel"), this);
    PushButton2->setGeometry(twipsRect(4080, 7680, 3840, 405));
    setTabOrder(previous, PushButton1);
    setTabOrder(PushButton1, PushButton2);
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);

    pointer_ = new HoverPointer(*this, {txtComments});
    centreOnScreen(*this);
    txtName->setFocus();
}

void Form2::Form_Load()
{
    Procedure p(QStringLiteral("Form2.Form_Load"));
    p.step(100, [&] { SetFaceColour(*this); });
    p.step(102, [&] { setWindowIcon(appIcon()); });
    p.step(104, [&] { pointer_->loadHandCursor(applicationFolder_); });
}

QString Form2::text(Field field) const
{
    return field == Comments ? txtComments->toPlainText() : lineBoxes_[field]->text();
}

void Form2::PushButton1_Click()
{
    Procedure p(QStringLiteral("Form2.PushButton1_Click"));
    if (trimSpaces(txtName->text()).isEmpty()) {
        p.step(100, [] { MsgBox(QStringLiteral("You must type in a name")); });
        return;
    }
    p.step(102, [&] {
        // Every text exactly as typed; the suburb of a new entry is empty.
        Contact contact;
        for (const TextBoxLayout &box : kTextBoxes)
            contact[box.field] = text(box.field);
        book_.append(contact);
    });
    p.step(104, [&] {
        for (const Field field : kEmptyingOrder) {
            if (field == Comments)
                txtComments->clear();
            else
                lineBoxes_[field]->clear();
        }
        txtName->setFocus();
    });
    p.step(106, [&] { requireSaved(book_.save()); });
    p.step(108, [&] { accept(); });
}

void Form2::PushButton2_Click()
{
    Procedure p(QStringLiteral("Form2.PushButton2_Click"));
    p.step(100, [&] { reject(); });
}

} // namespace larkspan
