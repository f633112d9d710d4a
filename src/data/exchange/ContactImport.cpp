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

bool isBlankRecord(const Contact &contact)
{
    return std::none_of(contact.begin(), contact.end(), hasText);
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

ImportedContacts importContacts(ContactFileKind kind, QByteArrayView bytes, LegacyCodePage codePage,
                                const ReadProgress &progress)
{
    switch (kind) {
    case ContactFileKind::VCard:
        return parseVCards(bytes, codePage, progress);
    case ContactFileKind::Csv:
        return parseCsvContacts(bytes, codePage, progress);
    case ContactFileKind::NumbersFile: {
        ParsedFile parsed = parseNumbersFile(bytes, codePage);
        ImportedContacts found;
        // A record that the end of the file cut short is not imported by halves.
        if (parsed.missingLines > 0) {
            parsed.entries.pop_back();
            found.unreadable = 1;
        }
        found.contacts.reserve(parsed.entries.size());
        for (const PackedEntry &entry : parsed.entries) {
            Contact contact = entry.toContact();
            if (!isBlankRecord(contact))
                found.contacts.push_back(std::move(contact));
        }
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
