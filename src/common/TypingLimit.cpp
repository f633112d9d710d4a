#include "common/TypingLimit.h"

#include <QLineEdit>

namespace larkspan {

TypingLimit::TypingLimit(int limit, QLineEdit *edit) : QValidator(edit), limit_(limit)
{
    edit->setValidator(this);
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { accepted_ = text.size(); });
}

void TypingLimit::expect(const QLineEdit &edit, const QString &text)
{
    if (auto *limit = qobject_cast<TypingLimit *>(const_cast<QValidator *>(edit.validator())))
        limit->accepted_ = text.size();
}

QValidator::State TypingLimit::validate(QString &input, int &) const
{
    return input.size() > limit_ && input.size() > accepted_ ? Invalid : Acceptable;
}

} // namespace larkspan
