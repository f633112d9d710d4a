// Times the figures of one phone book, each in the same run as its floor, and prints one line
// per figure on standard output: `name N value unit ratio`. Progress goes to standard error.
//
//   cardindex_bench FOLDER [RUNS]
//
// FOLDER holds "Numbers.dat" and "addressbook" as make_numbers.py writes them; scratch files go
// to FOLDER/work. Every figure is the median of RUNS runs (5 unless given), a keystroke of three
// times as many. Runs of a figure and of its floor take turns, so that a slow moment of the
// machine hits both alike.
#include "BenchSupport.h"
#include "data/NumbersFile.h"
#include "data/PhoneBook.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>
#include <optional>
#include <random>
#include <unistd.h>

namespace larkspan::bench {

namespace {

// The time budgets of the figures that have one rather than a floor, in milliseconds.
constexpr double kKeystrokeBudgetMs = 2;
constexpr double kSortBudgetMs = 150;

void progress(const char *what)
{
    std::fprintf(stderr, "  %s\n", what);
}

struct ProbeRun
{
    double startupMs = 0;
    long peakKiB = 0;
};

class Bench
{
public:
    Bench(const QString &folder, int runs)
        : folder_(QDir(folder).absolutePath()), work_(folder_ + QStringLiteral("/work")), runs_(runs),
          codePage_(legacyCodePageFor(QLocale()))
    {
    }

    int run();

private:
    QString dataFile() const { return folder_ + QStringLiteral("/Numbers.dat"); }
    void report(const char *name, double value, const char *unit, double ratio);

    std::optional<ProbeRun> probe(const QString &dataFolder);
    bool startup();
    bool peer();
    bool load();
    bool save();
    bool window();

    double loadInto(PhoneBook &book);

    QString folder_;
    QString work_;
    int runs_;
    LegacyCodePage codePage_;
    long long count_ = 0;
    qint64 fileSize_ = 0;
};

void Bench::report(const char *name, double value, const char *unit, double ratio)
{
    std::printf("%s\n",
                figureLine(QLatin1String(name), count_, value, QLatin1String(unit), ratio).constData());
    std::fflush(stdout);
}

int Bench::run()
{
    const long long lines = readAndSplitLines(dataFile());
    if (lines < 0) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(dataFile()));
        return 2;
    }
    count_ = lines / kFieldCount;
    fileSize_ = QFileInfo(dataFile()).size();
    QDir(work_).removeRecursively();
    QDir().mkpath(work_);
    std::fprintf(stderr, "%lld entries, %lld bytes\n", count_, static_cast<long long>(fileSize_));

    // The child processes first, while this one is small and quick to fork.
    const bool ok = startup() && peer() && load() && save() && window();
    QDir(work_).removeRecursively();
    return ok ? 0 : 1;
}

// One fresh start of the program on the "Numbers.dat" in `dataFolder`.
std::optional<ProbeRun> Bench::probe(const QString &dataFolder)
{
    QProcess child;
    child.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/cardindex_startup_probe"));
    child.setArguments({dataFolder, QStringLiteral(CARDINDEX_APP_FOLDER)});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const int64_t started = monotonicNs();
    child.start();
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "the start-up probe failed: %s\n", qPrintable(child.errorString()));
        return std::nullopt;
    }
    ProbeRun run;
    bool shown = false;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() != 2)
            continue;
        if (words[0] == "shown") {
            run.startupMs = double(words[1].toLongLong() - started) / 1e6;
            shown = true;
        } else if (words[0] == "peak") {
            run.peakKiB = words[1].toLong();
        }
    }
    if (!shown || run.peakKiB <= 0) {
        std::fprintf(stderr, "the start-up probe reported nothing\n");
        return std::nullopt;
    }
    return run;
}

bool Bench::startup()
{
    progress("start-up and memory");
    // An existing empty file: the program starts with no entries and has nothing to save.
    const QString empty = work_ + QStringLiteral("/empty");
    QDir().mkpath(empty);
    QFile emptyFile(empty + QStringLiteral("/Numbers.dat"));
    if (!emptyFile.open(QIODevice::WriteOnly))
        return false;
    emptyFile.close();

    // The same entries as the program leaves them: it sorts on loading, so a file it saved is in
    // order unless entries were added afterwards.
    const QString saved = work_ + QStringLiteral("/saved");
    QDir().mkpath(saved);
    {
        PhoneBook book(dataFile());
        loadInto(book);
        book.sort();
        if (!saveNumbersFile(saved + QStringLiteral("/Numbers.dat"), book.model().store().rows()).ok)
            return false;
    }

    std::vector<double> emptyMs, fullMs, savedMs, emptyPeak, fullPeak;
    // A first start of each warms the file cache and the shared libraries.
    if (!probe(empty) || !probe(folder_) || !probe(saved))
        return false;
    for (int i = 0; i < runs_; ++i) {
        const std::optional<ProbeRun> bare = probe(empty);
        const std::optional<ProbeRun> full = probe(folder_);
        const std::optional<ProbeRun> inOrder = probe(saved);
        if (!bare || !full || !inOrder)
            return false;
        emptyMs.push_back(bare->startupMs);
        fullMs.push_back(full->startupMs);
        savedMs.push_back(inOrder->startupMs);
        emptyPeak.push_back(double(bare->peakKiB));
        fullPeak.push_back(double(full->peakKiB));
    }
    const double emptyStart = median(emptyMs);
    report("startup_empty", emptyStart, "ms", 1);
    report("startup", median(fullMs), "ms", median(fullMs) / emptyStart);
    report("startup_saved", median(savedMs), "ms", median(savedMs) / emptyStart);
    const double aboveKiB = median(fullPeak) - median(emptyPeak);
    report("memory", aboveKiB / 1024, "MiB", aboveKiB * 1024 / double(fileSize_));
    return true;
}

