// The program's one way of showing a message box.
#include "common/MessageBox.h"

#include "common/AppTitle.h"

#include <QApplication>

namespace larkspan {

namespace {

MessageBoxHandler &handlerSlot()
{
    static MessageBoxHandler handler;
    return handler;
}

QMessageBox::StandardButton showRealBox(const MessageBoxRequest &request)
{
    QMessageBox box(request.icon, request.caption, request.text, request.buttons,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

QMessageBox::StandardButton MsgBox(const QString &text, QMessageBox::StandardButtons buttons,
                                   QMessageBox::Icon icon, const QString &caption)
{
    const MessageBoxRequest request{text, caption.isEmpty() ? appTitle() : caption, buttons, icon};
    if (handlerSlot())
        return handlerSlot()(request);
    return showRealBox(request);
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler)
{
    return std::exchange(handlerSlot(), std::move(handler));
}

} // namespace larkspan
