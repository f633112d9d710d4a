// Helper of the crash test: loads two data files and saves their entries in turn over DATA-FILE,
// over and over, until it is killed. The test says which goes first, so that every finished
// save changes the file. Prints "ready" once both are loaded and "saved" after every save, and
// exits with status 1 if a save fails.
#include "data/NumbersFile.h"

#include <cstdio>
#include <cstring>

using namespace larkspan;

int main(int argc, char **argv)
{
    if (argc != 5 || (std::strcmp(argv[4], "first") != 0 && std::strcmp(argv[4], "second") != 0)) {
        std::fprintf(stderr, "usage: %s DATA-FILE FIRST-LIST SECOND-LIST first|second\n", argv[0]);
        return 2;
    }
    std::vector<PackedEntry> lists[2];
    for (int which = 0; which < 2; ++which) {
        const FileBytes file = readWholeFile(QString::fromLocal8Bit(argv[2 + which]));
        if (!file.ok) {
            std::fprintf(stderr, "%s: %s\n", argv[2 + which], qPrintable(file.error));
            return 2;
        }
        lists[which] = parseNumbersFile(file.bytes, LegacyCodePage::Windows1252).entries;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const unsigned long start = std::strcmp(argv[4], "second") == 0 ? 1 : 0;

    std::puts("ready");
    std::fflush(stdout);
    for (unsigned long round = 0;; ++round) {
        const SaveResult result = saveNumbersFile(path, lists[(start + round) % 2]);
        if (!result.ok) {
            std::fprintf(stderr, "save %lu failed: %s\n", round, qPrintable(result.error));
            return 1;
        }
        std::puts("saved");
        std::fflush(stdout);
    }
}
