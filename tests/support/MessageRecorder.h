// Answers and records every message box the program shows while it is alive.
#pragma once

#include "common/MessageBox.h"

#include <QList>

#include <deque>

namespace larkspan::test {

class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();

    // Answers for the boxes to come, in order; a box without a queued answer gets its first
    // button (OK, or Yes).
    void answer(QMessageBox::StandardButton button) { answers_.push_back(button); }

    const QList<MessageBoxRequest> &boxes() const { return boxes_; }
    QStringList texts() const;
    void clear() { boxes_.clear(); }

private:
    MessageBoxHandler previous_;
    std::deque<QMessageBox::StandardButton> answers_;
    QList<MessageBoxRequest> boxes_;
};

} // namespace larkspan::test
