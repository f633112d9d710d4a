#include "mainwindow/ImportFlow.h"

#include "common/ErrorReport.h"
#include "common/MessageBox.h"
#include "data/PhoneBook.h"
#include "data/exchange/ContactDrop.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>

namespace larkspan {

namespace {

int progressDelayMs = 500;
constexpr int kStepsPerFile = 1000;
std::function<void()> beforeReading;

QString counted(qsizetype count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

// "3 cards could not be read", in the words of the file's kind.
QString unreadableText(ContactFileKind kind, int count)
{
    const bool one = count == 1;
    const char *what = kind == ContactFileKind::VCard ? (one ? "card" : "cards")
                       : kind == ContactFileKind::Csv ? (one ? "row" : "rows")
                                                      : (one ? "record" : "records");
    return QStringLiteral("%1 %2 could not be read").arg(count).arg(QLatin1String(what));
}

QString quotedName(const QString &path)
{
    return QLatin1Char('"') + QFileInfo(path).fileName() + QLatin1Char('"');
}

// Why a file gave nothing to add; empty when it holds contacts.
QString problemOf(const DroppedFile &dropped)
{
    const ContactFile &file = dropped.file;
    if (!file.readable)
        return QStringLiteral("%1 could not be read: %2.").arg(quotedName(dropped.path), file.error);
    if (file.kind == ContactFileKind::Unknown)
        return QStringLiteral("%1 holds no contacts: it is not a vCard file, a CSV file with a "
                              "header row, or a phone book like \"%2\".")
            .arg(quotedName(dropped.path), QLatin1String(kDataFileName));
    if (dropped.found == 0 && file.found.unreadable > 0)
        return QStringLiteral("%1 holds no contacts that could be read: %2.")
            .arg(quotedName(dropped.path), unreadableText(file.kind, file.found.unreadable));
    if (dropped.found == 0)
        return QStringLiteral("%1 holds no contacts.").arg(quotedName(dropped.path));
    return {};
}

// "1 was already in the list", "3 were already in the list".
QString wereText(int count, const char *what)
{
    return QStringLiteral("%1 %2 %3")
        .arg(count)
        .arg(QLatin1String(count == 1 ? "was" : "were"), QLatin1String(what));
}

// "Found 4 contacts in "a.vcf"; 1 card could not be read; 2 were already in the list."
QString foundLine(const DroppedFile &dropped)
{
    const ImportedContacts &found = dropped.file.found;
    QStringList parts{QStringLiteral("Found %1 in %2")
                          .arg(counted(dropped.found, "contact", "contacts"), quotedName(dropped.path))};
    if (found.unreadable > 0)
        parts << unreadableText(dropped.file.kind, found.unreadable);
    if (found.unreadableLines > 0)
        parts << counted(found.unreadableLines, "line", "lines") + QStringLiteral(" could not be read");
    if (!found.encoding.isEmpty())
        parts << QStringLiteral("read as ") + found.encoding;
    if (dropped.inList > 0)
        parts << wereText(dropped.inList, "already in the list");
    if (dropped.repeated > 0)
        parts << wereText(dropped.repeated, "found earlier in the drop");
    return parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}

void showProgress(QProgressDialog &dialog, const DropProgress &progress, const QStringList &paths)
{
    const int read = progress.filesRead;
    if (progress.checking)
        dialog.setLabelText(QStringLiteral("Looking for contacts the list holds already…"));
    else
        dialog.setLabelText(QStringLiteral("Reading %1 (file %2 of %3)…")
                                .arg(quotedName(paths[std::min(read, int(paths.size()) - 1)]))
                                .arg(std::min(read + 1, int(paths.size())))
                                .arg(paths.size()));
    // Each file is a thousand steps, filled as its reader goes; the check is the last thousand.
    int value = (read + (progress.checking ? 1 : 0)) * kStepsPerFile;
    const qint64 total = progress.fileTotal;
    if (!progress.checking && total > 0)
        value += int(progress.fileDone * kStepsPerFile / total);
    dialog.setValue(std::min(value, dialog.maximum()));
}

} // namespace

ImportFlow::ImportFlow(PhoneBook &book, QWidget *window, std::function<void()> saveList)
    : book_(book), window_(window), saveList_(std::move(saveList))
{
}

void ImportFlow::setProgressSeams(int delayMs, std::function<void()> beforeRead)
{
    progressDelayMs = delayMs;
    beforeReading = std::move(beforeRead);
}

bool ImportFlow::readFiles(const QStringList &paths, DropContents &drop)
{
    DropProgress progress;
    // The list as it is now, for the reading thread: the copy shares the entries' storage.
    const std::vector<PackedEntry> list = book_.model().store().rows();
    const LegacyCodePage codePage = book_.legacyCodePage();
    std::exception_ptr failure;

    // The window goes on painting while the files are read; the loop ends when the reading
    // thread is done (its message is taken only once the loop runs).
    QEventLoop loop;
    std::thread reader([&] {
        try {
            if (beforeReading)
                beforeReading();
            drop = readDrop(paths, codePage, list, progress);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });

    std::unique_ptr<QProgressDialog> dialog;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (!dialog) {
            dialog = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0,
                                                       (int(paths.size()) + 1) * kStepsPerFile, window_);
            dialog->setObjectName(QStringLiteral("importProgress"));
            dialog->setWindowTitle(QStringLiteral("Adding Contacts"));
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            dialog->setMinimumDuration(0);
            QObject::connect(dialog.get(), &QProgressDialog::canceled,
                             [&progress] { progress.cancel = true; });
            ticks.setInterval(50);
            dialog->show();
        }
        if (!progress.cancel)
            showProgress(*dialog, progress, paths);
    });
    ticks.start(progressDelayMs);
    loop.exec();
    reader.join();
    ticks.stop();
    dialog.reset();
    if (failure)
        std::rethrow_exception(failure);
    return !(drop.cancelled || progress.cancel);
}

