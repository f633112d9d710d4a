// Window layouts are drawn in twips (1440 per inch); Qt places widgets in device-independent pixels.
#pragma once

#include <QRect>
#include <QtMath>

namespace larkspan {

inline constexpr double kLayoutDpi = 96.0;

inline int twips(int value)
{
    return qRound(value * kLayoutDpi / 1440.0);
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

} // namespace larkspan
