#include "common/FaceColour.h"

#include "common/WindowLook.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace larkspan {

void SetFaceColour(QWidget &window)
{
    // Button face, looked up again when the desktop's palette changes, with the button text on it.
    setBackground(window, QPalette::Button, QPalette::ButtonText);
    for (QWidget *child : window.findChildren<QWidget *>()) {
        if (qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child) ||
            qobject_cast<QCheckBox *>(child) || qobject_cast<QRadioButton *>(child))
            setBackground(*child, QPalette::Button, QPalette::ButtonText);
    }
}

} // namespace larkspan
