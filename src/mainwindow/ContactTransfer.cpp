// Dropping contact files on the Entry list and dragging an entry out of it as a vCard.
#include "mainwindow/ContactTransfer.h"

#include "common/ErrorReport.h"
#include "common/MessageBox.h"
#include "data/exchange/ContactImport.h"
#include "data/exchange/VCard.h"
#include "mainwindow/Form1.h"

#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

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

QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && !paths.contains(url.toLocalFile()))
            paths.append(url.toLocalFile());
    return paths;
}

QString quotedName(const QString &path)
{
    return QLatin1Char('"') + QFileInfo(path).fileName() + QLatin1Char('"');
}

} // namespace

ContactTransfer::ContactTransfer(Form1 &window) : QObject(&window), window_(window)
{
    setObjectName(QStringLiteral("ContactTransfer"));
}

ContactTransfer::~ContactTransfer() = default;

bool ContactTransfer::acceptsDrop(const QDropEvent &event) const
{
    // A row dragged back onto the list would only duplicate itself.
    if (importing_ || event.source() == window_.entryList())
        return false;
    return !localFiles(event.mimeData()).isEmpty();
}

void ContactTransfer::drop(const QDropEvent &event)
{
    const QStringList paths = localFiles(event.mimeData());
    if (!paths.isEmpty())
        QTimer::singleShot(0, this, [this, paths] { importFiles(paths); });
}

int ContactTransfer::importFiles(const QStringList &paths)
{
    if (importing_)
        return 0;
    const QScopedValueRollback<bool> busy(importing_, true);
    Procedure p(QStringLiteral("Form1.ListView1_OLEDragDrop"));

    std::vector<Contact> contacts;
    QStringList found;
    QStringList problems;
    p.step(100, [&] {
        for (const QString &path : paths) {
            ContactFile file = readContactFile(path, window_.legacyCodePage());
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
        return 0;

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
        return 0;

    EntryList &list = *window_.entryList();
    const int first = list.count();
    p.step(106, [&] {
        for (const Contact &contact : contacts)
            list.addEntry(PackedEntry(contact));
    });
    const int added = list.count() - first;
    // The whole list at once, reported as every other save of the main window is.
    window_.Save_It();
    if (added > 0)
        list.scrollTo(list.model()->index(first, 0), QAbstractItemView::PositionAtTop);
    return added;
}

QString ContactTransfer::cardFileName(const QString &contactName)
{
    QString name;
    for (const QChar c : contactName.simplified()) {
        // Slashes and NUL are refused by every file system here; the rest by those of other
        // systems the file may be copied to.
        if (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c))
            name.append(QLatin1Char('_'));
        else
            name.append(c);
    }
    // Neither a hidden file nor a name that ends in a dot or a space.
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    // A file name is at most 255 bytes; the name's UTF-8 is kept well below that.
    while (name.toUtf8().size() > 200)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("Contact");
    return name + QLatin1String(".vcf");
}

QUrl ContactTransfer::writeCardFile(const QString &contactName, const QByteArray &card)
{
    if (!dragFolder_)
        dragFolder_ =
            std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("larkspan-XXXXXX")));
    if (!dragFolder_->isValid())
        fail(dragFolder_->errorString());
    // A folder per drag: a file manager may still be copying the card of an earlier drag of a
    // contact with the same name.
    const QString folder = dragFolder_->filePath(QString::number(++drags_));
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("Could not create the folder \"%1\"").arg(folder));
    QFile file(QDir(folder).filePath(cardFileName(contactName)));
    if (!file.open(QIODevice::WriteOnly) || file.write(card) != card.size() || !file.flush())
        fail(file.errorString());
    file.close();
    return QUrl::fromLocalFile(file.fileName());
}

QMimeData *ContactTransfer::dragData(int row)
{
    Procedure p(QStringLiteral("Form1.ListView1_OLEStartDrag"));
    const Contact contact = window_.entryList()->store().at(row).toContact();
    const QByteArray card = encodeVCard(contact);
    auto *data = new QMimeData;
    data->setData(QLatin1String(kVCardMimeType), card);
    data->setData(QLatin1String(kLegacyVCardMimeType), card);
    // Without the file the card can still be dropped on address books that take the data.
    p.step(100, [&] { data->setUrls({writeCardFile(contact[Name], card)}); });
    return data;
}

void ContactTransfer::dragOut(int row)
{
    if (row < 0 || row >= window_.entryList()->count())
        return;
    auto *drag = new QDrag(window_.entryList());
    drag->setMimeData(dragData(row));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace larkspan
