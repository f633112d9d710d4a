#include "mainwindow/EntryList.h"

#include <QDropEvent>
#include <QHeaderView>

namespace larkspan {

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : store_.count();
}

int EntryListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kFieldCount;
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
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

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kFieldCount)
        return fieldHeader(fieldOfColumn(section));
    return {};
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

void EntryListModel::setText(int row, Field field, const QString &text)
{
    store_.setText(row, field, text);
    const int column = static_cast<int>(std::find(kColumnFields.begin(), kColumnFields.end(), field) -
                                        kColumnFields.begin());
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int EntryListModel::append(PackedEntry entry)
{
    const int row = store_.count();
    beginInsertRows({}, row, row);
    store_.append(std::move(entry));
    endInsertRows();
    return row;
}

void EntryListModel::remove(int row)
{
    beginRemoveRows({}, row, row);
    store_.remove(row);
    endRemoveRows();
}

void EntryListModel::replaceAll(std::vector<PackedEntry> rows)
{
    beginResetModel();
    store_.replaceAll(std::move(rows));
    endResetModel();
}

void EntryListModel::sortByName()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    store_.sortByName();
    // No persistent indexes are kept across a sort: the selection is set afresh by the caller.
    const QModelIndexList persistent = persistentIndexList();
    changePersistentIndexList(persistent, QModelIndexList(persistent.size()));
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

EntryList::EntryList(QWidget *parent) : QTreeView(parent), model_(new EntryListModel(this))
{
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setMouseTracking(true);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!selectingFromCode_ && selectedRow() >= 0)
            emit itemClick(selectedRow());
    });
    // A click on the row that is already selected loads it again, as a first click would.
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid() && index.row() == selectedRow())
            emit itemClick(index.row());
    });
}

void EntryList::addColumns(const std::vector<int> &widths)
{
    columns_ = static_cast<int>(widths.size());
    for (int column = 0; column < columns_; ++column)
        header()->resizeSection(column, widths[static_cast<size_t>(column)]);
}

int EntryList::add(const QString &text)
{
    PackedEntry entry;
    entry.setText(Name, text);
    return model_->append(std::move(entry));
}

void EntryList::remove(int row)
{
    model_->remove(row);
}

void EntryList::replaceAll(std::vector<PackedEntry> rows)
{
    model_->replaceAll(std::move(rows));
    sorted_ = false;
}

int EntryList::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void EntryList::select(int row)
{
    selectingFromCode_ = true;
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selectingFromCode_ = false;
}

void EntryList::clearSelection()
{
    selectingFromCode_ = true;
    selectionModel()->clearSelection();
    selectingFromCode_ = false;
}

void EntryList::sortByName()
{
    selectingFromCode_ = true;
    model_->sortByName();
    selectingFromCode_ = false;
    sorted_ = true;
}

void EntryList::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    // Selecting from code (search, sort, delete) moves the selection, never the list.
    if (!selectingFromCode_)
        QTreeView::scrollTo(index, hint);
}

void EntryList::setDragHandler(EntryDragHandler *handler)
{
    dragHandler_ = handler;
    setDragEnabled(handler != nullptr);
    viewport()->setAcceptDrops(handler != nullptr);
    setDropIndicatorShown(false);
}

void EntryList::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void EntryList::dragMoveEvent(QDragMoveEvent *event)
{
    // Always a copy: a file manager must never delete a file it thinks was moved here.
    if (dragHandler_ && dragHandler_->acceptsDrop(*event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void EntryList::dropEvent(QDropEvent *event)
{
    if (!dragHandler_ || !dragHandler_->acceptsDrop(*event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    dragHandler_->drop(*event);
}

void EntryList::startDrag(Qt::DropActions)
{
    if (dragHandler_ && selectedRow() >= 0)
        dragHandler_->dragOut(selectedRow());
}

} // namespace larkspan
