#include "data/EntryStore.h"

#include "data/NameKey.h"

#include <QCollator>
#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <iterator>
#include <utility>

namespace larkspan {

namespace {
// A noncharacter: it never comes from the keyboard, so a needle without it cannot match across
// the end of one name into the next.
constexpr QChar kNameEnd(0xFFFF);

// Below this many rows a second thread costs more than it saves.
constexpr size_t kRowsWorthAThread = 20000;
// A tail of at most 1/kShortTail of the rows is merged into the sorted rows before it, one binary
// search each; a longer one makes sorting everything cheaper.
constexpr size_t kShortTail = 8;
// How many rows ahead a pass over the rows fetches the block it will read.
constexpr size_t kFetchAhead = 16;
// Earlier answers of the search kept for Backspace; a needle is seldom longer.
constexpr size_t kAnswersKept = 64;

// The C locale has no collation of its own (it would sort by code point, upper case first): use
// the common one of English there.
QLocale collationLocale()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

class NameCollator
{
public:
    explicit NameCollator(const QLocale &locale) : collator_(locale)
    {
        collator_.setCaseSensitivity(Qt::CaseInsensitive);
    }

    int compare(const PackedEntry &a, const PackedEntry &b)
    {
        return collator_.compare(decode(a, first_), decode(b, second_));
    }

private:
    // Decodes a name into a buffer that is reused from row to row: a sort reads every name, and
    // a fresh string for each would cost an allocation apiece.
    const QString &decode(const PackedEntry &row, QString &buffer)
    {
        const QByteArrayView utf8 = row.utf8(Name);
        buffer.resize(utf8.size()); // UTF-8 never takes fewer bytes than UTF-16 takes code units
        const QChar *end = decoder_.appendToBuffer(buffer.data(), utf8);
        buffer.truncate(end - buffer.constData());
        return buffer;
    }

