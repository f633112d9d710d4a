// A typing limit for a line edit that still shows a longer stored value whole: only a change that
// makes an over-long text longer still is refused. (QLineEdit::setMaxLength would cut the value.)
#pragma once

#include <QValidator>

class QLineEdit;

namespace larkspan {

class TypingLimit : public QValidator
{
    Q_OBJECT
public:
    // Installs itself as the validator of `edit`.
    TypingLimit(int limit, QLineEdit *edit);

    // A value about to be set by the program is shown whole, however long; does nothing for an
    // edit without a typing limit.
    static void expect(const QLineEdit &edit, const QString &text);

    State validate(QString &input, int &) const override;

private:
    int limit_;
    qsizetype accepted_ = 0;
};

} // namespace larkspan
