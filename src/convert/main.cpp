// cardindex-convert IN OUT: reads a vCard, CSV or "Numbers.dat" file with the readers of the
// program's import, and writes every contact as a vCard 4.0, a CSV file or a "Numbers.dat".
#include "data/AtomicFile.h"
#include "data/PackedEntry.h"
#include "data/exchange/ContactExport.h"
#include "data/exchange/ContactImport.h"
#include "data/exchange/CsvContacts.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>
#include <utility>

using namespace larkspan;

namespace {

constexpr char kDescription[] =
    "Converts between vCard (.vcf), CSV (.csv) and Larkspan Card Index phone books (Numbers.dat).\n"
    "The input's kind is read from its contents, or its extension when they do not tell. The\n"
    "output's kind is OUT's extension (.vcf, .csv, anything else a Numbers.dat) unless --to says.\n"
    "OUT is replaced whole or not at all.\n"
    "\n"
    "Exit status: 0 when OUT was written. Cards, rows or records of IN that could not be read are\n"
    "left out, counted in a warning on standard error, and still give 0. 1 when IN could not be\n"
    "read or holds no contacts of a kind we know, or OUT could not be written; standard error then\n"
    "says which, in one line.";

// Entries from which a progress line is worth its while on a terminal.
constexpr qsizetype kProgressFrom = 20000;

int failWith(const QString &line)
{
    std::fprintf(stderr, "cardindex-convert: %s\n", qPrintable(line));
    return 1;
}

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cardindex-convert"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("The output's kind: vcf, csv or dat."),
                                QStringLiteral("kind"));
    const QCommandLineOption codePage(
        QStringLiteral("code-page"),
        QStringLiteral("The Windows code page of text that is not UTF-8 and names no character set: "
                       "1252 (Western, the default) or 1251 (Cyrillic)."),
        QStringLiteral("number"), QStringLiteral("1252"));
    parser.addOption(to);
    parser.addOption(codePage);
    parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("The file to read."));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The file to write."));
    parser.process(app);

    const QStringList paths = parser.positionalArguments();
    if (paths.size() != 2)
        return failWith(QStringLiteral("needs IN and OUT (see --help)"));
    const QString &in = paths[0];
    const QString &out = paths[1];

    LegacyCodePage legacy = LegacyCodePage::Windows1252;
    if (parser.value(codePage) == QLatin1String("1251"))
        legacy = LegacyCodePage::Windows1251;
    else if (parser.value(codePage) != QLatin1String("1252"))
        return failWith(QStringLiteral("--code-page is 1252 or 1251, not %1").arg(parser.value(codePage)));

    ExportFormat format = exportFormatOf(out);
    if (parser.isSet(to)) {
        const QString kind = parser.value(to).toLower();
        if (kind == QLatin1String("vcf"))
            format = ExportFormat::VCard;
        else if (kind == QLatin1String("csv"))
            format = ExportFormat::Csv;
        else if (kind == QLatin1String("dat"))
            format = ExportFormat::NumbersFile;
        else
            return failWith(QStringLiteral("--to is vcf, csv or dat, not %1").arg(parser.value(to)));
    }

    std::vector<PackedEntry> entries;
    int unreadable = 0;
    {
        // Only the entries stay: the file's bytes go once they are read, and each contact once
        // it is packed.
        FileBytes bytes = readWholeFile(in);
        if (!bytes.ok)
            return failWith(QStringLiteral("%1 could not be read: %2").arg(quoted(in), bytes.error));
        const ContactFileKind kind = detectContactFile(in, bytes.bytes);
        if (kind == ContactFileKind::Unknown)
            return failWith(
                QStringLiteral("%1 could not be read: it is not a vCard, a CSV file with a header row "
                               "or a Numbers.dat")
                    .arg(quoted(in)));
        if (kind == ContactFileKind::NumbersFile) {
            entries = importNumbersFile(bytes.bytes, legacy, &unreadable);
        } else {
            ImportedContacts found = importContacts(kind, bytes.bytes, legacy);
            // A .csv whose first row names no column we know (one without a header row) gives
            // nothing, and an empty OUT would look like a good conversion.
            if (kind == ContactFileKind::Csv && found.contacts.empty() && found.unreadable == 0 &&
                !looksLikeContactCsv(bytes.bytes.left(8192)))
                return failWith(QStringLiteral("%1 could not be read: its first row names no column of "
                                               "an address book (a CSV file needs a header row)")
                                    .arg(quoted(in)));
            bytes = {};
            unreadable = found.unreadable;
            entries.reserve(found.contacts.size());
            for (Contact &contact : found.contacts)
                entries.emplace_back(std::exchange(contact, {}));
        }
    }
    if (unreadable > 0)
        std::fprintf(stderr,
                     "cardindex-convert: warning: %d cards, rows or records of %s could not be read "
                     "and are left out\n",
                     unreadable, qPrintable(quoted(in)));

    const qsizetype total = qsizetype(entries.size());
    const bool showProgress = total >= kProgressFrom && ::isatty(STDERR_FILENO);
    const SaveResult saved = exportContacts(out, format, entries, [&](qsizetype written) {
        if (showProgress)
            std::fprintf(stderr, "\rWriting %lld of %lld contacts", qlonglong(written), qlonglong(total));
    });
    if (showProgress)
        std::fputc('\n', stderr);
    if (!saved.ok)
        return failWith(QStringLiteral("%1 could not be written: %2").arg(quoted(out), saved.error));
    return 0;
}
