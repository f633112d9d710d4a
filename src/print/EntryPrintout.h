// The printout of one phone-book entry: a "PhoneBook" heading and the sixteen fields, one per
// line, on a single page of the system's default printer.
#pragma once

#include "data/Contact.h"
#include "print/PagePrinter.h"

#include <QString>

#include <memory>

namespace larkspan {

// The text of the default-printer failure when there is no printer to print on.
inline constexpr char kNoDefaultPrinterText[] =
    "No default printer is set up. Choose a default printer in the system's printer settings and try again.";

// Draws the page through `printer` and ends the document; throws StepFailure at the first failure.
void composeEntryPage(PagePrinter &printer, const Contact &entry);

// The system's default printer (through CUPS); no dialog. Throws StepFailure when there is none or
// it cannot be opened. A job the print server refuses is reported by endDocument().
std::unique_ptr<PagePrinter> openDefaultPrinter(const QString &jobName);

// A PDF file through the same layer, to check the page without paper.
std::unique_ptr<PagePrinter> openPdfPrinter(const QString &path);

} // namespace larkspan
