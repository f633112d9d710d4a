// Short keys that order two names without the collator whenever their first letters differ, which
// is most of the comparisons a sort of a phone book makes. A key holds the places in the collation
// order of a name's first twenty-four characters; where it cannot decide, the full comparison must.
#pragma once

#include <QByteArrayView>
#include <QLocale>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <memory>

namespace larkspan {

class NameKeyTable;

struct NameKey
{
    static constexpr int kLetters = 24;
    static constexpr int kAccents = 4;
    // The ranks of the first `length` characters, four to a word, the first in the top bits;
    // zero past them.
    std::array<uint64_t, 6> lanes{};
    // The places and kinds of the accents (or strokes, or the like) on the characters, up to
    // kAccents of them; 0 for none.
    uint64_t accents = 0;
    uint8_t length = 0;
    bool whole = false;          // the name ends after them
    bool accentsCounted = false; // whole, and `accents` holds all of them
    // Free for the caller (the row of the name), so that a sort moves one small record per name.
    uint32_t row = 0;
};

enum class KeyOrder { Less, Greater, Equal, Unknown };

// How the names the keys were made from compare, where the keys can tell.
inline KeyOrder orderByKeys(const NameKey &a, const NameKey &b)
{
    for (size_t w = 0; w < a.lanes.size(); ++w) {
        const uint64_t diff = a.lanes[w] ^ b.lanes[w];
        if (diff == 0)
            continue;
        const int at = static_cast<int>(w) * 4 + std::countl_zero(diff) / 16;
        if (at < std::min(a.length, b.length))
            return a.lanes[w] < b.lanes[w] ? KeyOrder::Less : KeyOrder::Greater;
        // One key ends here: that name sorts first if it ends here too.
        if (at == a.length && a.whole)
            return KeyOrder::Less;
        if (at == b.length && b.whole)
            return KeyOrder::Greater;
        return KeyOrder::Unknown;
    }
    // The same letters with the same accents: the same name, as far as a comparison that ignores
    // case goes.
    return a.accentsCounted && b.accentsCounted && a.accents == b.accents ? KeyOrder::Equal
                                                                          : KeyOrder::Unknown;
}

class NameKeys
{
public:
    // For the case-insensitive collation of `locale` as QCollator gives it. A table that does not
    // agree with QCollator on every character it holds is not used: every key is then empty.
    explicit NameKeys(const QLocale &locale);

    NameKey make(QByteArrayView utf8) const;

private:
    std::shared_ptr<const NameKeyTable> table_;
};

} // namespace larkspan
