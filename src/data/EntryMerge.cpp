#include "data/EntryMerge.h"

#include <QHash>

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace larkspan {

namespace {

size_t entryHash(const PackedEntry &entry)
{
    size_t seed = 0;
    for (int f = 0; f < kFieldCount; ++f)
        seed = qHash(entry.utf8(Field(f)), seed) + static_cast<size_t>(f);
    return seed;
}

// Two entries that are one entry changed: the same name, or at least half of the fields that
// either fills alike. Without this, an entry removed on one side and another added in its place
// would be taken for one entry and their fields mixed.
bool similar(const PackedEntry &a, const PackedEntry &b)
{
    if (!a.utf8(Name).isEmpty() && a.utf8(Name) == b.utf8(Name))
        return true;
    int filled = 0;
    int alike = 0;
    for (int f = 0; f < kFieldCount; ++f) {
        const QByteArrayView x = a.utf8(Field(f));
        const QByteArrayView y = b.utf8(Field(f));
        if (x.isEmpty() && y.isEmpty())
            continue;
        ++filled;
        alike += x == y ? 1 : 0;
    }
    return filled > 0 && 2 * alike >= filled;
}

// Which entry of `side` each entry of `base` became: the same entry, the same entry changed, or
// none (removed). The rows that both begin and end with are matched by position; the rest by
// content, equal entries in their order; what is left is paired up, within the stretch between
// two matched rows, with a similar entry of the other side as a change.
struct Matching
{
    std::vector<int> sideOfBase;
    std::vector<int> baseOfSide;

    void link(size_t b, size_t s)
    {
        sideOfBase[b] = static_cast<int>(s);
        baseOfSide[s] = static_cast<int>(b);
    }
};

// How far to look for a similar entry within one stretch: a stretch of thousands of unmatched
// rows (another program rewrote the whole file) is then taken as removals and additions.
constexpr int kPairingReach = 64;

Matching match(const std::vector<PackedEntry> &base, const std::vector<PackedEntry> &side)
{
    const size_t nb = base.size();
    const size_t ns = side.size();
    Matching m{std::vector<int>(nb, -1), std::vector<int>(ns, -1)};

    size_t prefix = 0;
    while (prefix < nb && prefix < ns && base[prefix] == side[prefix]) {
        m.link(prefix, prefix);
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < nb - prefix && suffix < ns - prefix && base[nb - 1 - suffix] == side[ns - 1 - suffix]) {
        m.link(nb - 1 - suffix, ns - 1 - suffix);
        ++suffix;
    }

    struct Bucket
    {
        std::vector<int> rows;
        size_t next = 0;
    };
    std::unordered_map<size_t, Bucket> bySide;
    bySide.reserve(ns - prefix - suffix);
    for (size_t s = prefix; s < ns - suffix; ++s)
        bySide[entryHash(side[s])].rows.push_back(static_cast<int>(s));
    for (size_t b = prefix; b < nb - suffix; ++b) {
        auto found = bySide.find(entryHash(base[b]));
        if (found == bySide.end())
            continue;
        Bucket &bucket = found->second;
        while (bucket.next < bucket.rows.size() &&
               m.baseOfSide[static_cast<size_t>(bucket.rows[bucket.next])] >= 0)
            ++bucket.next;
        for (size_t k = bucket.next; k < bucket.rows.size(); ++k) {
            const auto s = static_cast<size_t>(bucket.rows[k]);
            if (m.baseOfSide[s] < 0 && side[s] == base[b]) {
                m.link(b, s);
                break;
            }
        }
    }

    for (size_t b = 0; b < nb;) {
        if (m.sideOfBase[b] >= 0) {
            ++b;
            continue;
        }
        size_t end = b;
        while (end < nb && m.sideOfBase[end] < 0)
            ++end;
        const long before = b > 0 ? m.sideOfBase[b - 1] : -1;
        const long after = end < nb ? m.sideOfBase[end] : static_cast<long>(ns);
        auto candidate = static_cast<size_t>(before + 1);
        for (; b < end && before < after; ++b) {
            const size_t limit = std::min(static_cast<size_t>(after), candidate + kPairingReach);
            for (size_t s = candidate; s < limit; ++s) {
                if (m.baseOfSide[s] < 0 && similar(base[b], side[s])) {
                    m.link(b, s);
                    candidate = s + 1;
                    break;
                }
            }
        }
        b = end;
    }
    return m;
}

// One entry with the changes of both sides, when they changed different fields.
std::optional<PackedEntry> mergeFields(const PackedEntry &base, const PackedEntry &ours,
                                       const PackedEntry &theirs)
{
    std::array<QByteArrayView, kFieldCount> fields;
    for (int f = 0; f < kFieldCount; ++f) {
        const QByteArrayView b = base.utf8(Field(f));
        const QByteArrayView o = ours.utf8(Field(f));
        const QByteArrayView t = theirs.utf8(Field(f));
        if (o == t || b == t)
            fields[static_cast<size_t>(f)] = o;
        else if (b == o)
            fields[static_cast<size_t>(f)] = t;
        else
            return std::nullopt;
    }
    return PackedEntry(fields);
}

} // namespace

MergeResult mergeEntries(const std::vector<PackedEntry> &base, const std::vector<PackedEntry> &theirs,
                         const std::vector<PackedEntry> &ours)
{
    const Matching inOurs = match(base, ours);
    const Matching inTheirs = match(base, theirs);
    MergeResult result;
    MergeCounts &counts = result.counts;
    result.rowOfOurs.assign(ours.size(), -1);
    result.entries.reserve(std::max(ours.size(), theirs.size()));
    // What comes from the other writer goes to the end of the list, in its order there.
    std::vector<std::pair<size_t, const PackedEntry *>> appended;

    auto keep = [&](size_t row, PackedEntry entry) {
        result.rowOfOurs[row] = static_cast<int>(result.entries.size());
        result.entries.push_back(std::move(entry));
    };
    std::unordered_multimap<size_t, size_t> addedHere;
    for (size_t o = 0; o < ours.size(); ++o) {
        const int b = inOurs.baseOfSide[o];
        if (b < 0) {
            addedHere.emplace(entryHash(ours[o]), o);
            keep(o, ours[o]);
            continue;
        }
        const PackedEntry &was = base[static_cast<size_t>(b)];
        const bool unchangedHere = ours[o] == was;
        const int t = inTheirs.sideOfBase[static_cast<size_t>(b)];
        if (t < 0) { // removed there
            if (unchangedHere) {
                ++counts.removed;
            } else {
                ++counts.keptChanged;
                keep(o, ours[o]);
            }
            continue;
        }
        const PackedEntry &now = theirs[static_cast<size_t>(t)];
        if (now == was || now == ours[o]) {
            keep(o, ours[o]);
        } else if (unchangedHere) {
            ++counts.changed;
            keep(o, now);
        } else if (std::optional<PackedEntry> both = mergeFields(was, ours[o], now)) {
            ++counts.changed;
            keep(o, std::move(*both));
        } else {
            ++counts.keptTwice;
            keep(o, ours[o]);
            appended.emplace_back(static_cast<size_t>(t), &now);
        }
    }
    for (size_t b = 0; b < base.size(); ++b) {
        const int t = inTheirs.sideOfBase[b];
        if (inOurs.sideOfBase[b] < 0 && t >= 0 && !(theirs[static_cast<size_t>(t)] == base[b])) {
            ++counts.keptChanged; // removed here, changed there
            appended.emplace_back(static_cast<size_t>(t), &theirs[static_cast<size_t>(t)]);
        }
    }
    for (size_t t = 0; t < theirs.size(); ++t) {
        if (inTheirs.baseOfSide[t] >= 0)
            continue;
        // Added on both sides (the same card imported twice): one copy is enough.
        auto [first, last] = addedHere.equal_range(entryHash(theirs[t]));
        auto same = std::find_if(first, last, [&](const auto &row) { return ours[row.second] == theirs[t]; });
        if (same != last) {
            addedHere.erase(same);
            continue;
        }
        ++counts.added;
        appended.emplace_back(t, &theirs[t]);
    }
    std::sort(appended.begin(), appended.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[row, entry] : appended)
        result.entries.push_back(*entry);
    return result;
}

} // namespace larkspan
