#include "common/ReadableColours.h"

#include <QApplication>
#include <QEvent>
#include <QVariant>
#include <QWidget>

#include <cmath>

namespace larkspan {

namespace {

constexpr double kReadableContrast = 4.5;
// One dynamic property per background role of a widget, naming the colours it was given.
constexpr char kPropertyPrefix[] = "larkspanColours";

double channel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor current(const StoredColour &colour)
{
    if (const auto *role = std::get_if<QPalette::ColorRole>(&colour))
        return QApplication::palette().color(QPalette::Active, *role);
    return std::get<QColor>(colour);
}

QVariant toVariant(const StoredColour &colour)
{
    if (const auto *role = std::get_if<QPalette::ColorRole>(&colour))
        return int(*role);
    return std::get<QColor>(colour);
}

StoredColour fromVariant(const QVariant &value)
{
    if (value.typeId() == QMetaType::Int)
        return static_cast<QPalette::ColorRole>(value.toInt());
    return value.value<QColor>();
}

void paint(QWidget &widget, QPalette::ColorRole backgroundRole, const StoredColour &background,
           QPalette::ColorRole textRole, const StoredColour &text)
{
    const QColor back = current(background);
    // A window takes the roles it does not set from the desktop's palette as it is now; the
    // controls on it follow the window.
    QPalette palette =
        widget.isWindow() ? widget.palette().resolve(QApplication::palette(&widget)) : widget.palette();
    palette.setColor(backgroundRole, back);
    palette.setColor(textRole, readableOn(back, current(text)));
    widget.setPalette(palette);
}

void repaint(QWidget &widget)
{
    for (const QByteArray &name : widget.dynamicPropertyNames()) {
        if (!name.startsWith(kPropertyPrefix))
            continue;
        const QVariantList stored = widget.property(name).toList();
        paint(widget, static_cast<QPalette::ColorRole>(stored[0].toInt()), fromVariant(stored[1]),
              static_cast<QPalette::ColorRole>(stored[2].toInt()), fromVariant(stored[3]));
    }
}

// Paints every widget given colours here again when the desktop's palette changes.
class PaletteFollower : public QObject
{
public:
    static void watch()
    {
        static PaletteFollower *follower = nullptr;
        if (!follower) {
            follower = new PaletteFollower(qApp);
            qApp->installEventFilter(follower);
        }
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
            for (QWidget *widget : QApplication::allWidgets())
                repaint(*widget);
        }
        return false;
    }

private:
    using QObject::QObject;
};

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &background, const QColor &wanted)
{
    if (contrastRatio(background, wanted) >= kReadableContrast)
        return wanted;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(background, black) >= contrastRatio(background, white) ? black : white;
}

void setColours(QWidget &widget, QPalette::ColorRole backgroundRole, const StoredColour &background,
                QPalette::ColorRole textRole, const StoredColour &text)
{
    paint(widget, backgroundRole, background, textRole, text);
    const QByteArray name = kPropertyPrefix + QByteArray::number(int(backgroundRole));
    widget.setProperty(
        name, QVariantList{int(backgroundRole), toVariant(background), int(textRole), toVariant(text)});
    PaletteFollower::watch();
}

} // namespace larkspan
