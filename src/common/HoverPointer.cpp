#include "common/HoverPointer.h"

#include "common/CursorFile.h"
#include "common/ErrorReport.h"

#include <QAbstractButton>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QPixmap>
#include <QWidget>

namespace larkspan {

HoverPointer::HoverPointer(QWidget &window, QList<QWidget *> resetAreas)
    : QObject(&window), window_(window), resetAreas_(std::move(resetAreas))
{
    resetAreas_.append(&window);
    // Every control reports its own mouse moves; none passes them on to its container.
    window.setMouseTracking(true);
    window.installEventFilter(this);
    for (QWidget *child : window.findChildren<QWidget *>()) {
        child->setMouseTracking(true);
        child->setAttribute(Qt::WA_NoMousePropagation);
        child->installEventFilter(this);
    }
}

void HoverPointer::setMode(int mode)
{
    mode_ = mode;
    if (mode == kCustom && image_)
        window_.setCursor(*image_);
    else
        window_.unsetCursor();
}

void HoverPointer::loadHandCursor(const QString &applicationFolder)
{
    const CursorLoad cursor = readCursorFile(QDir(applicationFolder).filePath(QStringLiteral("HAND-M.CUR")));
    if (cursor.absent)
        return;
    if (!cursor.ok)
        fail(cursor.error);
    image_ = QCursor(QPixmap::fromImage(cursor.image), cursor.hotspot.x(), cursor.hotspot.y());
}

void HoverPointer::hoverOver(QWidget *widget)
{
    // The control under the pointer decides; a part of a control (a list's viewport or scroll
    // bar) speaks for its control. Controls sit on the window or in a frame.
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<QAbstractButton *>(w)) {
            setMode(kCustom);
            return;
        }
        if (resetAreas_.contains(w)) {
            setMode(kDefault);
            return;
        }
        QWidget *container = w->parentWidget();
        if (!container || container == &window_ || qobject_cast<QGroupBox *>(container))
            return;
    }
}

bool HoverPointer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove)
        if (auto *widget = qobject_cast<QWidget *>(watched))
            hoverOver(widget);
    return QObject::eventFilter(watched, event);
}

} // namespace larkspan
