// Reading a dropped file of any kind we know: vCard, CSV, or our own "Numbers.dat".
#pragma once

#include "data/LegacyCodec.h"
#include "data/PackedEntry.h"
#include "data/exchange/ContactBuilder.h"
#include "data/exchange/ReadProgress.h"

#include <QString>

namespace larkspan {

enum class ContactFileKind { Unknown, VCard, Csv, NumbersFile };

// Which reader a file is for: the content decides when it is unmistakable (a vCard, a CSV with
// a header we know, a whole number of sixteen-line records), the file name's extension otherwise.
ContactFileKind detectContactFile(const QString &fileName, QByteArrayView bytes);

struct ContactFile
{
    bool readable = false; // false: the file could not be read at all, `error` says why
    QString error;
    ContactFileKind kind = ContactFileKind::Unknown;
    ImportedContacts found;
};

// Reads the contacts of a file of any kind we know. "Numbers.dat" lines and CSV fields that are
// not UTF-8, and vCard values without a character set, are read in `codePage`. `progress` is told
// how far a vCard or CSV reader is, and may stop it (then `found.cancelled`).
ContactFile readContactFile(const QString &path, LegacyCodePage codePage, const ReadProgress &progress = {});
// The entries of a "Numbers.dat" as an import takes them, without making contacts of them: a
// record that the end of the file cut short is left out and counted in `unreadable` (0 or 1),
// blank records are left out.
std::vector<PackedEntry> importNumbersFile(QByteArrayView bytes, LegacyCodePage codePage, int *unreadable);
ImportedContacts importContacts(ContactFileKind kind, QByteArrayView bytes, LegacyCodePage codePage,
                                const ReadProgress &progress = {});

} // namespace larkspan
