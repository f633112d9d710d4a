// libFuzzer target for reading contacts from CSV files.
//
// A dropped file can hold any bytes. For every input: reading never fails or hangs; no more
// contacts and unreadable rows come out than the file has lines; and the contacts read, written
// as our own CSV export, read back into exactly the same entries.
#include "FuzzCheck.h"
#include "data/exchange/CsvContacts.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace larkspan;

namespace {

void checkInput(QByteArrayView input, LegacyCodePage readAs, LegacyCodePage readBackAs)
{
    const ImportedContacts read = parseCsvContacts(input, readAs);
    check(read.unreadable >= 0, "a count of unreadable rows");
    // The header takes a line; each row at least one more. (UTF-16 input counts its line ends
    // as two bytes, which a count of '\n' and '\r' still bounds from above.)
    const qsizetype lines = input.count('\n') + input.count('\r') + 1;
    check(qsizetype(read.contacts.size()) + read.unreadable < std::max<qsizetype>(lines, 2),
          "no more rows than lines");
    if (read.contacts.empty())
        return;
    const QByteArray written = encodeCsvContacts(read.contacts);
    check(QByteArrayView(written).isValidUtf8(), "the export is UTF-8");
    check(looksLikeContactCsv(written), "the export is recognised as contacts");
    const ImportedContacts back = parseCsvContacts(written, readBackAs);
    check(back.unreadable == 0, "the export has no malformed row");
    check(back.contacts == read.contacts, "contacts exported as CSV read back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    checkInput(input, LegacyCodePage::Windows1252, LegacyCodePage::Windows1251);
    checkInput(input, LegacyCodePage::Windows1251, LegacyCodePage::Windows1252);
    return 0;
}
