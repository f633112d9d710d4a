#include "common/PushButton.h"

#include "common/WindowLook.h"

namespace larkspan {

PushButton::PushButton(const QString &objectName, const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
    setObjectName(objectName);
    setFont(buttonFont());
    setAutoDefault(false);
    QPalette look = palette();
    look.setColor(QPalette::Button, Qt::white);
    look.setColor(QPalette::ButtonText, palette().color(QPalette::ButtonText));
    setPalette(look);
}

} // namespace larkspan
