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

    // `inNameOrder`: the rows come sorted by name already (by sortByName of another store, in
    // the same locale), so that the next sortByName has nothing to do.
    void replaceAll(std::vector<PackedEntry> rows, bool inNameOrder = false);
    void append(std::vector<PackedEntry> entries);
    // Hands the rows over, leaving the store empty.
    std::vector<PackedEntry> takeRows();
    void remove(int row);

    // Ascending by name, case-insensitive in the order of the user's locale; rows with equal
    // names keep their order.
    void sortByName();
    // Makes ahead what the next sortByName needs of the current locale's collation.
    static void prepareSort();
    // Whether the rows are known to be in the order sortByName gives in the current locale, so
    // that a sort would move none of them.
    bool inNameOrder() const;

    // The first row, in list order, whose name contains `needle` regardless of case; an empty
    // needle finds the first row whose name is not empty. -1 when none.
    int findName(const QString &needle) const;

private:
    void namesChanged();
    void buildFoldedNames() const;
    int searchFolded(const QString &folded, int fromRow) const;

    std::vector<PackedEntry> rows_;

    // Every name case-folded, in list order, each followed by kNameEnd: one search over
    // this text replaces a search per row.
    mutable QString foldedNames_;
    mutable std::vector<qsizetype> foldedStarts_;
    mutable bool foldedValid_ = false;

    // The answers to the last searches while the user types, each needle (case-folded) beginning
    // with the one before it. A name that contains a needle contains each of its beginnings, so
    // one more character can only move the answer later, and a needle nothing contains stays
    // unmatched; Backspace finds its answer here.
    struct Answer
    {
        QString folded;
        int row;
    };
    mutable std::vector<Answer> answers_;

    // The locale the rows were last put in order for; empty when they may be in any order.
    QString orderLocale_;
};

} // namespace larkspan
