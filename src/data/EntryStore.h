// The entries in list order, with the two whole-list operations the phone book needs fast:
// sorting by name and finding the first name that contains a text.
#pragma once

#include "data/PackedEntry.h"

#include <QString>

#include <vector>

namespace larkspan {

class EntryStore
{
public:
    int count() const { return static_cast<int>(rows_.size()); }
    const PackedEntry &at(int row) const { return rows_[static_cast<size_t>(row)]; }
    const std::vector<PackedEntry> &rows() const { return rows_; }

    QString text(int row, Field field) const { return at(row).text(field); }
    void setText(int row, Field field, const QString &text);

    void replaceAll(std::vector<PackedEntry> rows);
    void append(std::vector<PackedEntry> entries);
    void remove(int row);

    // Ascending by name, case-insensitive in the order of the user's locale; rows with equal
    // names keep their order.
    void sortByName();

    // The first row, in list order, whose name contains `needle` regardless of case; an empty
    // needle finds the first row whose name is not empty. -1 when none.
    int findName(const QString &needle) const;

private:
    void namesChanged() { foldedValid_ = false; }
    void buildFoldedNames() const;

    std::vector<PackedEntry> rows_;

    // Every name case-folded, in list order, each followed by kNameEnd: one search over
    // this text replaces a search per row.
    mutable QString foldedNames_;
    mutable std::vector<qsizetype> foldedStarts_;
    mutable bool foldedValid_ = false;
};

} // namespace larkspan
