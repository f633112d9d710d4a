// What the contact readers share in decoding: the files come from phones, mail programs and
// spreadsheets, each with its own idea of an encoding.
#include "data/TextDecoding.h"

#include <QStringDecoder>

namespace larkspan {

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
