#include "mainwindow/ExportFlow.h"

#include "common/ErrorReport.h"
#include "data/PhoneBook.h"
#include "data/exchange/ContactExport.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>

#include <memory>

namespace larkspan {

namespace {

// From this many entries the export shows its progress.
constexpr int kProgressFrom = 20000;

ExportTarget askForFile(QWidget *parent, const QString &folder)
{
    ExportTarget target;
    const QString filters = QLatin1String(kVCardFilter) + QLatin1String(";;") + QLatin1String(kCsvFilter);
    target.path = QFileDialog::getSaveFileName(parent, QStringLiteral("Export All Entries"), folder, filters,
                                               &target.filter);
    return target;
}

ExportFileChooser &chooser()
{
    static ExportFileChooser current = askForFile;
    return current;
}

} // namespace

ExportFileChooser setExportFileChooser(ExportFileChooser replacement)
{
    ExportFileChooser previous = std::move(chooser());
    chooser() = replacement ? std::move(replacement) : ExportFileChooser(askForFile);
    return previous;
}

QString exportPathFor(const ExportTarget &target)
{
    if (exportFormatOf(target.path) != ExportFormat::NumbersFile)
        return target.path;
    const bool csv = target.filter == QLatin1String(kCsvFilter);
    return target.path + QLatin1String(csv ? ".csv" : ".vcf");
}

bool ExportFlow::exportAll()
{
    Procedure p(QStringLiteral("Form1.ExportAll"));
    ExportTarget target;
    p.step(100, [&] { target = chooser()(window_, QFileInfo(book_.path()).absolutePath()); });
    if (target.path.isEmpty())
        return false;
    const QString path = exportPathFor(target);

    return p.step(102, [&] {
        // A copy (the entries share their storage): the progress dialog lets events through, and an
        // edit in the meantime must not move the rows under the writer.
        const std::vector<PackedEntry> entries = book_.model().store().rows();
        std::unique_ptr<QProgressDialog> progress;
        if (entries.size() >= size_t(kProgressFrom)) {
            progress = std::make_unique<QProgressDialog>(QStringLiteral("Exporting the entries..."),
                                                         QString(), 0, int(entries.size()), window_);
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(500);
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const SaveResult saved = exportContacts(path, exportFormatOf(path), entries, [&](qsizetype written) {
            if (progress)
                progress->setValue(int(written));
        });
        QApplication::restoreOverrideCursor();
        if (!saved.ok)
            fail(QStringLiteral("\"%1\" could not be written: %2")
                     .arg(QFileInfo(path).fileName(), saved.error));
    });
}

} // namespace larkspan
