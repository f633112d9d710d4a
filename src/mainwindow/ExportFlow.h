// "Export All Entries..." of the Entry list's context menu: the user picks a file name and a
// type, and every entry, in list order, goes into one vCard or CSV file (see ContactExport.h),
// which is replaced whole or not at all.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace larkspan {

class PhoneBook;

inline constexpr char kVCardFilter[] = "vCard files (*.vcf)";
inline constexpr char kCsvFilter[] = "CSV files (*.csv)";

struct ExportTarget
{
    QString path;   // empty: the user cancelled
    QString filter; // the name filter chosen
};

// Asks for the file to write, starting in `folder`.
using ExportFileChooser = std::function<ExportTarget(QWidget *parent, const QString &folder)>;

// Replaces the file dialog (for tests); returns the previous chooser. An empty one restores the
// dialog.
ExportFileChooser setExportFileChooser(ExportFileChooser chooser);

// The file to write: a typed ".vcf" or ".csv" decides the type, else the chosen filter does and
// its extension is added.
QString exportPathFor(const ExportTarget &target);

class ExportFlow
{
public:
    ExportFlow(PhoneBook &book, QWidget *window) : book_(book), window_(window) {}

    // Asks for the file and writes it; a failure is reported once. True when the file was written.
    bool exportAll();

private:
    PhoneBook &book_;
    QWidget *window_;
};

} // namespace larkspan
