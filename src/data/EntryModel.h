// The entries of the phone book as an item model: sixteen columns, one row per entry, in list
// order. Every change of an entry goes through this model, so that whatever shows it hears of the
// change (rows inserted or removed, a reset, the one cell that changed).
//
// Drag and drop sit here too: a row dragged out is a vCard (as data and as a .vcf file), and local
// files dropped on the rows are handed on through filesDropped() for the import to read.
#pragma once

#include "data/EntryStore.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <memory>

class QTemporaryDir;

namespace larkspan {

inline constexpr char kVCardMimeType[] = "text/vcard";
// The name older address books and mail programs use.
inline constexpr char kLegacyVCardMimeType[] = "text/x-vcard";

class EntryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit EntryModel(QObject *parent = nullptr);
    ~EntryModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const EntryStore &store() const { return store_; }

    void setText(int row, Field field, const QString &text);
    // Appends the entries at the end in one insertion; returns the row of the first.
    int append(std::vector<PackedEntry> entries);
    void remove(int row);
    // `inNameOrder`: see EntryStore::replaceAll.
    void replaceAll(std::vector<PackedEntry> rows, bool inNameOrder = false);
    // Replaces the rows with those of a merge; `rowOfOld` gives each old row's new row (-1: gone).
    void replaceMerged(std::vector<PackedEntry> rows, const std::vector<int> &rowOfOld);
    // Views hear of nothing when the rows are known to be in order already.
    void sortByName();

    // Dragging out: the row of the first index as text/vcard and as a .vcf file in a temporary
    // folder that lives as long as the model. Without the file the card still goes as data.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    // Dropping: local files, unless they come from this list itself. Always a copy, so that a file
    // manager never deletes a file it thinks was moved here.
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // A file name for the card of a contact: the name without the characters file systems or
    // other systems refuse, ending in ".vcf".
    static QString cardFileName(const QString &contactName);

signals:
    // The rows were replaced by a merge with what another program wrote (after the reset).
    void entriesMerged(const std::vector<int> &rowOfOld);
    // Local files were dropped on the list; they are to be read once the drop is over.
    void filesDropped(const QStringList &paths);
    // The .vcf file of a drag could not be written; the drag goes on with the card as data.
    void cardFileFailed(const QString &description) const;

private:
    QString writeCardFile(const QString &contactName, const QByteArray &card) const;

    EntryStore store_;
    mutable std::unique_ptr<QTemporaryDir> dragFolder_;
    mutable int drags_ = 0;
};

} // namespace larkspan
