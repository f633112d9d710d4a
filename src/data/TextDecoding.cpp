// What the contact readers share in decoding: the files come from phones, mail programs and
// spreadsheets, each with its own idea of an encoding.
#include "data/TextDecoding.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace larkspan {

namespace {

// UTF-16 without a byte-order mark, told by its zero bytes: text in a Latin script has a zero in
// every other byte, the high one of each character, and no other zeros.
std::optional<QStringDecoder::Encoding> markless16(QByteArrayView bytes)
{
    const qsizetype sample = std::min<qsizetype>(bytes.size(), 4096) & ~qsizetype(1);
    if (sample < 4)
        return std::nullopt;
    qsizetype zeros[2] = {0, 0};
    for (qsizetype i = 0; i < sample; ++i)
        if (bytes[i] == '\0')
            ++zeros[i % 2];
    const qsizetype characters = sample / 2;
    if (zeros[1] * 2 >= characters && zeros[0] * 10 < characters)
        return QStringDecoder::Utf16LE;
    if (zeros[0] * 2 >= characters && zeros[1] * 10 < characters)
        return QStringDecoder::Utf16BE;
    return std::nullopt;
}

} // namespace

QByteArray utf8Bytes(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.sliced(3).toByteArray();
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        // Windows address books write "Unicode" files as UTF-16 with a byte-order mark.
        QStringDecoder decoder(QStringDecoder::Utf16); // reads the order from the mark, drops it
        const QString text = decoder(bytes);
        return text.toUtf8();
    }
    if (const auto encoding = markless16(bytes)) {
        QStringDecoder decoder(*encoding);
        return withoutByteOrderMarks(decoder(bytes)).toUtf8();
    }
    return bytes.toByteArray();
}

QString decodeText(QByteArrayView bytes, LegacyCodePage codePage)
{
    return withoutByteOrderMarks(bytes.isValidUtf8() ? QString::fromUtf8(bytes)
                                                     : decodeLegacy(bytes, codePage));
}

QString withoutByteOrderMarks(QString text)
{
    // A mark inside a value is an accident of how the file was put together, and the first one
    // of a value would be lost on the next read anyway.
    if (text.contains(QChar(0xFEFF)))
        text.remove(QChar(0xFEFF));
    return text;
}

} // namespace larkspan
