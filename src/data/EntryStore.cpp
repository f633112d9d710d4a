#include "data/EntryStore.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace larkspan {

namespace {
// A noncharacter: it never comes from the keyboard, so a needle without it cannot match across
// the end of one name into the next.
constexpr QChar kNameEnd(0xFFFF);
} // namespace

void EntryStore::setText(int row, Field field, const QString &text)
{
    rows_[static_cast<size_t>(row)].setText(field, text);
    if (field == Name)
        namesChanged();
}

void EntryStore::replaceAll(std::vector<PackedEntry> rows)
{
    rows_ = std::move(rows);
    namesChanged();
}

int EntryStore::append(PackedEntry entry)
{
    rows_.push_back(std::move(entry));
    namesChanged();
    return count() - 1;
}

void EntryStore::remove(int row)
{
    rows_.erase(rows_.begin() + row);
    namesChanged();
}

void EntryStore::sortByName()
{
    // The C locale has no collation of its own (it would sort by code point, upper case first):
    // use the common one of English there.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator{locale};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // One key per name, computed once; comparisons then compare keys.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows_.size());
    for (const PackedEntry &row : rows_)
        keys.push_back(collator.sortKey(row.text(Name)));
    std::vector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]) < 0;
    });
    std::vector<PackedEntry> sorted;
    sorted.reserve(rows_.size());
    for (int index : order)
        sorted.push_back(std::move(rows_[static_cast<size_t>(index)]));
    rows_ = std::move(sorted);
    namesChanged();
}

void EntryStore::buildFoldedNames() const
{
    foldedNames_.clear();
    foldedStarts_.clear();
    foldedStarts_.reserve(rows_.size());
    for (const PackedEntry &row : rows_) {
        foldedStarts_.push_back(foldedNames_.size());
        foldedNames_ += row.text(Name).toCaseFolded();
        foldedNames_ += kNameEnd;
    }
    foldedValid_ = true;
}

int EntryStore::findName(const QString &needle) const
{
    if (needle.isEmpty()) {
        for (int row = 0; row < count(); ++row)
            if (!at(row).utf8(Name).isEmpty())
                return row;
        return -1;
    }
    if (needle.contains(kNameEnd)) {
        for (int row = 0; row < count(); ++row)
            if (text(row, Name).contains(needle, Qt::CaseInsensitive))
                return row;
        return -1;
    }
    if (!foldedValid_)
        buildFoldedNames();
    const qsizetype hit = QStringView(foldedNames_).indexOf(needle.toCaseFolded());
    if (hit < 0)
        return -1;
    const auto start = std::upper_bound(foldedStarts_.begin(), foldedStarts_.end(), hit);
    return static_cast<int>(start - foldedStarts_.begin()) - 1;
}

} // namespace larkspan
