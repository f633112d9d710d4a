// Larkspan Card Index: a phone book kept in "Numbers.dat" in the current folder (started from the
// desktop menu: in the user's data folder).
#include "common/DesktopStart.h"
#include "data/PhoneBook.h"
#include "mainwindow/Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const larkspan::StartFolder folder = larkspan::enterStartFolder(argc, argv);
    QApplication app(argc, argv);
    if (!larkspan::startOnDesktop(folder, QLatin1String(larkspan::kProductName)))
        return 1;
    larkspan::PhoneBook book(QString::fromLatin1(larkspan::kDataFileName));
    larkspan::Form1 form(book, QCoreApplication::applicationDirPath());
    form.Form_Load();
    form.show();
    return app.exec();
}
