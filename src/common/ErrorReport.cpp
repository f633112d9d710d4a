// The "Application Error" report.
#include "common/ErrorReport.h"

#include "common/MessageBox.h"

#include <cstring>

namespace larkspan {

void fail(const QString &description)
{
    throw StepFailure{description};
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void failErrno(int error)
{
    fail(systemErrorText(error));
}

QString procedureLabel(const QString &procedure)
{
    return QStringLiteral("in Larkspanapp2021/08/31.") + procedure + QLatin1Char(' ');
}

QString errorReportText(const QString &label, const QString &description, int line)
{
    return description + QStringLiteral("\r\n") + label + QStringLiteral("at line ") + QString::number(line) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") +
           QLatin1String(kSupportAddress);
}

void tellUser(const QString &text)
{
    MsgBox(text, QMessageBox::Ok, QMessageBox::Information);
}

void ReportError(const QString &label, const QString &description, int line)
{
    MsgBox(errorReportText(label, description, line), QMessageBox::Ok, QMessageBox::Warning,
           QStringLiteral("Application Error"));
}

} // namespace larkspan
