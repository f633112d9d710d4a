// Starts the phone book the way the program's main() does, in the folder given, and reports on
// standard output the moment its window is shown (the monotonic clock, in nanoseconds) and then
// the peak resident memory after one keystroke in the search box, so that the index the search
// builds counts too.
//
//   cardindex_startup_probe DATA_FOLDER APPLICATION_FOLDER
//
// Only the parent, which notes the time before starting this process, can see the time that
// passes before main(): loading the program and its libraries belongs to the start-up too.
#include "BenchSupport.h"
#include "data/PhoneBook.h"
#include "mainwindow/Form1.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc != 3 || ::chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: cardindex_startup_probe DATA_FOLDER APPLICATION_FOLDER\n");
        return 2;
    }
    larkspan::PhoneBook book(QString::fromLatin1(larkspan::kDataFileName));
    book.preload();
    QApplication app(argc, argv);
    larkspan::Form1 form(book, QString::fromLocal8Bit(argv[2]));
    form.Form_Load();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the main window was never shown\n");
        return 1;
    }
    QCoreApplication::processEvents();
    const int64_t shown = larkspan::bench::monotonicNs();

    auto *search = form.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
    if (!search) {
        std::fprintf(stderr, "no search box\n");
        return 1;
    }
    QTest::keyClick(search, 'q');
    QCoreApplication::processEvents();
    std::printf("shown %lld\npeak %ld\n", static_cast<long long>(shown), larkspan::bench::peakResidentKiB());
    std::fflush(stdout);
    // Tearing a million rows down is not part of any figure, and nothing is left to save.
    std::_Exit(0);
}