    QCollator collator_;
    // Stateless and keeping a leading U+FEFF: the same text as PackedEntry::text gives.
    QStringDecoder decoder_{QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    QString first_;
    QString second_;
};

// How the rows of keys a and b compare by name, and of two equal names the earlier row first:
// the place of each in a stable sort.
bool before(const std::vector<PackedEntry> &rows, const NameKey &a, const NameKey &b, NameCollator &collator)
{
    int order = 0;
    switch (orderByKeys(a, b)) {
    case KeyOrder::Less:
        return true;
    case KeyOrder::Greater:
        return false;
    case KeyOrder::Equal:
        break;
    case KeyOrder::Unknown:
        order = collator.compare(rows[a.row], rows[b.row]);
        break;
    }
    return order != 0 ? order < 0 : a.row < b.row;
}

// The short keys of the rows begin to end, in the order of a stable sort by name. The keys
// themselves are moved rather than row numbers, so that the sort reads memory in order instead
// of a key per row at random; a comparison the keys cannot decide asks the collator. As the keys
// hold their rows, std::sort gives the stable order without the memory a stable sort takes.
std::vector<NameKey> sortRun(const std::vector<PackedEntry> &rows, size_t begin, size_t end,
                             const QLocale &locale)
{
    NameCollator collator(locale);
    const NameKeys keys(locale);
    std::vector<NameKey> run;
    run.reserve(end - begin);
    for (size_t row = begin; row < end; ++row) {
        if (row + kFetchAhead < end)
            rows[row + kFetchAhead].prefetch();
        run.push_back(keys.make(rows[row].utf8(Name)));
        run.back().row = static_cast<uint32_t>(row);
    }
    std::sort(run.begin(), run.end(),
              [&](const NameKey &a, const NameKey &b) { return before(rows, a, b, collator); });
    return run;
}

// The rows from `first` on, in a stable order by name: two halves sorted side by side on the
// machine's cores, then merged, also side by side: the smaller half of the order from the fronts
// of the two runs, the larger from their backs. As before() breaks ties by row, no two keys are
// equal, so the two merges meet exactly. Must give exactly the plain order: std::stable_sort of
// the rows comparing their names with NameCollator (tst_fastpaths holds that version as its
// oracle).
std::vector<int> sortedOrder(const std::vector<PackedEntry> &rows, size_t first, const QLocale &locale)
{
    const size_t count = rows.size() - first;
    std::vector<int> order;
    if (count < kRowsWorthAThread) {
        order.reserve(count);
        for (const NameKey &key : sortRun(rows, first, rows.size(), locale))
            order.push_back(static_cast<int>(key.row));
        return order;
    }
    const size_t middle = first + count / 2;
    auto higherRun =
        std::async(std::launch::async, [&] { return sortRun(rows, middle, rows.size(), locale); });
    const std::vector<NameKey> lower = sortRun(rows, first, middle, locale);
    const std::vector<NameKey> higher = higherRun.get();
    order.resize(count);
    const size_t fromFronts = count / 2;
    auto backs = std::async(std::launch::async, [&] {
        NameCollator collator(locale);
        auto low = lower.end(), high = higher.end();
        for (size_t at = count; at > fromFronts; --at) {
            const bool takeLow =
                high == higher.begin() || (low != lower.begin() && before(rows, high[-1], low[-1], collator));
            order[at - 1] = static_cast<int>((takeLow ? --low : --high)->row);
        }
    });
    NameCollator collator(locale);
    auto low = lower.begin(), high = higher.begin();
    for (size_t at = 0; at < fromFronts; ++at) {
        const bool takeHigh =
            low == lower.end() || (high != higher.end() && before(rows, *high, *low, collator));
        order[at] = static_cast<int>((takeHigh ? high++ : low++)->row);
    }
    backs.get();
    return order;
}

// The end of the rows from `begin` on that are in order, up to `end`; gives up early (with
// `begin`) once `stop` is set.
size_t inOrderUpTo(const std::vector<PackedEntry> &rows, size_t begin, size_t end, const QLocale &locale,
                   const std::atomic<bool> &stop)
{
    NameCollator collator(locale);
    const NameKeys keys(locale);
    NameKey last = keys.make(rows[begin].utf8(Name));
    for (size_t row = begin + 1; row < end; ++row) {
        if (row + kFetchAhead < end)
            rows[row + kFetchAhead].prefetch();
        const NameKey key = keys.make(rows[row].utf8(Name));
        const KeyOrder order = orderByKeys(last, key);
        if (order == KeyOrder::Greater ||
            (order == KeyOrder::Unknown && collator.compare(rows[row - 1], rows[row]) > 0))
            return row;
        last = key;
        if (row % 1024 == 0 && stop.load(std::memory_order_relaxed))
            return begin;
    }
    return end;
}

// How many rows from the first are in order. A long list is checked in two halves side by side;
// the upper half's check is called off as soon as the lower half is found out of order, which in a
// list in no order at all is at once.
size_t sortedPrefix(const std::vector<PackedEntry> &rows, const QLocale &locale)
{
    std::atomic<bool> stop = false;
    if (rows.size() < kRowsWorthAThread)
        return rows.empty() ? 0 : inOrderUpTo(rows, 0, rows.size(), locale, stop);
    const size_t middle = rows.size() / 2;
    auto upper =
        std::async(std::launch::async, [&] { return inOrderUpTo(rows, middle, rows.size(), locale, stop); });
    // The lower half ends with the comparison of its last row with the first of the upper half.
    const size_t lower = inOrderUpTo(rows, 0, middle + 1, locale, stop);
    if (lower <= middle) {
        stop = true;
        return lower;
    }
    return upper.get();
}

// Case-sensitive search of UTF-16 text, eight code units at a time: a candidate must match the
// needle's first and last unit, which few places do, so whole comparisons are rare. Together with
// the case-folded names below it must find what the plain search finds: the first row whose name
// contains the needle regardless of case (QString::contains with Qt::CaseInsensitive, row by row;
// tst_fastpaths holds that version as its oracle).
qsizetype findText(QStringView haystack, QStringView needle)
{
    const char16_t *text = haystack.utf16();
    const char16_t *sought = needle.utf16();
    const qsizetype length = needle.size();
    if (length == 0)
        return 0;
    if (length > haystack.size())
        return -1;
    const qsizetype lastStart = haystack.size() - length;
    auto matchesAt = [&](qsizetype at) {
        return std::memcmp(text + at, sought, static_cast<size_t>(length) * sizeof(char16_t)) == 0;
    };

    using Lanes = uint16_t __attribute__((vector_size(16)));
    Lanes first, last;
    for (int lane = 0; lane < 8; ++lane) {
        first[lane] = sought[0];
        last[lane] = sought[length - 1];
    }
    qsizetype at = 0;
    for (; at + 8 <= lastStart + 1; at += 8) {
        Lanes heads, tails;
        std::memcpy(&heads, text + at, sizeof heads);
        std::memcpy(&tails, text + at + length - 1, sizeof tails);
        const auto both = (heads == first) & (tails == last);
        uint64_t halves[2];
        std::memcpy(halves, &both, sizeof halves);
        if ((halves[0] | halves[1]) == 0)
            continue;
        for (int lane = 0; lane < 8; ++lane)
            if (both[lane] && matchesAt(at + lane))
                return at + lane;
    }
    for (; at <= lastStart; ++at)
        if (text[at] == sought[0] && matchesAt(at))
            return at;
    return -1;
}

bool isAscii(QByteArrayView text)
{
    unsigned char seen = 0;
    for (const char c : text)
        seen |= static_cast<unsigned char>(c);
    return seen < 0x80;
}

} // namespace

void EntryStore::setText(int row, Field field, const QString &text)
{
    rows_[static_cast<size_t>(row)].setText(field, text);
    if (field == Name)
        namesChanged();
}

void EntryStore::namesChanged()
{
    foldedValid_ = false;
    answers_.clear();
    orderLocale_.clear();
}

void EntryStore::replaceAll(std::vector<PackedEntry> rows, bool inNameOrder)
{
    rows_ = std::move(rows);
    namesChanged();
    if (inNameOrder)
        orderLocale_ = collationLocale().bcp47Name();
}

bool EntryStore::inNameOrder() const
{
    return rows_.size() < 2 || (!orderLocale_.isEmpty() && orderLocale_ == collationLocale().bcp47Name());
}

void EntryStore::append(std::vector<PackedEntry> entries)
{
    rows_.insert(rows_.end(), std::make_move_iterator(entries.begin()),
                 std::make_move_iterator(entries.end()));
    namesChanged();
}

std::vector<PackedEntry> EntryStore::takeRows()
{
    namesChanged();
    return std::exchange(rows_, {});
}

void EntryStore::remove(int row)
{
    rows_.erase(rows_.begin() + row);
    namesChanged();
}

void EntryStore::prepareSort()
{
    NameKeys{collationLocale()};
}

void EntryStore::sortByName()
{
    const QLocale locale = collationLocale();
    if (inNameOrder())
        return;
    // A file the program saved is already in order but for the entries added since the last
    // sort, which come last: such a list needs only its tail sorted and merged in. Every path here
    // gives the plain stable order (see sortedOrder).
    const size_t prefix = sortedPrefix(rows_, locale);
    if (prefix == rows_.size()) {
        orderLocale_ = locale.bcp47Name();
        return;
    }
    NameCollator collator(locale);

    std::vector<int> order;
    const size_t tail = rows_.size() - prefix;
    if (tail <= rows_.size() / kShortTail) {
        const std::vector<int> tailOrder = sortedOrder(rows_, prefix, locale);
        order.reserve(rows_.size());
        // Each tail row goes after the prefix rows whose names are not greater than its own, so
        // that of two equal names the earlier row stays first.
        size_t fromPrefix = 0;
        for (const int row : tailOrder) {
            size_t low = fromPrefix, high = prefix;
            while (low < high) {
                const size_t middle = low + (high - low) / 2;
                if (collator.compare(rows_[static_cast<size_t>(row)], rows_[middle]) < 0)
                    high = middle;
                else
                    low = middle + 1;
            }
            for (; fromPrefix < low; ++fromPrefix)
                order.push_back(static_cast<int>(fromPrefix));
            order.push_back(row);
        }
        for (; fromPrefix < prefix; ++fromPrefix)
            order.push_back(static_cast<int>(fromPrefix));
    } else {
        order = sortedOrder(rows_, 0, locale);
    }

    // Nothing is moved until everything that can fail has been done.
    std::vector<PackedEntry> sorted;
    sorted.reserve(rows_.size());
    for (const int index : order)
        sorted.push_back(std::move(rows_[static_cast<size_t>(index)]));
    rows_ = std::move(sorted);
    namesChanged();
    orderLocale_ = locale.bcp47Name();
}

void EntryStore::buildFoldedNames() const
{
    qsizetype size = 0;
    for (const PackedEntry &row : rows_)
        size += row.utf8(Name).size() + 1;
    foldedNames_.clear();
    foldedNames_.reserve(size);
    foldedStarts_.clear();
    foldedStarts_.reserve(rows_.size());
    for (const PackedEntry &row : rows_) {
        const qsizetype start = foldedNames_.size();
        foldedStarts_.push_back(start);
        const QByteArrayView name = row.utf8(Name);
        if (isAscii(name)) {
            // Case folding leaves ASCII but A to Z alone; most names need nothing more.
            foldedNames_.resize(start + name.size());
            QChar *out = foldedNames_.data() + start;
            for (const char c : name)
                *out++ = QLatin1Char(c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c);
        } else {
            foldedNames_ += row.text(Name).toCaseFolded();
        }
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
    if (rows_.empty())
        return -1;
    if (!foldedValid_)
        buildFoldedNames();
    const QString folded = needle.toCaseFolded();
    while (!answers_.empty() && !folded.startsWith(answers_.back().folded))
        answers_.pop_back();
    if (!answers_.empty() && answers_.back().folded == folded)
        return answers_.back().row;
    int row = -1;
    if (answers_.empty())
        row = searchFolded(folded, 0);
    else if (answers_.back().row >= 0)
        row = searchFolded(folded, answers_.back().row);
    if (answers_.size() == kAnswersKept)
        answers_.erase(answers_.begin());
    answers_.push_back({folded, row});
    return row;
}

// The first row from `fromRow` on whose case-folded name contains `folded`; -1 when none.
int EntryStore::searchFolded(const QString &folded, int fromRow) const
{
    const qsizetype from = foldedStarts_[static_cast<size_t>(fromRow)];
    const qsizetype hit = findText(QStringView(foldedNames_).sliced(from), folded);
    if (hit < 0)
        return -1;
    const auto start = std::upper_bound(foldedStarts_.begin(), foldedStarts_.end(), from + hit);
    return static_cast<int>(start - foldedStarts_.begin()) - 1;
}

} // namespace larkspan
