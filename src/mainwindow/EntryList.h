// The Entry list (`ListView1`): shows the phone book's Entry model in sixteen columns with at most
// one selected row. The view draws only the rows on screen, so a million entries cost no widgets.
//
// Rows are numbered from 0 here. Selecting a row from code raises no itemClick and never
// scrolls the list; the user's clicks and keyboard moves raise itemClick.
#pragma once

#include <QTreeView>

#include <vector>

namespace larkspan {

class EntryList : public QTreeView
{
    Q_OBJECT
public:
    explicit EntryList(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    // The widths of the columns in pixels.
    void setColumnWidths(const std::vector<int> &widths);

    int selectedRow() const;
    void select(int row);
    void clearSelection();

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

signals:
    void itemClick(int row);
    // The selected row may have changed, whatever changed it: a click, a key, code, rows removed
    // or all rows replaced. `row` is the selected row now, -1 for none.
    void selectionMoved(int row);
    // The Delete key was pressed in the list.
    void deleteRequested();
    // "Export All Entries..." was chosen in the context menu.
    void exportAllRequested();

protected:
    // The right button and the Menu key: a menu with "Export All Entries...".
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // What is dropped is always copied, whatever the source offers.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool selectingFromCode_ = false;
};

} // namespace larkspan
