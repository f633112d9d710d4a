// The Entry list (`ListView1`): every contact, one row each, sixteen columns, at most one
// selected row. The rows live in an EntryStore in display order; the view draws only the rows
// on screen, so a million entries cost no widgets.
//
// Rows are numbered from 0 here. Selecting a row from code raises no itemClick and never
// scrolls the list; the user's clicks and keyboard moves raise itemClick.
#pragma once

#include "data/EntryStore.h"

#include <QAbstractTableModel>
#include <QTreeView>

class QDropEvent;

namespace larkspan {

// Handles what is dragged onto the list and out of it (the main window's ContactTransfer).
class EntryDragHandler
{
public:
    virtual ~EntryDragHandler() = default;
    virtual bool acceptsDrop(const QDropEvent &event) const = 0;
    virtual void drop(const QDropEvent &event) = 0;
    virtual void dragOut(int row) = 0;
};

class EntryListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit EntryListModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    EntryStore &store() { return store_; }
    const EntryStore &store() const { return store_; }

    void setText(int row, Field field, const QString &text);
    int append(PackedEntry entry);
    void remove(int row);
    void replaceAll(std::vector<PackedEntry> rows);
    void sortByName();

private:
    EntryStore store_;
};

class EntryList : public QTreeView
{
    Q_OBJECT
public:
    explicit EntryList(QWidget *parent = nullptr);

    // The sixteen columns with their widths in pixels.
    void addColumns(const std::vector<int> &widths);
    int columnsAdded() const { return columns_; }

    int count() const { return model_->store().count(); }
    QString text(int row) const { return model_->store().text(row, Name); }
    void setText(int row, const QString &text) { model_->setText(row, Name, text); }
    // Sub-items 1 to 15 are the columns after the name.
    QString subItem(int row, int k) const { return model_->store().text(row, fieldOfColumn(k)); }
    void setSubItem(int row, int k, const QString &text) { model_->setText(row, fieldOfColumn(k), text); }

    int add(const QString &text);
    int addEntry(PackedEntry entry) { return model_->append(std::move(entry)); }
    void remove(int row);
    void replaceAll(std::vector<PackedEntry> rows);

    int selectedRow() const;
    void select(int row);
    void clearSelection();

    void sortByName();
    bool isSorted() const { return sorted_; }
    int findName(const QString &needle) const { return model_->store().findName(needle); }

    const EntryStore &store() const { return model_->store(); }

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

    // Files can be dropped on the rows, and a row dragged out, once a handler is set.
    void setDragHandler(EntryDragHandler *handler);

signals:
    void itemClick(int row);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    EntryListModel *model_;
    EntryDragHandler *dragHandler_ = nullptr;
    int columns_ = 0;
    bool sorted_ = false;
    bool selectingFromCode_ = false;
};

} // namespace larkspan
