// The entry page read back from a PDF: its lines and their order, the print zones, the fonts and
// sizes, and the device failures that must reach the user.
#include "common/ErrorReport.h"
#include "print/EntryPrintout.h"
#include "print/PdfPage.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace larkspan;
using namespace larkspan::pdfpage;

namespace {

const Word *findWord(const QList<Word> &words, const QString &text)
{
    const auto it = std::find_if(words.begin(), words.end(), [&](const Word &w) { return w.text == text; });
    return it == words.end() ? nullptr : &*it;
}

// The nearest word to the left of `word` on its line.
const Word *wordBefore(const QList<Word> &words, const Word &word)
{
    const Word *before = nullptr;
    for (const Word &w : words) {
        if (qAbs(w.yMin - word.yMin) < 1 && w.xMax <= word.xMin && (!before || w.xMax > before->xMax))
            before = &w;
    }
    return before;
}

// Metrics of the fields' font, Arial 12 pt, measured at a printer's resolution of 1200 dpi.
constexpr double kPointsPerDot = 72.0 / 1200;

QFontMetricsF fieldMetrics(bool bold)
{
    static QImage device = [] {
        QImage image(8, 8, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(1200 / 0.0254));
        image.setDotsPerMeterY(qRound(1200 / 0.0254));
        return image;
    }();
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(12);
    font.setBold(bold);
    return QFontMetricsF(font, &device);
}

} // namespace

class TestEntryPrintout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void linesInOrder_data();
    void linesInOrder();
    void lineBreakStartsLineAtLeftEdge();
    void longCommentStaysOnOneLine();
    void valuesAlignOnPrintZones();
    void fontsAndSizes();
    void deviceFailuresAreReported_data();
    void deviceFailuresAreReported();

private:
    QString printed(const Contact &entry);

    QTemporaryDir dir_;
    int pages_ = 0;
};

QString TestEntryPrintout::printed(const Contact &entry)
{
    const QString path = dir_.filePath(QStringLiteral("page%1.pdf").arg(++pages_));
    try {
        composeEntryPage(*openPdfPrinter(path), entry);
    } catch (const StepFailure &failure) {
        QTest::qFail(qPrintable(failure.description), __FILE__, __LINE__);
        return {};
    }
    return path;
}

void TestEntryPrintout::initTestCase()
{
    if (!havePopplerTools())
        QSKIP("pdftotext and pdffonts (poppler-utils) are needed to read the printed page");
    QVERIFY(dir_.isValid());
}

void TestEntryPrintout::linesInOrder_data()
{
    QTest::addColumn<Contact>("entry");

    QTest::newRow("distinctive values") << distinctiveEntry();
    QTest::newRow("empty values give bare labels") << Contact{};

    Contact special = distinctiveEntry();
    special[Name] = QStringLiteral("Zoë O'Hara & Søn <Ltd>");
    special[WebSite] = QStringLiteral("https://example.org/a?b=c&d=%20");
    QTest::newRow("values printed as given") << special;

    Contact lineBreaks = distinctiveEntry();
    lineBreaks[Address] = QStringLiteral("Unit 4\n9 Kent Street");
    lineBreaks[Comments] = QStringLiteral("first part\r\nsecond part\rthird part\u2028fourth\u2029fifth");
    QTest::newRow("line breaks start new lines") << lineBreaks;
    Contact blankLines = distinctiveEntry();
    blankLines[Comments] = QStringLiteral("\nafter a blank\n\nlast\n");
    QTest::newRow("breaks at the ends and doubled") << blankLines;
}

void TestEntryPrintout::linesInOrder()
{
    QFETCH(Contact, entry);
    const QString pdf = printed(entry);
    QVERIFY(!pdf.isEmpty());
    verifyEntryPage(pdf, entry);
}

