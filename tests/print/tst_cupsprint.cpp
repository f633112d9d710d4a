// Printing an entry on the system's default printer through a real CUPS server.
// tests/scripts/test_cups_print.sh starts a private cupsd and runs each case with the default
// queue in the state the case is about; run without it, every case is skipped.
#include "common/ErrorReport.h"
#include "print/EntryPrintout.h"
#include "print/PdfPage.h"
#include "support/FormDriver.h"

#include <QPrinterInfo>
#include <QtTest>

using namespace larkspan;
using namespace larkspan::pdfpage;

namespace {

// The state the script has put the default queue in: "none", "rejecting" or "paused".
QString queueState()
{
    return qEnvironmentVariable("CARDINDEX_CUPS_QUEUE");
}

// Prints `entry` the way the main window does; the failure description, if any.
QString printEntry(const Contact &entry)
{
    try {
        auto printer = openDefaultPrinter(QStringLiteral("PhoneBook"));
        composeEntryPage(*printer, entry);
    } catch (const StepFailure &failure) {
        return failure.description;
    }
    return {};
}

} // namespace

class TestCupsPrint : public QObject
{
    Q_OBJECT

private slots:
    void printsOnDefaultPrinter();
    void refusedJobIsReported();
    void pausedQueueKeepsJob();
    void missingPrinterIsReported();
};

// CARDINDEX_CUPS_OUTPUT is the file the default queue's device writes.
void TestCupsPrint::printsOnDefaultPrinter()
{
    const QString output = qEnvironmentVariable("CARDINDEX_CUPS_OUTPUT");
    if (output.isEmpty())
        QSKIP("needs the private CUPS server of tests/scripts/test_cups_print.sh");
    if (!havePopplerTools())
        QSKIP("pdftotext and pdffonts (poppler-utils) are needed to read the printed page");

    // On the real window: the page shows the fields as they stand, an unsaved edit included.
    Contact entry = distinctiveEntry();
    larkspan::test::FormDriver ui({entry});
    ui.typeInto(ui.edit("lblPhNo"), "-typed");
    ui.boxes().answer(QMessageBox::Yes);
    ui.clickButton("PushButton5");
    QCOMPARE(ui.boxes().texts(), QStringList{"Are you ready to print?"});
    entry[Phone] += "-typed";
    entry[State] = entry[State].toUpper();
    verifyPrintedPage(output, entry);
}

void TestCupsPrint::refusedJobIsReported()
{
    if (queueState() != QLatin1String("rejecting"))
        QSKIP("needs a default queue that rejects jobs");

    // Qt's print engine says nothing about a refused job; the printout layer must.
    const QString failure = printEntry(distinctiveEntry());
    QVERIFY2(failure.contains(QPrinterInfo::defaultPrinterName()), qPrintable(failure));
    QVERIFY2(failure.contains(QLatin1String("not accepting jobs")), qPrintable(failure));
}

void TestCupsPrint::pausedQueueKeepsJob()
{
    if (queueState() != QLatin1String("paused"))
        QSKIP("needs a default queue that is disabled but accepts jobs");

    // Like a paused printer, a disabled queue takes the job and prints it once enabled; the
    // script checks the job is waiting there.
    const QString failure = printEntry(distinctiveEntry());
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestCupsPrint::missingPrinterIsReported()
{
    if (queueState() != QLatin1String("none"))
        QSKIP("needs a print server without printers");

    QCOMPARE(printEntry(distinctiveEntry()), QString::fromLatin1(kNoDefaultPrinterText));

    // On the real window: one report, and the window goes on working.
    larkspan::test::FormDriver ui({distinctiveEntry()});
    ui.boxes().answer(QMessageBox::Yes);
    ui.clickButton("PushButton5");
    QCOMPARE(ui.boxes().boxes().size(), 2);
    QCOMPARE(ui.boxes().texts()[1], errorReportText(procedureLabel("Form1.Print_it"),
                                                    QString::fromLatin1(kNoDefaultPrinterText), 100));
    ui.clickButton("PushButton4");
    QCOMPARE(ui.list().selectedRow(), 0);
}

QTEST_MAIN(TestCupsPrint)
#include "tst_cupsprint.moc"
