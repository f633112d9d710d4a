#include "mainwindow/EntryList.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScopedValueRollback>

namespace larkspan {

namespace {

// A file manager offers copy and move; taking a move would let it delete the dropped file.
void askForCopy(QDropEvent *event)
{
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
}

} // namespace

EntryList::EntryList(QWidget *parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setMouseTracking(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setDropIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // A click on the row that is already selected loads it again, as a first click would.
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid() && index.row() == selectedRow())
            emit itemClick(index.row());
    });
}

void EntryList::setModel(QAbstractItemModel *model)
{
    QTreeView::setModel(model);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!selectingFromCode_ && selectedRow() >= 0)
            emit itemClick(selectedRow());
        emit selectionMoved(selectedRow());
    });
    // A reset drops the selection without a selectionChanged; removing the selected row may too.
    const auto moved = [this] { emit selectionMoved(selectedRow()); };
    connect(model, &QAbstractItemModel::modelReset, this, moved);
    connect(model, &QAbstractItemModel::rowsRemoved, this, moved);
    connect(model, &QAbstractItemModel::layoutChanged, this, moved);
}

void EntryList::setColumnWidths(const std::vector<int> &widths)
{
    for (size_t column = 0; column < widths.size(); ++column)
        header()->resizeSection(static_cast<int>(column), widths[column]);
}

int EntryList::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void EntryList::select(int row)
{
    const QScopedValueRollback<bool> fromCode(selectingFromCode_, true);
    selectionModel()->setCurrentIndex(model()->index(row, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void EntryList::clearSelection()
{
    const QScopedValueRollback<bool> fromCode(selectingFromCode_, true);
    selectionModel()->clearSelection();
}

void EntryList::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    // Selecting from code (search, sort, delete) moves the selection, never the list.
    if (!selectingFromCode_)
        QTreeView::scrollTo(index, hint);
}

void EntryList::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("EntryListMenu"));
    connect(menu.addAction(QStringLiteral("Export All Entries...")), &QAction::triggered, this,
            &EntryList::exportAllRequested);
    menu.exec(event->globalPos());
}

void EntryList::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Delete)) {
        event->accept();
        emit deleteRequested();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void EntryList::dragEnterEvent(QDragEnterEvent *event)
{
    askForCopy(event);
    QTreeView::dragEnterEvent(event);
}

void EntryList::dragMoveEvent(QDragMoveEvent *event)
{
    askForCopy(event);
    QTreeView::dragMoveEvent(event);
}

void EntryList::dropEvent(QDropEvent *event)
{
    askForCopy(event);
    QTreeView::dropEvent(event);
}

} // namespace larkspan
