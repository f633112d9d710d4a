// The main window: the search box, the Entry list, the commands and the edit fields of the
// selected entry. It owns the phone book in memory and is the only writer of "Numbers.dat".
#pragma once

#include "common/ErrorReport.h"
#include "data/LegacyCodec.h"

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
class PushButton;
class SkinFramework;

inline constexpr char kProductName[] = "Larkspan Card Index";
inline constexpr char kDataFileName[] = "Numbers.dat";

class Form1 : public QWidget
{
    Q_OBJECT
public:
    // `applicationFolder` is where the skin and the hand cursor are looked for.
    explicit Form1(const QString &applicationFolder, QWidget *parent = nullptr);
    ~Form1() override;

    // Prepares the window: skin, caption, title, cursor, columns and the entries of the file.
    void Form_Load();

    // Writes every row to "Numbers.dat"; reports its own failures. True when the file was written.
    bool Save_It();
    // The saving steps without the report: throws StepFailure, for callers that report themselves.
    void writeDataFile();
    void Sort_it();

    void ListView1_ItemClick(int row);
    void txtSearch_Change();
    void PushButton1_Click(); // Delete Selected
    void PushButton2_Click(); // Add New
    void PushButton3_Click(); // Save Changes
    void PushButton4_Click(); // Sort Names Alphabetically
    void PushButton5_Click(); // Print
    void Print_it();

    // Leaving an edit field writes its text into the selected row.
    void lblName_LostFocus() { writeBack(0); }
    void lblPhNo_LostFocus() { writeBack(1); }
    void lblAddress_LostFocus() { writeBack(2); }
    void lblState_LostFocus() { writeBack(3); }
    void lblPostCode_LostFocus() { writeBack(4); }
    void lblCountry_LostFocus() { writeBack(5); }
    void lblPhNo2_LostFocus() { writeBack(6); }
    void lblFax_LostFocus() { writeBack(7); }
    void lblMobile_LostFocus() { writeBack(8); }
    void lblWork_LostFocus() { writeBack(9); }
    void lblWorkNo_LostFocus() { writeBack(10); }
    void lblCoFax_LostFocus() { writeBack(11); }
    void lblEmail_LostFocus() { writeBack(12); }
    void lblWebSite_LostFocus() { writeBack(13); }
    void lblComments_LostFocus() { writeBack(14); }

    EntryList *entryList() const { return ListView1; }
    QString editText(int field) const;
    void setEditText(int field, const QString &text);
    const QString &applicationFolder() const { return applicationFolder_; }

    HoverPointer &pointer() const { return *pointer_; }

    // Lines that are not UTF-8 are read in this code page (the user's locale decides by default).
    void setLegacyCodePage(LegacyCodePage codePage) { codePage_ = codePage; }
    LegacyCodePage legacyCodePage() const { return codePage_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void createColumns();
    void Load_It(Procedure &formLoad);
    void ApplySkin();
    void writeBack(int field);
    void clearEditFields();

    QString applicationFolder_;
    LegacyCodePage codePage_;
    // Set when "Numbers.dat" existed but could not be read: saving it would lose its contents.
    QString saveRefusal_;
    HoverPointer *pointer_ = nullptr;
    std::unique_ptr<SkinFramework> SkinFramework1;

    QGroupBox *Frame2 = nullptr;
    QLineEdit *txtSearch = nullptr;
    EntryList *ListView1 = nullptr;
    PushButton *PushButton1 = nullptr;
    PushButton *PushButton2 = nullptr;
    PushButton *PushButton3 = nullptr;
    PushButton *PushButton4 = nullptr;
    PushButton *PushButton5 = nullptr;
    QGroupBox *Frame1 = nullptr;
    // The fifteen edit fields in the order of their row positions: name, sub-items 1 to 14.
    std::array<QLineEdit *, 14> lineFields_{};
    QPlainTextEdit *lblComments = nullptr;
    std::array<QWidget *, 15> editFields_{};
};

} // namespace larkspan
