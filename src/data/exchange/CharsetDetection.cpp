// Guessing and decoding a file's character set with ICU (ucsdet, ucnv).
#include "data/exchange/CharsetDetection.h"

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <memory>

namespace larkspan {

namespace {

// The detector reads a sample; a few hundred kilobytes of a file tell as much as all of it.
constexpr qsizetype kSample = 256 * 1024;
// Below this the detector's guess rests on a handful of letters.
constexpr qsizetype kEnoughNonAscii = 16;
// ICU rates its guesses of single-byte sets low even when they are right (20 to 40 for a page of
// Czech in Windows-1250); below this even the best guess is noise.
constexpr int32_t kSure = 20;

const char *legacyName(LegacyCodePage codePage)
{
    return codePage == LegacyCodePage::Windows1251 ? "windows-1251" : "windows-1252";
}

// The user's legacy code page, and for Windows-1252 the ISO set it extends, which ICU names when
// a file has no byte of 0x80 to 0x9F: our own decoder reads them alike.
bool isLegacyCodePage(const char *name, LegacyCodePage codePage)
{
    if (codePage == LegacyCodePage::Windows1251)
        return ucnv_compareNames(name, "windows-1251") == 0;
    return ucnv_compareNames(name, "windows-1252") == 0 || ucnv_compareNames(name, "ISO-8859-1") == 0;
}

} // namespace

TextCharset detectCharset(QByteArrayView bytes, LegacyCodePage codePage)
{
    TextCharset legacy{legacyName(codePage), true, codePage};
    const QByteArrayView sample = bytes.first(std::min(bytes.size(), kSample));
    const auto nonAscii = std::count_if(sample.begin(), sample.end(),
                                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (nonAscii < kEnoughNonAscii)
        return legacy;
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> detector(ucsdet_open(&status),
                                                                              ucsdet_close);
    if (U_FAILURE(status))
        return legacy;
    ucsdet_setText(detector.get(), sample.data(), int32_t(sample.size()), &status);
    const UCharsetMatch *match = ucsdet_detect(detector.get(), &status);
    if (U_FAILURE(status) || !match)
        return legacy;
    const char *name = ucsdet_getName(match, &status);
    const int32_t confidence = ucsdet_getConfidence(match, &status);
    if (U_FAILURE(status) || !name || confidence < kSure || isLegacyCodePage(name, codePage) ||
        ucnv_compareNames(name, "UTF-8") == 0)
        return legacy;
    return TextCharset{QByteArray(name), false, codePage};
}

QString decodeInCharset(QByteArrayView bytes, const TextCharset &charset)
{
    if (charset.legacy)
        return decodeLegacy(bytes, charset.codePage);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(
        ucnv_open(charset.name.constData(), &status), ucnv_close);
    if (U_FAILURE(status))
        return decodeLegacy(bytes, charset.codePage);
    // A byte sequence is at most one UTF-16 unit per byte, plus the surrogate pairs of a few sets.
    QString text(bytes.size() * 2 + 1, Qt::Uninitialized);
    const int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar *>(text.data()),
                                         int32_t(text.size()), bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status))
        return decodeLegacy(bytes, charset.codePage);
    text.truncate(length);
    return text;
}

} // namespace larkspan
