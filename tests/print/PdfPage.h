// Reading a printed entry page back out of its PDF with poppler's command-line tools, for the
// printout tests: the text lines in order, the words with their boxes, and the fonts used.
#pragma once

#include "print/EntryPrintout.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <optional>

namespace larkspan::pdfpage {

inline bool havePopplerTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty();
}

// The tool's standard output, or nothing when it could not run or failed.
inline std::optional<QString> runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

// True once `pdf` holds a whole document; a print spooler writes its output bit by bit. The end
// of file mark need not come last: printer drivers may wrap the PDF in job-control commands.
inline bool isCompletePdf(const QString &pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    const qsizetype crossReference = data.lastIndexOf("startxref");
    if (crossReference < 0 || data.lastIndexOf("%%EOF") < crossReference)
        return false;
    return runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).has_value();
}

// The page's lines as laid out, blank ones left out and runs of blanks collapsed to one space.
inline QStringList pageLines(const QString &pdf)
{
    QStringList lines;
    const auto text =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    for (const QString &line : text.value_or(QString()).split(QLatin1Char('\n'))) {
        const QString simplified = line.simplified();
        if (!simplified.isEmpty())
            lines << simplified;
    }
    return lines;
}

// One word and its box on the page, in points from the page's top left.
struct Word
{
    QString text;
    double xMin, yMin, xMax, yMax;
};

inline QList<Word> pageWords(const QString &pdf)
{
    static const QRegularExpression wordPattern(QLatin1String(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<Word> words;
    const auto html =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    for (const auto &match : wordPattern.globalMatch(html.value_or(QString()))) {
        words.append({match.captured(5), match.captured(1).toDouble(), match.captured(2).toDouble(),
                      match.captured(3).toDouble(), match.captured(4).toDouble()});
    }
    return words;
}

// The labels as the page shows them, and the entry's values in the same order.
inline const QStringList &fieldLabels()
{
    static const QStringList labels = {QStringLiteral("Name:"),
                                       QStringLiteral("Address:"),
                                       QStringLiteral("Suburb:"),
                                       QStringLiteral("State:"),
                                       QStringLiteral("Post Code:"),
                                       QStringLiteral("Country:"),
                                       QStringLiteral("Phone Number:"),
                                       QStringLiteral("Second Phone Number:"),
                                       QStringLiteral("Fax Number:"),
                                       QStringLiteral("Mobile Number:"),
                                       QStringLiteral("Company Name:"),
                                       QStringLiteral("Company Ph. No.:"),
                                       QStringLiteral("Company Fax Number:"),
                                       QStringLiteral("Email:"),
                                       QStringLiteral("Web Site:"),
                                       QStringLiteral("Comments:")};
    return labels;
}

inline QStringList fieldValues(const Contact &e)
{
    return QStringList(e.begin(), e.end());
}

// An entry whose every value is different from the others and from any label.
inline Contact distinctiveEntry()
{
    Contact e;
    e[Name] = QStringLiteral("Quillon Marbeck");
    e[Address] = QStringLiteral("17 Wattlebird Crescent");
    e[Suburb] = QStringLiteral("Yarrawonga");
    e[State] = QStringLiteral("Vicnorth");
    e[PostCode] = QStringLiteral("3730");
    e[Country] = QStringLiteral("Australis");
    e[Phone] = QStringLiteral("0355501111");
    e[Phone2] = QStringLiteral("0355502222");
    e[Fax] = QStringLiteral("0355503333");
    e[Mobile] = QStringLiteral("0412004444");
    e[Work] = QStringLiteral("Ferncastle Joinery");
    e[WorkNumber] = QStringLiteral("0355505555");
    e[WorkFax] = QStringLiteral("0355506666");
    e[Email] = QStringLiteral("quillon@ferncastle.example");
    e[WebSite] = QStringLiteral("www.ferncastle.example");
    e[Comments] = QStringLiteral("Prefers calls after noon");
    return e;
}

// The heading, then each label followed by its value; a line break in a value starts a line of
// its own.
inline QStringList expectedPageLines(const Contact &entry)
{
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|[\\r\\n\\x{2028}\\x{2029}]"));
    QStringList lines = {QStringLiteral("PhoneBook")};
    const QStringList values = fieldValues(entry);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QStringList pieces = values.at(i).split(lineBreak);
        lines << (fieldLabels().at(i) + QLatin1Char(' ') + pieces.first()).simplified();
        for (const QString &piece : pieces.mid(1))
            if (!piece.simplified().isEmpty())
                lines << piece.simplified();
    }
    return lines;
}

// Fails the running test unless `pdf` shows exactly the page of `entry`.
inline void verifyEntryPage(const QString &pdf, const Contact &entry)
{
    QCOMPARE(pageLines(pdf), expectedPageLines(entry));
}

// Waits for a print spooler to finish writing `pdf`, then checks it as verifyEntryPage() does.
inline void verifyPrintedPage(const QString &pdf, const Contact &entry)
{
    QTRY_VERIFY_WITH_TIMEOUT(isCompletePdf(pdf), 60'000);
    verifyEntryPage(pdf, entry);
}

} // namespace larkspan::pdfpage
