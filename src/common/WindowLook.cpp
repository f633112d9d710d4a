#include "common/WindowLook.h"

#include "common/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace larkspan {

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

QIcon appIcon()
{
    // The PNG sizes of the installed icon, built into the program (assets/icons).
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/org.larkspan.cardindex.png").arg(size), QSize(size, size));
    return icon;
}

void makeFixedWindow(QWidget &window, int widthTwips, int heightTwips, bool minimizeBox)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (minimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    window.setWindowFlags(flags);
    window.setFixedSize(twips(widthTwips), twips(heightTwips));
    window.setFont(windowFont());
    window.setWindowIcon(appIcon());
}

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

void setBackground(QWidget &widget, const StoredColour &colour, const StoredColour &text)
{
    setColours(widget, QPalette::Window, colour, QPalette::WindowText, text);
    widget.setAutoFillBackground(true);
}

} // namespace larkspan
