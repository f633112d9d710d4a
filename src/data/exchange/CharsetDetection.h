// The character set of a file that is not UTF-8 and does not name its own: CSV files carry no
// declaration, and spreadsheets write them in the code page of the machine (Shift_JIS in Japan,
// Windows-1250 in central Europe). ICU's detector guesses from the bytes; its converters decode.
#pragma once

#include "data/LegacyCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace larkspan {

struct TextCharset
{
    QByteArray name;    // as ICU names it: "Shift_JIS", "windows-1250"
    bool legacy = true; // true: the user's legacy code page, the detector was not sure
    LegacyCodePage codePage = LegacyCodePage::Windows1252;
};

// The character set to read `bytes` in: what the detector finds when it is sure and the file has
// enough text beyond ASCII to tell, the legacy code page otherwise (the detector cannot tell
// Windows-1252 from its neighbours in a few names).
TextCharset detectCharset(QByteArrayView bytes, LegacyCodePage codePage);

// Text in `charset`; bytes that are not text in it become U+FFFD.
QString decodeInCharset(QByteArrayView bytes, const TextCharset &charset);

} // namespace larkspan
