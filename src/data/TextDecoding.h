// Turning the bytes of a file from another program into text: UTF-8 or UTF-16 where a file says
// so, the legacy code page of "Numbers.dat" where it is not UTF-8.
#pragma once

#include "data/LegacyCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace larkspan {

// Bytes as UTF-8: UTF-16 with a byte-order mark, or without one but told by its zero bytes, is
// converted; a UTF-8 byte-order mark dropped.
QByteArray utf8Bytes(QByteArrayView bytes);
// UTF-8 when the bytes are valid UTF-8, the legacy code page otherwise; without byte-order marks.
QString decodeText(QByteArrayView bytes, LegacyCodePage codePage);
QString withoutByteOrderMarks(QString text);

} // namespace larkspan
