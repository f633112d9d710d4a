#include "mainwindow/ImportFlow.h"

#include "common/ErrorReport.h"
#include "common/MessageBox.h"
#include "data/PhoneBook.h"
#include "data/exchange/ContactImport.h"

#include <QFileInfo>
#include <QScopedValueRollback>

#include <iterator>

namespace larkspan {

namespace {

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

} // namespace

ImportFlow::ImportFlow(PhoneBook &book, std::function<void()> saveList)
    : book_(book), saveList_(std::move(saveList))
{
}

ImportFlow::Added ImportFlow::importFiles(const QStringList &paths)
{
    Added added{book_.count(), 0};
    if (importing_)
        return added;
    const QScopedValueRollback<bool> busy(importing_, true);
    Procedure p(QStringLiteral("Form1.ListView1_OLEDragDrop"));

    std::vector<Contact> contacts;
    QStringList found;
    QStringList problems;
    p.step(100, [&] {
        for (const QString &path : paths) {
            ContactFile file = readContactFile(path, book_.legacyCodePage());
            const int count = int(file.found.contacts.size());
            if (!file.readable) {
                problems << QStringLiteral("%1 could not be read: %2.").arg(quotedName(path), file.error);
            } else if (file.kind == ContactFileKind::Unknown) {
                problems << QStringLiteral("%1 holds no contacts: it is not a vCard file, a CSV file with a "
                                           "header row, or a phone book like \"%2\".")
                                .arg(quotedName(path), QLatin1String(kDataFileName));
            } else if (count == 0 && file.found.unreadable > 0) {
                problems << QStringLiteral("%1 holds no contacts that could be read: %2.")
                                .arg(quotedName(path), unreadableText(file.kind, file.found.unreadable));
            } else if (count == 0) {
                problems << QStringLiteral("%1 holds no contacts.").arg(quotedName(path));
            } else {
                QString line = QStringLiteral("Found %1 in %2")
                                   .arg(counted(count, "contact", "contacts"), quotedName(path));
                if (file.found.unreadable > 0)
                    line += QStringLiteral("; ") + unreadableText(file.kind, file.found.unreadable);
                found << line + QLatin1Char('.');
                std::move(file.found.contacts.begin(), file.found.contacts.end(),
                          std::back_inserter(contacts));
            }
        }
    });
    if (!problems.isEmpty())
        p.step(102, [&] { MsgBox(problems.join(QLatin1Char('\n'))); });
    if (contacts.empty())
        return added;

    QMessageBox::StandardButton answer = QMessageBox::No;
    p.step(104, [&] {
        const QString question =
            contacts.size() == 1 ? QStringLiteral("Add this contact to the end of the list and save?")
                                 : QStringLiteral("Add these %1 contacts to the end of the list and save?")
                                       .arg(contacts.size());
        answer = MsgBox(found.join(QLatin1Char('\n')) + QLatin1String("\n\n") + question,
                        QMessageBox::Yes | QMessageBox::No);
    });
    if (answer != QMessageBox::Yes)
        return added;

    p.step(106, [&] { book_.append(contacts); });
    added.count = book_.count() - added.first;
    // The whole list at once, reported as every other save of the main window is.
    saveList_();
    return added;
}

} // namespace larkspan
