#include "common/WindowLook.h"

#include "common/Twips.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
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
    // An index card with a telephone-book tab.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 60, 110), 1.5));
    painter.setBrush(QColor(250, 246, 228));
    painter.drawRoundedRect(QRectF(2.5, 7.5, 27, 21), 2, 2);
    painter.setBrush(QColor(200, 60, 50));
    painter.drawRoundedRect(QRectF(4.5, 3.5, 10, 6), 1.5, 1.5);
    painter.setPen(QPen(QColor(90, 110, 150), 1.2));
    for (int y = 14; y <= 24; y += 5)
        painter.drawLine(QPointF(6, y), QPointF(26, y));
    painter.end();
    return QIcon(pixmap);
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
