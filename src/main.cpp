// Larkspan Card Index: a phone book kept in "Numbers.dat" in the current folder.
#include "data/PhoneBook.h"
#include "mainwindow/Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    larkspan::PhoneBook book(QString::fromLatin1(larkspan::kDataFileName));
    larkspan::Form1 form(book, QCoreApplication::applicationDirPath());
    form.Form_Load();
    form.show();
    return app.exec();
}
