// Helper of tests/scripts/test_save_ownership.sh: replaces DATA-FILE once with TEXT and a CR LF,
// through the program's atomic replace, so that the script can save as any user and in any pid
// namespace. With "hold" it stops once its temporary file exists and is locked, prints
// "holding <pid>" and waits for a line on its standard input before it writes, so that the
// script can run other saves or kill it mid-save. Prints "saved", or the error and exits 1.
#include "data/AtomicFile.h"

#include <QIODevice>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace larkspan;

int main(int argc, char **argv)
{
    const bool hold = argc == 4 && std::strcmp(argv[3], "hold") == 0;
    if (argc != 3 && !hold) {
        std::fprintf(stderr, "usage: %s DATA-FILE TEXT [hold]\n", argv[0]);
        return 2;
    }
    const QByteArray text = QByteArray(argv[2]) + "\r\n";
    const SaveResult result =
        replaceFile(QString::fromLocal8Bit(argv[1]), [&](QIODevice &out, QString *error) {
            if (hold) {
                std::printf("holding %d\n", int(::getpid()));
                std::fflush(stdout);
                char line[16];
                if (!std::fgets(line, sizeof line, stdin)) {
                    *error = QStringLiteral("no go-ahead on standard input");
                    return false;
                }
            }
            if (out.write(text) == text.size())
                return true;
            *error = out.errorString();
            return false;
        });
    if (!result.ok) {
        std::printf("failed: %s\n", qPrintable(result.error));
        return 1;
    }
    std::puts("saved");
    return 0;
}
