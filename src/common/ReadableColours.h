// Colours that stay readable whatever the desktop's palette. A window keeps some colours of its
// own (the white backgrounds) and takes others from the system (button face, button text); text
// drawn on a colour of the window's own must follow what is actually behind it, or a dark desktop
// theme would put its light text on the white.
#pragma once

#include <QColor>
#include <QPalette>

#include <variant>

class QWidget;

namespace larkspan {

// A colour as a window keeps it: fixed, or one of the system's colours, looked up when it changes.
using StoredColour = std::variant<QColor, QPalette::ColorRole>;

// The contrast ratio of two colours by their relative luminance (WCAG): 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);

// `wanted` when it reads on `background` (a contrast of 4.5:1 or more), else black or white,
// whichever reads better.
QColor readableOn(const QColor &background, const QColor &wanted);

// Paints the widget's `backgroundRole` in `background` and its `textRole` in `text`, or in black or
// white where `text` would not read on that background. Both are worked out again whenever the
// desktop's palette changes, so system colours stay current and the text stays readable.
void setColours(QWidget &widget, QPalette::ColorRole backgroundRole, const StoredColour &background,
                QPalette::ColorRole textRole, const StoredColour &text);

} // namespace larkspan
