#include "support/MessageRecorder.h"

namespace larkspan::test {

MessageRecorder::MessageRecorder()
{
    previous_ = setMessageBoxHandler([this](const MessageBoxRequest &request) {
        boxes_.append(request);
        if (!answers_.empty()) {
            const QMessageBox::StandardButton button = answers_.front();
            answers_.pop_front();
            return button;
        }
        return request.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
}

MessageRecorder::~MessageRecorder()
{
    setMessageBoxHandler(previous_);
}

QStringList MessageRecorder::texts() const
{
    QStringList texts;
    for (const MessageBoxRequest &box : boxes_)
        texts.append(box.text);
    return texts;
}

} // namespace larkspan::test