void TestEntryPrintout::lineBreakStartsLineAtLeftEdge()
{
    Contact entry = distinctiveEntry();
    entry[Address] = QStringLiteral("Unit 4\r\nKentlea Street");
    entry[Comments] = QStringLiteral("upper\n\nlower");
    const QString pdf = printed(entry);
    QVERIFY(!pdf.isEmpty());
    const QList<Word> page = pageWords(pdf);
    const Word *edge = findWord(page, QStringLiteral("Name:"));
    const Word *unit = findWord(page, QStringLiteral("Unit"));
    const Word *kentlea = findWord(page, QStringLiteral("Kentlea"));
    const Word *address = findWord(page, QStringLiteral("Address:"));
    const Word *suburb = findWord(page, QStringLiteral("Suburb:"));
    const Word *upper = findWord(page, QStringLiteral("upper"));
    const Word *lower = findWord(page, QStringLiteral("lower"));
    QVERIFY(edge && unit && kentlea && address && suburb && upper && lower);
    const double pitch = fieldMetrics(false).lineSpacing() * kPointsPerDot;
    // The part after the break starts at the left edge one line down, and the next field follows
    // on the line after it; a blank line inside the value stays a blank line.
    QCOMPARE_LT(qAbs(kentlea->xMin - edge->xMin), 0.5);
    QCOMPARE_LT(qAbs(kentlea->yMin - unit->yMin - pitch), 0.05);
    QCOMPARE_LT(qAbs(suburb->yMin - address->yMin - 2 * pitch), 0.05);
    QCOMPARE_LT(qAbs(lower->xMin - edge->xMin), 0.5);
    QCOMPARE_LT(qAbs(lower->yMin - upper->yMin - 2 * pitch), 0.05);
}

void TestEntryPrintout::longCommentStaysOnOneLine()
{
    Contact entry = distinctiveEntry();
    QStringList words;
    for (int i = 1; i <= 150; ++i)
        words << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
    entry[Comments] = words.join(QLatin1Char(' '));
    const QString pdf = printed(entry);
    QVERIFY(!pdf.isEmpty());

    // The line runs off the paper's edge, where the reader drops it: what shows must be the
    // comment's first words, all on the label's line, and nothing may come below it.
    const QList<Word> page = pageWords(pdf);
    const Word *label = findWord(page, QStringLiteral("Comments:"));
    QVERIFY(label);
    QStringList shown;
    for (const Word &w : page) {
        QVERIFY2(w.yMin < label->yMin + 1, qPrintable(w.text + QLatin1String(" is below the comment line")));
        if (words.contains(w.text)) {
            QCOMPARE_LT(qAbs(w.yMin - label->yMin), 0.5);
            shown << w.text;
        }
    }
    QCOMPARE_GE(shown.size(), 10);
    QCOMPARE(shown, words.mid(0, shown.size()));
}

void TestEntryPrintout::valuesAlignOnPrintZones()
{
    const Contact entry = distinctiveEntry();
    const QString pdf = printed(entry);
    QVERIFY(!pdf.isEmpty());
    const QList<Word> page = pageWords(pdf);
    const Word *heading = findWord(page, QStringLiteral("PhoneBook"));
    const Word *firstLabel = findWord(page, QStringLiteral("Name:"));
    QVERIFY(heading && firstLabel);
    QCOMPARE_LT(qAbs(heading->xMin - firstLabel->xMin), 0.5);

    // Labels are bold, so the zone's columns and the label's trailing space are bold ones.
    const QFontMetricsF bold = fieldMetrics(true);
    const double zoneWidth = 14 * bold.averageCharWidth() * kPointsPerDot;
    const double spaceWidth = bold.horizontalAdvance(QLatin1Char(' ')) * kPointsPerDot;

    const QStringList values = fieldValues(entry);
    const QList<int> zoned = {0, 1, 2, 3, 4, 5, 13, 14, 15};
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QString label = fieldLabels().at(i);
        const Word *value = findWord(page, values.at(i).section(QLatin1Char(' '), 0, 0));
        QVERIFY2(value, qPrintable(label));
        if (zoned.contains(i)) {
            // Every short label's value starts at the second print zone.
            QVERIFY2(qAbs(value->xMin - firstLabel->xMin - zoneWidth) < 0.3, qPrintable(label));
        } else {
            // The value follows its label after just the label's own space.
            const Word *labelEnd = wordBefore(page, *value);
            QVERIFY2(labelEnd && label.endsWith(labelEnd->text), qPrintable(label));
            QVERIFY2(qAbs(value->xMin - labelEnd->xMax - spaceWidth) < 0.3, qPrintable(label));
        }
    }
}

