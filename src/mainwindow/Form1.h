// The main window: the search box, the Entry list, the commands and the edit fields of the
// selected entry. It shows the phone book and changes it through the phone book's operations,
// and reports their failures.
#pragma once

#include "common/ErrorReport.h"
#include "data/Contact.h"
#include "mainwindow/ExportFlow.h"
#include "mainwindow/ImportFlow.h"

#include <QWidget>

#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace larkspan {

class EntryList;
class HoverPointer;
class PhoneBook;
class PushButton;
class SkinFramework;

inline constexpr char kProductName[] = "Larkspan Card Index";

class Form1 : public QWidget
{
    Q_OBJECT
public:
    // `applicationFolder` is where the skin and the hand cursor are looked for.
    Form1(PhoneBook &book, const QString &applicationFolder, QWidget *parent = nullptr);
    ~Form1() override;

    // Prepares the window: skin, caption, title, cursor, columns and the entries of the file.
    void Form_Load();

    // Writes every row to "Numbers.dat"; reports its own failures. True when the file was written.
    bool Save_It();
    void Sort_it();

    void ListView1_ItemClick(int row);
    // Files dropped on the list: their contacts, once confirmed, go to the end and are saved.
    void ListView1_OLEDragDrop(const QStringList &paths);
    void txtSearch_Change();
    void PushButton1_Click(); // Delete Selected
    void PushButton2_Click(); // Add New
    void PushButton3_Click(); // Save Changes
    void PushButton4_Click(); // Sort Names Alphabetically
    void PushButton5_Click(); // Print
    void Print_it();

    // Leaving an edit field writes its text into the selected row.
    void lblName_LostFocus() { writeBack(Name); }
    void lblPhNo_LostFocus() { writeBack(Phone); }
    void lblAddress_LostFocus() { writeBack(Address); }
    void lblState_LostFocus() { writeBack(State); }
    void lblPostCode_LostFocus() { writeBack(PostCode); }
    void lblCountry_LostFocus() { writeBack(Country); }
    void lblPhNo2_LostFocus() { writeBack(Phone2); }
    void lblFax_LostFocus() { writeBack(Fax); }
    void lblMobile_LostFocus() { writeBack(Mobile); }
    void lblWork_LostFocus() { writeBack(Work); }
    void lblWorkNo_LostFocus() { writeBack(WorkNumber); }
    void lblCoFax_LostFocus() { writeBack(WorkFax); }
    void lblEmail_LostFocus() { writeBack(Email); }
    void lblWebSite_LostFocus() { writeBack(WebSite); }
    void lblComments_LostFocus() { writeBack(Comments); }

    PhoneBook &phoneBook() const { return book_; }
    EntryList *entryList() const { return ListView1; }
    // The text of a field's edit control (Suburb has none: empty).
    QString editText(Field field) const;
    void setEditText(Field field, const QString &text);
    const QString &applicationFolder() const { return applicationFolder_; }

    HoverPointer &pointer() const { return *pointer_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void createColumns();
    void Load_It(Procedure &formLoad);
    void ApplySkin();
    void writeBack(Field field);
    void clearEditFields();
    // The fields take typing only while a row is selected, so that nothing typed is lost.
    void setFieldsEditable(bool editable);
    void showAfterMerge(const std::vector<int> &rowOfOld);

    PhoneBook &book_;
    QString applicationFolder_;
    ImportFlow import_;
    ExportFlow exporter_;
    HoverPointer *pointer_ = nullptr;
    std::unique_ptr<SkinFramework> SkinFramework1;
    int rowBeforeReset_ = -1;

    QGroupBox *Frame2 = nullptr;
    QLineEdit *txtSearch = nullptr;
    EntryList *ListView1 = nullptr;
    PushButton *PushButton1 = nullptr;
    PushButton *PushButton2 = nullptr;
    PushButton *PushButton3 = nullptr;
    PushButton *PushButton4 = nullptr;
    PushButton *PushButton5 = nullptr;
    QGroupBox *Frame1 = nullptr;
    // The edit controls by field; Suburb has none. Comments is the one multi-line field.
    std::array<QWidget *, kFieldCount> editFields_{};
    std::array<QLineEdit *, kFieldCount> lineFields_{};
    QPlainTextEdit *lblComments = nullptr;
};

} // namespace larkspan
