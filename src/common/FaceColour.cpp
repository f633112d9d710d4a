#include "common/FaceColour.h"

#include "common/WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace larkspan {

void SetFaceColour(QWidget &window)
{
    const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
    setBackground(window, face);
    for (QWidget *child : window.findChildren<QWidget *>()) {
        if (qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child) ||
            qobject_cast<QCheckBox *>(child) || qobject_cast<QRadioButton *>(child))
            setBackground(*child, face);
    }
}

} // namespace larkspan
