#include "common/PushButton.h"

#include "common/WindowLook.h"

namespace larkspan {

PushButton::PushButton(const QString &objectName, const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
    setObjectName(objectName);
    setFont(buttonFont());
    setAutoDefault(false);
    // A white face; the system's button text where it reads on white, as it does in light themes.
    setColours(*this, QPalette::Button, QColor(Qt::white), QPalette::ButtonText, QPalette::ButtonText);
}

} // namespace larkspan
