// libFuzzer target for reading contacts from CSV files.
//
// A dropped file can hold any bytes. For every input: reading never fails or hangs; no more
// contacts and unreadable rows come out than the file has lines; and every contact read holds
// something and fits the sixteen lines of a record (a line break only in Comments, as LF, and no
// byte-order mark anywhere).
#include "FuzzCheck.h"
#include "data/exchange/CsvContacts.h"

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
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    checkInput(input, LegacyCodePage::Windows1252);
    checkInput(input, LegacyCodePage::Windows1251);
    return 0;
}