double Bench::loadInto(PhoneBook &book)
{
    // The program's own loading, short of the window: read, split, hand the rows over.
    book.setLegacyCodePage(codePage_);
    return timeMs([&] {
        const LoadResult loaded = book.load();
        if (!loaded.ok)
            qFatal("cannot read %s: %s", qPrintable(book.path()), qPrintable(loaded.error));
    });
}

bool Bench::peer()
{
    const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
    if (abook.isEmpty()) {
        std::fprintf(stderr, "abook is not installed: no comparison with it\n");
        return true;
    }
    progress("abook against load and save");
    const QString home = work_ + QStringLiteral("/home");
    const QString ours = work_ + QStringLiteral("/peer");
    QDir().mkpath(home);
    QDir().mkpath(ours);
    const QString csv = work_ + QStringLiteral("/abook.csv");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // abook reads no settings of the user's: the conversion is the same on every machine.
    environment.insert(QStringLiteral("HOME"), home);

    auto runAbook = [&]() -> double {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList arguments{QStringLiteral("--convert"),
                                    QStringLiteral("--informat"),
                                    QStringLiteral("abook"),
                                    QStringLiteral("--infile"),
                                    folder_ + QStringLiteral("/addressbook"),
                                    QStringLiteral("--outformat"),
                                    QStringLiteral("csv"),
                                    QStringLiteral("--outfile"),
                                    csv};
        // abook will not overwrite a file.
        QFile::remove(csv);
        const double ms = timeMs([&] {
            child.start(abook, arguments);
            child.waitForFinished(-1);
        });
        return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 ? ms : -1;
    };
    auto runOurs = [&]() -> double {
        PhoneBook book(dataFile());
        return timeMs([&] {
            loadInto(book);
            const SaveResult saved =
                saveNumbersFile(ours + QStringLiteral("/Numbers.dat"), book.model().store().rows());
            if (!saved.ok)
                qFatal("saving failed: %s", qPrintable(saved.error));
        });
    };

    if (runAbook() < 0) {
        std::fprintf(stderr, "abook failed to convert its file\n");
        return false;
    }
    FileBytes converted = readWholeFile(csv);
    if (converted.bytes.count('\n') != count_) {
        std::fprintf(stderr, "abook wrote %lld rows for %lld contacts\n",
                     static_cast<long long>(converted.bytes.count('\n')), count_);
        return false;
    }
    runOurs();
    std::vector<double> theirs, ourTimes;
    for (int i = 0; i < runs_; ++i) {
        theirs.push_back(runAbook());
        ourTimes.push_back(runOurs());
        if (theirs.back() < 0) {
            std::fprintf(stderr, "abook failed to convert its file\n");
            return false;
        }
    }
    report("peer_abook", median(theirs), "ms", 1);
    report("peer", median(ourTimes), "ms", median(theirs) / median(ourTimes));
    return true;
}

bool Bench::load()
{
    progress("load");
    std::vector<double> floors, loads;
    for (int i = 0; i <= runs_; ++i) {
        long long lines = 0;
        const double floor = timeMs([&] { lines = readAndSplitLines(dataFile()); });
        PhoneBook book(dataFile());
        const double loaded = loadInto(book);
        if (book.count() != count_ || lines != count_ * kFieldCount) {
            std::fprintf(stderr, "loaded %d rows of %lld\n", book.count(), count_);
            return false;
        }
        if (i == 0)
            continue; // warming the file cache
        floors.push_back(floor);
        loads.push_back(loaded);
    }
    report("load_floor", median(floors), "ms", 1);
    report("load", median(loads), "ms", median(loads) / median(floors));
    return true;
}

