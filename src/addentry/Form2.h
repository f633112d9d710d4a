// The Add New Entry window: collects one new contact, appends it to the main window's list and
// writes the whole list to "Numbers.dat" at once. Opened modal, afresh each time.
#pragma once

#include <QDialog>

#include <array>

class QLineEdit;
class QPlainTextEdit;

namespace larkspan {

class Form1;
class HoverPointer;
class PushButton;

class Form2 : public QDialog
{
    Q_OBJECT
public:
    explicit Form2(Form1 &mainWindow);

    void Form_Load();
    void PushButton1_Click(); // Save
    void PushButton2_Click(); // Cancel

    HoverPointer &pointer() const { return *pointer_; }

private:
    QString text(const char *name) const;

    Form1 &mainWindow_;
    HoverPointer *pointer_ = nullptr;
    PushButton *PushButton1 = nullptr;
    PushButton *PushButton2 = nullptr;
    QLineEdit *txtName = nullptr;
    QPlainTextEdit *txtComments = nullptr;
};

} // namespace larkspan
