// The Windows code pages that files from the original Windows program were written in.
// A line of "Numbers.dat" that is not valid UTF-8 is decoded with one of them.
#pragma once

#include <QByteArrayView>
#include <QLocale>
#include <QString>

namespace larkspan {

enum class LegacyCodePage { Windows1252, Windows1251 };

// Windows-1251 where the user's language is written in Cyrillic, Windows-1252 elsewhere.
LegacyCodePage legacyCodePageFor(const QLocale &locale);

QString decodeLegacy(QByteArrayView bytes, LegacyCodePage codePage);

} // namespace larkspan
