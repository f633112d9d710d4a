// The Add New Entry window: collects one new contact, appends it to the end of the phone book and
// writes the whole list to "Numbers.dat" at once. Opened modal, afresh each time.
#pragma once

#include "data/Contact.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QPlainTextEdit;

namespace larkspan {

class HoverPointer;
class PhoneBook;
class PushButton;

class Form2 : public QDialog
{
    Q_OBJECT
public:
    // `applicationFolder` is where the hand cursor is looked for.
    Form2(PhoneBook &book, const QString &applicationFolder);

    void Form_Load();
    void PushButton1_Click(); // Save
    void PushButton2_Click(); // Cancel

    HoverPointer &pointer() const { return *pointer_; }

private:
    QString text(Field field) const;

    PhoneBook &book_;
    QString applicationFolder_;
    HoverPointer *pointer_ = nullptr;
    PushButton *PushButton1 = nullptr;
    PushButton *PushButton2 = nullptr;
    // The text boxes by field; Suburb has none.
    std::array<QLineEdit *, kFieldCount> lineBoxes_{};
    QLineEdit *txtName = nullptr;
    QPlainTextEdit *txtComments = nullptr;
};

} // namespace larkspan