ImportFlow::Added ImportFlow::importFiles(const QStringList &paths)
{
    Added added{book_.count(), 0};
    if (importing_ || paths.isEmpty())
        return added;
    const QScopedValueRollback<bool> busy(importing_, true);
    Procedure p(QStringLiteral("Form1.ListView1_OLEDragDrop"));

    DropContents drop;
    bool read = false;
    p.step(100, [&] { read = readFiles(paths, drop); });
    if (!read)
        return added; // cancelled, or reported

    QStringList found;
    QStringList problems;
    for (const DroppedFile &dropped : drop.files) {
        const QString problem = problemOf(dropped);
        if (problem.isEmpty())
            found << foundLine(dropped);
        else
            problems << problem;
    }
    if (!problems.isEmpty())
        p.step(102, [&] { MsgBox(problems.join(QLatin1Char('\n'))); });
    if (found.isEmpty())
        return added;
    if (drop.added.empty()) {
        p.step(103, [&] {
            MsgBox(
                found.join(QLatin1Char('\n')) +
                QStringLiteral("\n\nThe list holds every one of these contacts already; nothing was added."));
        });
        return added;
    }

    QMessageBox::StandardButton answer = QMessageBox::No;
    p.step(104, [&] {
        const QString question =
            drop.added.size() == 1 ? QStringLiteral("Add this contact to the end of the list and save?")
                                   : QStringLiteral("Add these %1 contacts to the end of the list and save?")
                                         .arg(drop.added.size());
        answer = MsgBox(found.join(QLatin1Char('\n')) + QLatin1String("\n\n") + question,
                        QMessageBox::Yes | QMessageBox::No);
    });
    if (answer != QMessageBox::Yes)
        return added;

    p.step(106, [&] { book_.appendEntries(std::move(drop.added)); });
    added.count = book_.count() - added.first;
    // The whole list at once, reported as every other save of the main window is.
    saveList_();
    return added;
}

} // namespace larkspan
