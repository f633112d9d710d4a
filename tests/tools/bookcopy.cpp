// A copy of the program's phone book in a process of its own, for the tests of two copies on one
// folder: it loads DATA-FILE and then takes commands, one a line, from its input:
//   add NAME        appends an entry named NAME
//   remove NAME     removes the first entry named NAME
//   save            saves; prints "saved", with what came from another writer on the same line,
//                   or "save failed:" and why
//   burst N PREFIX  N times: appends "PREFIX i" and saves
// Prints "unreadable:" and why when the load fails, then "ready", and "ok" after every command.
#include "data/PhoneBook.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

using namespace larkspan;

namespace {

bool save(PhoneBook &book)
{
    const BookSave saved = book.save();
    if (!saved.ok) {
        std::printf("save failed: %s\n", qPrintable(saved.error));
        return false;
    }
    std::printf("saved %s\n",
                qPrintable(QString(saved.otherWriter).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return true;
}

Contact named(const QString &name)
{
    Contact contact;
    contact[Name] = name;
    return contact;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATA-FILE\n", argv[0]);
        return 2;
    }
    PhoneBook book(QString::fromLocal8Bit(argv[1]));
    if (!book.fileMissing()) {
        const LoadResult loaded = book.load();
        if (!loaded.ok)
            std::printf("unreadable: %s\n", qPrintable(loaded.error));
    }
    std::puts("ready");
    std::fflush(stdout);
    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line)) {
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1);
        if (command == QLatin1String("add")) {
            book.append(named(rest));
        } else if (command == QLatin1String("remove")) {
            for (int row = 0; row < book.count(); ++row) {
                if (book.text(row, Name) == rest) {
                    book.remove(row);
                    break;
                }
            }
        } else if (command == QLatin1String("save")) {
            save(book);
        } else if (command == QLatin1String("burst")) {
            const int times = rest.section(QLatin1Char(' '), 0, 0).toInt();
            const QString prefix = rest.section(QLatin1Char(' '), 1);
            for (int i = 0; i < times; ++i) {
                book.append(named(QStringLiteral("%1 %2").arg(prefix).arg(i)));
                if (!save(book))
                    break;
            }
        }
        std::puts("ok");
        std::fflush(stdout);
    }
    return 0;
}
