// Telling a vCard, a CSV file and a "Numbers.dat" apart, and reading each with its reader.
#include "data/exchange/ContactImport.h"

#include "data/NumbersFile.h"
#include "data/exchange/CsvContacts.h"
#include "data/exchange/VCard.h"

#include <QFileInfo>

#include <algorithm>

namespace larkspan {

namespace {

// Text cut into whole sixteen-line records, as our own data file is. A NUL byte says the file is
// not text at all (a picture, an archive), whatever its line count.
bool isWholeRecords(QByteArrayView bytes)
{
    if (bytes.isEmpty() || bytes.contains('\0'))
        return false;
    const ParsedFile parsed = parseNumbersFile(bytes, LegacyCodePage::Windows1252);
    return !parsed.entries.empty() && parsed.missingLines == 0;
}

bool isBlankRecord(const PackedEntry &entry)
{
    for (int f = 0; f < kFieldCount; ++f) {
        const QByteArrayView bytes = entry.utf8(Field(f));
        // A printable ASCII byte is text; anything else is told as the edit fields tell it.
        if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return c > ' ' && c < 0x7F; }) ||
            (!bytes.isEmpty() && hasText(entry.text(Field(f)))))
            return false;
    }
    return true;
}

} // namespace

ContactFileKind detectContactFile(const QString &fileName, QByteArrayView bytes)
{
    if (looksLikeVCard(bytes))
        return ContactFileKind::VCard;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return ContactFileKind::VCard;
    if (suffix == QLatin1String("csv") || suffix == QLatin1String("tsv"))
        return ContactFileKind::Csv;
    if (suffix == QLatin1String("dat"))
        return ContactFileKind::NumbersFile;
    if (looksLikeContactCsv(bytes))
        return ContactFileKind::Csv;
    if (isWholeRecords(bytes))
        return ContactFileKind::NumbersFile;
    return ContactFileKind::Unknown;
}

std::vector<PackedEntry> importNumbersFile(QByteArrayView bytes, LegacyCodePage codePage, int *unreadable)
{
    ParsedFile parsed = parseNumbersFile(bytes, codePage);
    // A record that the end of the file cut short is not imported by halves.
    *unreadable = parsed.missingLines > 0 ? 1 : 0;
    if (parsed.missingLines > 0)
        parsed.entries.pop_back();
    std::erase_if(parsed.entries, isBlankRecord);
    return std::move(parsed.entries);
}

ImportedContacts importContacts(ContactFileKind kind, QByteArrayView bytes, LegacyCodePage codePage,
                                const ReadProgress &progress)
{
    switch (kind) {
    case ContactFileKind::VCard:
        return parseVCards(bytes, codePage, progress);
    case ContactFileKind::Csv:
        return parseCsvContacts(bytes, codePage, progress);
    case ContactFileKind::NumbersFile: {
        ImportedContacts found;
        const std::vector<PackedEntry> entries = importNumbersFile(bytes, codePage, &found.unreadable);
        found.contacts.reserve(entries.size());
        for (const PackedEntry &entry : entries)
            found.contacts.push_back(entry.toContact());
        return found;
    }
    case ContactFileKind::Unknown:
        break;
    }
    return {};
}

ContactFile readContactFile(const QString &path, LegacyCodePage codePage, const ReadProgress &progress)
{
    ContactFile file;
    FileBytes bytes = readWholeFile(path);
    if (!bytes.ok) {
        file.error = bytes.error;
        return file;
    }
    file.readable = true;
    file.kind = detectContactFile(path, bytes.bytes);
    file.found = importContacts(file.kind, bytes.bytes, codePage, progress);
    return file;
}

} // namespace larkspan