bool Bench::save()
{
    progress("save");
    PhoneBook book(dataFile());
    loadInto(book);
    const std::vector<PackedEntry> &rows = book.model().store().rows();
    const QByteArray bytes = encodeEntries(rows);
    const QString saved = work_ + QStringLiteral("/Numbers.dat");
    const QString floorFile = work_ + QStringLiteral("/floor.dat");
    // The phone book's own save, on a file of its own: the check for other writers (a stat when
    // nothing changed) and the record of the file it wrote, on top of the plain save.
    const QString checkedFile = work_ + QStringLiteral("/checked.dat");
    if (!saveNumbersFile(checkedFile, rows).ok)
        return false;
    PhoneBook checked(checkedFile);
    checked.setLegacyCodePage(codePage_);
    if (!checked.load().ok)
        return false;
    std::vector<double> floors, saves, checkedSaves;
    for (int i = 0; i <= runs_; ++i) {
        bool floorOk = false;
        const double floor = timeMs([&] { floorOk = writeSyncRename(floorFile, bytes); });
        SaveResult result;
        const double save = timeMs([&] { result = saveNumbersFile(saved, rows); });
        BookSave checkedResult;
        const double checkedSave = timeMs([&] { checkedResult = checked.save(); });
        if (!floorOk || !result.ok || !checkedResult.ok || !checkedResult.otherWriter.isEmpty()) {
            std::fprintf(stderr, "writing failed: %s%s\n", qPrintable(result.error),
                         qPrintable(checkedResult.error));
            return false;
        }
        if (i == 0)
            continue; // the first write creates the files
        floors.push_back(floor);
        saves.push_back(save);
        checkedSaves.push_back(checkedSave);
    }
    // A load and a save must give back the very bytes the generator wrote.
    if (readWholeFile(saved).bytes != readWholeFile(dataFile()).bytes) {
        std::fprintf(stderr, "the saved file differs from the one loaded\n");
        return false;
    }
    report("save_floor", median(floors), "ms", 1);
    report("save", median(saves), "ms", median(saves) / median(floors));
    report("save_checked", median(checkedSaves), "ms", median(checkedSaves) / median(floors));
    return true;
}

bool Bench::window()
{
    progress("search and sort on the main window");
    if (::chdir(QFile::encodeName(folder_).constData()) != 0)
        return false;
    PhoneBook book(QString::fromLatin1(kDataFileName));
    book.setLegacyCodePage(codePage_);
    Form1 form(book, QStringLiteral(CARDINDEX_APP_FOLDER));
    form.Form_Load();
    form.show();
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form))
        std::fprintf(stderr, "the main window did not become active\n");
    auto *search = form.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
    EntryList *list = form.entryList();
    if (!search || book.count() != count_)
        return false;

    // One keystroke: the search, the selection, and the edit fields emptied and filled, all done
    // before the key event returns. The repaint that follows is timed on its own.
    std::vector<double> repaints;
    auto keystroke = [&](const QString &text) {
        const double handled =
            timeMs([&] { QTest::sendKeyEvent(QTest::Click, search, Qt::Key_unknown, text, Qt::NoModifier); });
        repaints.push_back(timeMs([] { QCoreApplication::processEvents(); }));
        return handled;
    };
    auto backspace = [&] {
        QTest::keyClick(search, Qt::Key_Backspace);
        QCoreApplication::processEvents();
    };
    const int keystrokes = 3 * runs_;

    // Nothing contains "qxz" or "qxzj": every name is looked at.
    const QString nowhere = QStringLiteral("qxz");
    if (book.find(nowhere + QLatin1Char('j')) != -1)
        return false;
    search->setText(nowhere);
    QCoreApplication::processEvents();
    std::vector<double> misses;
    for (int i = 0; i < keystrokes; ++i) {
        misses.push_back(keystroke(QStringLiteral("j")));
        if (list->selectedRow() != -1)
            return false;
        backspace();
    }
    report("search_nomatch", median(misses), "ms", median(misses) / kKeystrokeBudgetMs);

    // The last name in the list that no earlier name contains: its last letter finds it only
    // after almost every name has been looked at.
    int target = -1;
    QString name;
    for (int row = book.count() - 1; row >= 0 && target < 0; --row) {
        name = book.text(row, Name);
        if (name.size() >= 2 && book.find(name) == row)
            target = row;
    }
    if (target < 0)
        return false;
    std::vector<double> hits;
    for (int i = 0; i < keystrokes; ++i) {
        search->setText(name.chopped(1));
        QCoreApplication::processEvents();
        hits.push_back(keystroke(name.right(1)));
        if (list->selectedRow() != target || form.editText(Name) != name)
            return false;
    }
    std::fprintf(stderr, "  late match: row %d of %d\n", target + 1, book.count());
    report("search_late", median(hits), "ms", median(hits) / kKeystrokeBudgetMs);
    report("search_repaint", median(repaints), "ms", median(repaints) / kKeystrokeBudgetMs);

    std::vector<double> sorts;
    std::mt19937 shuffler(20240607);
    for (int i = 0; i < runs_; ++i) {
        std::vector<PackedEntry> rows = book.model().store().rows();
        std::shuffle(rows.begin(), rows.end(), shuffler);
        book.model().replaceAll(std::move(rows));
        QCoreApplication::processEvents();
        sorts.push_back(timeMs([&] {
            form.Sort_it();
            QCoreApplication::processEvents();
        }));
    }
    report("sort", median(sorts), "ms", median(sorts) / kSortBudgetMs);
    return true;
}

} // namespace

} // namespace larkspan::bench

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int runs = arguments.size() > 2 ? arguments[2].toInt() : 5;
    if (arguments.size() < 2 || arguments.size() > 3 || runs < 1) {
        std::fprintf(stderr, "usage: cardindex_bench FOLDER [RUNS]\n");
        return 2;
    }
    return larkspan::bench::Bench(arguments[1], runs).run();
}
