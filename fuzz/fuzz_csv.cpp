// libFuzzer target for reading contacts from CSV files.
//
// A dropped file can hold any bytes. For every input: reading never fails or hangs; no more
// contacts and unreadable rows come out than the file has lines; every contact read holds
// something and fits the sixteen lines of a record (a line break only in Comments, as LF, and no
// byte-order mark anywhere); and what a row gives depends on its fields alone, not on how they
// were quoted: the same rows with every field quoted give the same contacts and the same count
// of unreadable rows.
#include "FuzzCheck.h"
#include "data/TextDecoding.h"
#include "data/exchange/CsvContacts.h"
#include "data/exchange/CsvTokenizer.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace larkspan;

namespace {

void checkFitsARecord(const Contact &contact)
{
    bool something = false;
    for (int f = 0; f < kFieldCount; ++f) {
        const QString &value = contact[size_t(f)];
        something = something || hasText(value);
        check(!value.contains(QChar(0xFEFF)), "no byte-order mark in a value");
        check(!value.contains(QLatin1Char('\r')), "no CR in a value");
        check(f == Comments || !value.contains(QLatin1Char('\n')), "a line break only in Comments");
    }
    check(something, "a contact holds something");
}

// The rows of `text` again, every field quoted, the delimiter named by a "sep=" line, a malformed
// row written as one that is still malformed. Empty when the delimiter cannot stand between
// quoted fields.
QByteArray requoted(QByteArrayView text)
{
    CsvTokenizer rows(text);
    const char delimiter = rows.delimiter();
    if (delimiter == '"' || delimiter == '\r' || delimiter == '\n')
        return {};
    QByteArray out = QByteArray("sep=") + delimiter + "\r\n";
    while (!rows.atEnd()) {
        const CsvRow row = rows.next();
        // A malformed row that is blank (an open quote before nothing but spaces) is skipped as
        // a blank one is; any other is not read at all, whatever its fields.
        const bool blank = row.fields.size() == 1 && row.fields[0].trimmed().isEmpty();
        if (row.malformed && !blank) {
            out += "\"\"x\r\n"; // text after a closing quote
            continue;
        }
        for (qsizetype i = 0; i < row.fields.size(); ++i) {
            if (i > 0)
                out += delimiter;
            out += '"' + QByteArray(row.fields[i]).replace("\"", "\"\"") + '"';
        }
        out += "\r\n";
    }
    return out;
}

void checkInput(QByteArrayView input, LegacyCodePage codePage)
{
    const ImportedContacts read = parseCsvContacts(input, codePage);
    check(read.unreadable >= 0, "a count of unreadable rows");
    // The header takes a line; each row at least one more. (UTF-16 input counts its line ends
    // as two bytes, which a count of '\n' and '\r' still bounds from above.)
    const qsizetype lines = input.count('\n') + input.count('\r') + 1;
    check(qsizetype(read.contacts.size()) + read.unreadable < std::max<qsizetype>(lines, 2),
          "no more rows than lines");
    for (const Contact &contact : read.contacts)
        checkFitsARecord(contact);

    const QByteArray quoted = requoted(utf8Bytes(input));
    // Quotes shift the bytes, so zeros that were scattered can fall in every other byte, and the
    // reader takes such text for UTF-16 without a mark, as it must. Text holds no zeros.
    if (quoted.isEmpty() || utf8Bytes(quoted) != quoted)
        return;
    const ImportedContacts again = parseCsvContacts(quoted, codePage);
    check(again.unreadable == read.unreadable, "quoting every field finds the same unreadable rows");
    check(again.contacts == read.contacts, "quoting every field gives the same contacts");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    checkInput(input, LegacyCodePage::Windows1252);
    checkInput(input, LegacyCodePage::Windows1251);
    return 0;
}
