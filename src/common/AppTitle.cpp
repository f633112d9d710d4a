#include "common/AppTitle.h"

#include <QCoreApplication>

namespace larkspan {

namespace {
QString &titleSlot()
{
    static QString title;
    return title;
}
} // namespace

QString titleFromProductName(const QString &productName)
{
    QString text = productName;
    do {
        const qsizetype space = text.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break; // a single word has nothing left to drop
        text.truncate(space);
    } while (text.size() > 40);
    return text;
}

void SetAppTitle(const QString &productName)
{
    titleSlot() = titleFromProductName(productName);
}

QString appTitle()
{
    if (titleSlot().isEmpty())
        return QCoreApplication::applicationName();
    return titleSlot();
}

} // namespace larkspan
