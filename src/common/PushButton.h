// The program's push button: a QPushButton in the common button look (Arial 11.25 pt bold,
// white face, button-text caption).
#pragma once

#include <QPushButton>

namespace larkspan {

class PushButton : public QPushButton
{
    Q_OBJECT
public:
    PushButton(const QString &objectName, const QString &caption, QWidget *parent);
};

} // namespace larkspan
