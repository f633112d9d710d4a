// Larkspan Card Index: a phone book kept in "Numbers.dat" in the current folder.
#include "mainwindow/Form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    larkspan::Form1 form(QCoreApplication::applicationDirPath());
    form.Form_Load();
    form.show();
    return app.exec();
}
