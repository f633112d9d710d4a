#include "data/EntryModel.h"

#include "data/exchange/VCard.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

namespace larkspan {

namespace {

// Marks the data of a drag that started on this list: dropped back, it would only duplicate
// its own row.
constexpr char kOwnRowMimeType[] = "application/x-larkspan-cardindex-row";
constexpr char kUriListMimeType[] = "text/uri-list";

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

} // namespace

EntryModel::EntryModel(QObject *parent) : QAbstractTableModel(parent) {}

EntryModel::~EntryModel() = default;

int EntryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : store_.count();
}

int EntryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kFieldCount;
}

QVariant EntryModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    QString text = store_.text(index.row(), fieldOfColumn(index.column()));
    // A row is one line high: a multi-line comment shows its lines side by side. Only the start
    // of a huge value is shown; laying out megabytes of text would stall the list.
    constexpr qsizetype kShownCharacters = 1000;
    if (text.size() > kShownCharacters)
        text.truncate(kShownCharacters);
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QVariant EntryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kFieldCount)
        return fieldHeader(fieldOfColumn(section));
    return {};
}

Qt::ItemFlags EntryModel::flags(const QModelIndex &index) const
{
    // Files may be dropped anywhere on the list, on a row or below the last one.
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index) | Qt::ItemIsDropEnabled;
    return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

void EntryModel::setText(int row, Field field, const QString &text)
{
    store_.setText(row, field, text);
    const QModelIndex cell = index(row, columnOfField(field));
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int EntryModel::append(std::vector<PackedEntry> entries)
{
    const int first = store_.count();
    if (entries.empty())
        return first;
    beginInsertRows({}, first, first + static_cast<int>(entries.size()) - 1);
    store_.append(std::move(entries));
    endInsertRows();
    return first;
}

void EntryModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    store_.remove(row);
    endRemoveRows();
}

void EntryModel::replaceAll(std::vector<PackedEntry> rows, bool inNameOrder)
{
    beginResetModel();
    store_.replaceAll(std::move(rows), inNameOrder);
    endResetModel();
}

void EntryModel::replaceMerged(std::vector<PackedEntry> rows, const std::vector<int> &rowOfOld)
{
    replaceAll(std::move(rows));
    emit entriesMerged(rowOfOld);
}

void EntryModel::sortByName()
{
    if (store_.inNameOrder())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    store_.sortByName();
    // No persistent indexes are kept across a sort: the selection is set afresh by the caller.
    const QModelIndexList persistent = persistentIndexList();
    changePersistentIndexList(persistent, QModelIndexList(persistent.size()));
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QStringList EntryModel::mimeTypes() const
{
    return {QLatin1String(kVCardMimeType), QLatin1String(kLegacyVCardMimeType),
            QLatin1String(kUriListMimeType)};
}

QMimeData *EntryModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty() || !indexes.first().isValid())
        return nullptr;
    const Contact contact = store_.at(indexes.first().row()).toContact();
    const QByteArray card = encodeVCard(contact);
    auto *data = new QMimeData;
    data->setData(QLatin1String(kVCardMimeType), card);
    data->setData(QLatin1String(kLegacyVCardMimeType), card);
    data->setData(QLatin1String(kOwnRowMimeType), QByteArray());
    const QString file = writeCardFile(contact[Name], card);
    if (!file.isEmpty())
        data->setUrls({QUrl::fromLocalFile(file)});
    return data;
}

QString EntryModel::writeCardFile(const QString &contactName, const QByteArray &card) const
{
    if (!dragFolder_)
        dragFolder_ =
            std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("larkspan-XXXXXX")));
    if (!dragFolder_->isValid()) {
        emit cardFileFailed(dragFolder_->errorString());
        return {};
    }
    // A folder per drag: a file manager may still be copying the card of an earlier drag of a
    // contact with the same name.
    const QString folder = dragFolder_->filePath(QString::number(++drags_));
    if (!QDir().mkpath(folder)) {
        emit cardFileFailed(QStringLiteral("Could not create the folder \"%1\"").arg(folder));
        return {};
    }
    QFile file(QDir(folder).filePath(cardFileName(contactName)));
    if (!file.open(QIODevice::WriteOnly) || file.write(card) != card.size() || !file.flush()) {
        emit cardFileFailed(file.errorString());
        return {};
    }
    return file.fileName();
}

bool EntryModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                 const QModelIndex &) const
{
    return action == Qt::CopyAction && data && !data->hasFormat(QLatin1String(kOwnRowMimeType)) &&
           !localFiles(data).isEmpty();
}

bool EntryModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                              const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    emit filesDropped(localFiles(data));
    return true;
}

QString EntryModel::cardFileName(const QString &contactName)
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

} // namespace larkspan
