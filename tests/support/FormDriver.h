// Starts the real main window on a temporary folder and drives it as a user would.
#pragma once

#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>
#include <memory>

namespace larkspan {
class Form2;
}

namespace larkspan::test {

// The name a screen reader reads for `widget`.
inline QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *face = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    return face ? face->text(QAccessible::Name) : QStringLiteral("(no accessible object)");
}

class FormDriver
{
public:
    // Writes the contacts (in this order) as "Numbers.dat", then starts the window.
    explicit FormDriver(const std::vector<Contact> &contacts, bool writeFile = true);

    Form1 &form() { return *form_; }
    PhoneBook &book() { return *book_; }
    EntryList &list() { return *form_->entryList(); }
    MessageRecorder &boxes() { return boxes_; }
    QString dataFile() const { return folder_.path("Numbers.dat"); }
    QByteArray fileBytes() const { return readBytes(dataFile()); }
    QString folder() const { return folder_.path(); }

    QLineEdit *edit(const char *name) const { return form_->findChild<QLineEdit *>(QLatin1String(name)); }
    QPlainTextEdit *comments() const
    {
        return form_->findChild<QPlainTextEdit *>(QStringLiteral("lblComments"));
    }
    QPushButton *button(const char *name) const
    {
        return form_->findChild<QPushButton *>(QLatin1String(name));
    }

    void clickRow(int row);
    void clickButton(const char *name);
    // Presses "Add New" and runs `act` on the modal window once it is up; false when it never
    // came up. A window that `act` leaves open is closed afterwards, so a failing test cannot hang.
    bool withAddWindow(const std::function<void(Form2 &)> &act);
    // Focuses a field with the mouse and types after its text.
    void typeInto(QWidget *field, const QString &text);
    QStringList names() const;

private:
    WorkFolder folder_;
    MessageRecorder boxes_;
    std::unique_ptr<PhoneBook> book_;
    std::unique_ptr<Form1> form_;
};

} // namespace larkspan::test
