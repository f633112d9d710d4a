// libFuzzer target for reading vCard files.
//
// A dropped file can hold any bytes. For every input: reading never fails or hangs; no more cards
// are read or counted than the file has lines; and every contact read, written back as
// our own vCard, reads back into exactly the same entry (what a drag out of the list offers is
// what came in), in lines of at most 75 bytes of valid UTF-8.
#include "FuzzCheck.h"
#include "data/exchange/VCard.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace larkspan;

namespace {

void checkWritten(const QByteArray &card)
{
    check(QByteArrayView(card).isValidUtf8(), "a written card is UTF-8");
    check(card.startsWith("BEGIN:VCARD\r\nVERSION:4.0\r\n") && card.endsWith("END:VCARD\r\n"),
          "a written card is one vCard 4.0");
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < card.size(); ++i) {
        if (card[i] == '\n') {
            check(i > 0 && card[i - 1] == '\r', "LF only after CR");
            check(i - 1 - lineStart <= 75, "lines of at most 75 bytes");
            lineStart = i + 1;
        } else if (card[i] == '\r') {
            check(i + 1 < card.size() && card[i + 1] == '\n', "CR followed by LF");
        }
    }
}

void checkInput(QByteArrayView input, LegacyCodePage codePage)
{
    const ImportedContacts read = parseVCards(input, codePage);
    check(read.unreadable >= 0, "a count of unreadable cards");
    // A card takes two lines at least, BEGIN and END or whatever cut it short.
    const qsizetype lines = input.count('\n') + input.count('\r') + 1;
    check(qsizetype(read.contacts.size()) + read.unreadable <= lines, "every card is read or counted once");
    for (const Contact &contact : read.contacts) {
        const QByteArray card = encodeVCard(contact);
        checkWritten(card);
        const ImportedContacts back = parseVCards(card, codePage);
        check(back.unreadable == 0, "a written card reads back");
        check(back.contacts.size() == 1 && back.contacts[0] == contact,
              "a contact written as a vCard reads back the same");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    checkInput(input, LegacyCodePage::Windows1252);
    checkInput(input, LegacyCodePage::Windows1251);
    return 0;
}
