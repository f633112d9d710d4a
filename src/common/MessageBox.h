// Every message box of the program goes through MsgBox, so that tests can answer the boxes
// and read their text, caption, buttons and icon.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

namespace larkspan {

struct MessageBoxRequest
{
    QString text;
    QString caption;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

using MessageBoxHandler = std::function<QMessageBox::StandardButton(const MessageBoxRequest &)>;

// Shows a modal box and returns the button pressed. An empty caption means the
// application title.
QMessageBox::StandardButton MsgBox(const QString &text,
                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                   QMessageBox::Icon icon = QMessageBox::NoIcon, const QString &caption = {});

// Replaces the real box (for tests); returns the previous handler. An empty handler
// restores the real box.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

} // namespace larkspan