void TestEntryPrintout::fontsAndSizes()
{
    const QString pdf = printed(distinctiveEntry());
    QVERIFY(!pdf.isEmpty());

    // Arial resolves to its metric twin; the page uses its bold and regular faces and no other.
    const auto fonts = runTool(QStringLiteral("pdffonts"), {pdf});
    QVERIFY(fonts);
    QStringList names;
    for (const QString &line : fonts->split(QLatin1Char('\n')).mid(2)) {
        if (!line.isEmpty())
            names << line.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('+'), -1);
    }
    names.removeDuplicates();
    names.sort();
    QCOMPARE(names, QStringList({QStringLiteral("LiberationSans"), QStringLiteral("LiberationSans-Bold")}));

    // The heading is set 18 pt, the fields 12 pt: half as tall again.
    const QList<Word> page = pageWords(pdf);
    const Word *heading = findWord(page, QStringLiteral("PhoneBook"));
    const Word *field = findWord(page, QStringLiteral("Name:"));
    QVERIFY(heading && field);
    QCOMPARE_LT(qAbs((heading->yMax - heading->yMin) / (field->yMax - field->yMin) - 1.5), 0.02);

    // Lines step down by the line spacing (leading included) of the font that ends them, regular
    // for the fields; the heading and the blank 18 pt line below it take three field lines' worth.
    QList<double> tops;
    for (const Word &w : page) {
        if (std::none_of(tops.begin(), tops.end(), [&](double top) { return qAbs(top - w.yMin) < 1; }))
            tops << w.yMin;
    }
    std::sort(tops.begin(), tops.end());
    QCOMPARE(tops.size(), 17);
    const double pitch = (tops.last() - tops.at(1)) / 15;
    QCOMPARE_LT(qAbs(pitch - fieldMetrics(false).lineSpacing() * kPointsPerDot), 0.05);
    for (qsizetype i = 2; i < tops.size(); ++i)
        QCOMPARE_LT(qAbs(tops.at(i) - tops.at(i - 1) - pitch), 0.05);
    QCOMPARE_LT(qAbs((tops.at(1) - tops.at(0)) / pitch - 3), 0.05);
}

void TestEntryPrintout::deviceFailuresAreReported_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("printAfterEnd");
    QTest::addColumn<QString>("expected");

    const QString missing = dir_.filePath(QStringLiteral("no such folder/page.pdf"));
    QTest::newRow("file cannot be created") << missing << false << QStringLiteral("could not start");
    QTest::newRow("printing after the page is sent")
        << dir_.filePath(QStringLiteral("sent.pdf")) << true << QStringLiteral("already been sent");
}

void TestEntryPrintout::deviceFailuresAreReported()
{
    QFETCH(QString, path);
    QFETCH(bool, printAfterEnd);
    QFETCH(QString, expected);

    const auto printer = openPdfPrinter(path);
    try {
        composeEntryPage(*printer, distinctiveEntry());
        if (printAfterEnd)
            printer->printLine(QStringLiteral("one line too many"));
        QFAIL("no failure was reported");
    } catch (const StepFailure &failure) {
        QVERIFY2(failure.description.contains(expected, Qt::CaseInsensitive),
                 qPrintable(failure.description));
        QVERIFY2(failure.description.contains(QFileInfo(path).fileName()), qPrintable(failure.description));
    }
}

QTEST_MAIN(TestEntryPrintout)
#include "tst_entryprintout.moc"
