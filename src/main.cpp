// Larkspan Card Index: a phone book kept in "Numbers.dat" in the current folder (started from the
// desktop menu: in the user's data folder).
#include "common/DesktopStart.h"
#include "data/PhoneBook.h"
#include "mainwindow/Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const larkspan::StartFolder folder = larkspan::enterStartFolder(argc, argv);
    // The entries are read and sorted while the application and its window are made; the window's
    // load waits for them and reports as it would have.
    larkspan::PhoneBook book(QString::fromLatin1(larkspan::kDataFileName));
    if (folder.failure.isEmpty())
        book.preload();
    QApplication app(argc, argv);
    if (!larkspan::startOnDesktop(folder, QLatin1String(larkspan::kProductName)))
        return 1;
    larkspan::Form1 form(book, QCoreApplication::applicationDirPath());
    form.Form_Load();
    form.show();
    return app.exec();
}
