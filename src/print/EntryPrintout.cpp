// The entry page and the two devices it goes to: the default printer and a PDF file.
#include "print/EntryPrintout.h"

#include "common/ErrorReport.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include <dlfcn.h>

namespace larkspan {

namespace {

// How the value is set off from its label: at the next print zone, so that the short labels'
// values line up in one column, or straight after the label for the labels too long for that.
enum class Separator { NextZone, None };

struct FieldLine
{
    const char *label;
    Separator separator;
    Field field;
};

constexpr FieldLine kFieldLines[] = {
    {"Name: ", Separator::NextZone, Name},
    {"Address: ", Separator::NextZone, Address},
    {"Suburb: ", Separator::NextZone, Suburb},
    {"State: ", Separator::NextZone, State},
    {"Post Code: ", Separator::NextZone, PostCode},
    {"Country: ", Separator::NextZone, Country},
    {"Phone Number: ", Separator::None, Phone},
    {"Second Phone Number: ", Separator::None, Phone2},
    {"Fax Number: ", Separator::None, Fax},
    {"Mobile Number: ", Separator::None, Mobile},
    {"Company Name: ", Separator::None, Work},
    {"Company Ph. No.: ", Separator::None, WorkNumber},
    {"Company Fax Number: ", Separator::None, WorkFax},
    {"Email: ", Separator::NextZone, Email},
    {"Web Site: ", Separator::NextZone, WebSite},
    {"Comments: ", Separator::NextZone, Comments},
};

const QString kFontName = QStringLiteral("Arial");

// Qt's CUPS engine submits the page with cupsPrintFile() inside QPainter::end() and drops the
// result: end() returns true and printerState() goes back to Idle even when the server refused
// the job (queue not accepting jobs, queue deleted meanwhile, server gone). libcups keeps the
// outcome of the last request of each thread, and the submission ran on this one, so the answer
// is asked of the libcups that Qt's print plugin has loaded. If none is loaded, no CUPS server
// was involved and there is nothing more to learn.
void checkJobAccepted(const QString &printerName)
{
    void *cups = dlopen("libcups.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (!cups)
        return;
    const auto lastError = reinterpret_cast<int (*)()>(dlsym(cups, "cupsLastError"));
    const auto lastErrorString = reinterpret_cast<const char *(*)()>(dlsym(cups, "cupsLastErrorString"));
    const int status = lastError ? lastError() : 0;
    const QString reason = lastErrorString ? QString::fromUtf8(lastErrorString()) : QString();
    dlclose(cups);

    // IPP status codes below 0x0100 are the successful ones.
    if (status >= 0x0100)
        fail(
            QStringLiteral("The printer \"%1\" did not accept the page: %2 Check the printer in the system's "
                           "printer settings and try again.")
                .arg(printerName, reason.isEmpty() ? QStringLiteral("(no reason given).") : reason));
}

} // namespace

void composeEntryPage(PagePrinter &printer, const Contact &entry)
{
    printer.setFontName(kFontName);
    printer.setFontSize(18);
    printer.setBold(true);
    printer.setUnderline(true);
    printer.printLine(QStringLiteral("PhoneBook"));
    printer.printLine(QString());

    printer.setFontName(kFontName);
    printer.setUnderline(false);
    printer.setFontSize(12);
    for (const FieldLine &line : kFieldLines) {
        printer.setBold(true);
        if (line.separator == Separator::NextZone)
            printer.printToNextZone(QLatin1String(line.label));
        else
            printer.printText(QLatin1String(line.label));
        printer.setBold(false);
        printer.printLine(entry[line.field]);
    }
    printer.endDocument();
}

std::unique_ptr<PagePrinter> openDefaultPrinter(const QString &jobName)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        fail(QLatin1String(kNoDefaultPrinterText));
    const QString name = info.printerName();

    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    // QPrinter quietly falls back to writing a PDF file (or to another printer) when it cannot
    // use the one asked for; printing would then go nowhere.
    if (printer->outputFormat() != QPrinter::NativeFormat || printer->printerName() != name)
        fail(QStringLiteral("The default printer \"%1\" cannot be opened. Check it in the system's printer "
                            "settings and try again.")
                 .arg(name));
    printer->setDocName(jobName);
    printer->setFullPage(false);
    return std::make_unique<PagePrinter>(std::move(printer), QStringLiteral("the printer \"%1\"").arg(name),
                                         [name] { checkJobAccepted(name); });
}

std::unique_ptr<PagePrinter> openPdfPrinter(const QString &path)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setFullPage(false);
    const QString label = QStringLiteral("the file \"%1\"").arg(QDir::toNativeSeparators(path));
    return std::make_unique<PagePrinter>(std::move(printer), label, [path, label] {
        // The PDF engine does not report failed writes; an empty or missing file gives them away.
        if (QFileInfo(path).size() <= 0)
            fail(QStringLiteral("The page could not be written to %1.").arg(label));
    });
}

} // namespace larkspan
