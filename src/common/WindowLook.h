// The look shared by both windows: fonts, the program's icon, fixed borders, centring, colours.
#pragma once

#include "common/ReadableColours.h"

#include <QColor>
#include <QFont>
#include <QIcon>

class QWidget;

namespace larkspan {

QFont windowFont(); // Arial 9 pt bold: every text box, label and frame
QFont buttonFont(); // Arial 11.25 pt bold: every push button
QIcon appIcon();    // the program's icon, the picture the desktop menu shows

// A window with a fixed single border, its client area given in twips.
void makeFixedWindow(QWidget &window, int widthTwips, int heightTwips, bool minimizeBox);
void centreOnScreen(QWidget &window);

// Gives a widget a plain background colour of its own, with its text in `text` where that reads
// on it (else in black or white).
void setBackground(QWidget &widget, const StoredColour &colour,
                   const StoredColour &text = QPalette::WindowText);

} // namespace larkspan
