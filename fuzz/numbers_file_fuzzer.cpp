// libFuzzer target for reading "Numbers.dat".
//
// Any bytes at all may be found in the data file, and whatever loads from them is the user's
// phone book from then on. So for every input: what loads must encode to a file that loads back
// into exactly the same entries, whichever code page reads it; and a real save of those entries,
// read back from disk, must give the same bytes and the same entries, with no temporary file left.
#include "FuzzCheck.h"
#include "data/NumbersFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace larkspan;

namespace {

// Saves go to a folder in memory where one is available: each input is saved once, and a
// synced write to a real disk would make every run thousands of times slower.
QTemporaryDir &saveFolder()
{
    static std::unique_ptr<QTemporaryDir> folder = [] {
        const QString shm = QStringLiteral("/dev/shm");
        const QString base = QDir(shm).exists() ? shm : QDir::tempPath();
        return std::make_unique<QTemporaryDir>(base + QStringLiteral("/numbers-fuzz-XXXXXX"));
    }();
    return *folder;
}

// The file as it must be written: valid UTF-8, sixteen lines per entry, each ended by CR LF,
// and no other CR or LF anywhere.
void checkWrittenForm(const QByteArray &encoded, size_t entries)
{
    check(QByteArrayView(encoded).isValidUtf8(), "the written file is UTF-8");
    qsizetype lines = 0;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '\n')
            violated("LF only after CR");
        if (encoded[i] == '\r') {
            check(i + 1 < encoded.size() && encoded[i + 1] == '\n', "CR followed by LF");
            ++lines;
            ++i;
        }
    }
    check(lines == qsizetype(entries) * kFieldCount, "sixteen lines per entry");
    check(encoded.isEmpty() || encoded.endsWith("\r\n"), "the last line ends with CR LF");
}

void checkRoundTrip(QByteArrayView input, LegacyCodePage readAs, LegacyCodePage readBackAs, bool save)
{
    const ParsedFile parsed = parseNumbersFile(input, readAs);
    check(parsed.missingLines >= 0 && parsed.missingLines < kFieldCount, "missing lines within a record");
    for (const PackedEntry &entry : parsed.entries)
        for (int f = 0; f < kFieldCount; ++f)
            check(entry.utf8(Field(f)).isValidUtf8(), "every loaded value is UTF-8");

    const QByteArray encoded = encodeEntries(parsed.entries);
    checkWrittenForm(encoded, parsed.entries.size());

    const ParsedFile reparsed = parseNumbersFile(encoded, readBackAs);
    check(reparsed.missingLines == 0, "a written file has whole records");
    check(reparsed.entries == parsed.entries, "what loads, saves and loads again is the same");

    QByteArray chunked;
    QBuffer buffer(&chunked);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    check(writeEntries(buffer, parsed.entries, &error), "writing to memory succeeds");
    check(chunked == encoded, "the chunked writer writes what the encoder does");

    if (!save)
        return;
    QTemporaryDir &folder = saveFolder();
    check(folder.isValid(), "a folder to save in");
    const QString path = folder.filePath(QStringLiteral("Numbers.dat"));
    const SaveResult saved = saveNumbersFile(path, parsed.entries);
    check(saved.ok, "saving to a writable folder succeeds");
    const FileBytes onDisk = readWholeFile(path);
    check(onDisk.ok, "the saved file reads back");
    check(onDisk.bytes == encoded, "the saved file holds what was encoded");
    check(parseNumbersFile(onDisk.bytes, readBackAs).entries == parsed.entries,
          "the saved file loads into the same entries");
    const QStringList left =
        QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    check(left == QStringList{QStringLiteral("Numbers.dat")}, "no temporary file is left behind");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    // Read in one code page, read back in the other: a written file must not depend on it.
    checkRoundTrip(input, LegacyCodePage::Windows1252, LegacyCodePage::Windows1251, true);
    checkRoundTrip(input, LegacyCodePage::Windows1251, LegacyCodePage::Windows1252, false);
    return 0;
}
