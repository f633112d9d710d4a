#include "data/EntrySet.h"

#include <QHashFunctions>

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace larkspan {

uint64_t entryHash(const PackedEntry &entry)
{
    // Each field's hash seeds the next one's, so the boundaries between fields count.
    size_t hash = 0x9E3779B97F4A7C15u;
    for (int field = 0; field < kFieldCount; ++field)
        hash = qHash(entry.utf8(Field(field)), hash);
    return uint64_t(hash);
}

EntrySet::EntrySet(const std::vector<PackedEntry> &list) : list_(list)
{
    if (list.size() >= UINT32_MAX / 2)
        throw std::length_error("too many entries");
    slots_.resize(std::bit_ceil(std::max<size_t>(16, list.size() * 2 + 2)));
    for (size_t i = 0; i < list.size(); ++i)
        insert(entryHash(list[i]), uint32_t(i));
}

const PackedEntry &EntrySet::entry(uint32_t index) const
{
    return index < list_.size() ? list_[index] : added_[index - list_.size()];
}

void EntrySet::insert(uint64_t hash, uint32_t index)
{
    const size_t mask = slots_.size() - 1;
    size_t at = size_t(hash) & mask;
    while (slots_[at].entry != 0)
        at = (at + 1) & mask;
    slots_[at] = {hash, index + 1};
    ++used_;
}

void EntrySet::grow()
{
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slots_.size() * 2));
    used_ = 0;
    for (const Slot &slot : old)
        if (slot.entry != 0)
            insert(slot.hash, slot.entry - 1);
}

EntrySet::Outcome EntrySet::add(PackedEntry candidate)
{
    const uint64_t hash = entryHash(candidate);
    const size_t mask = slots_.size() - 1;
    for (size_t at = size_t(hash) & mask; slots_[at].entry != 0; at = (at + 1) & mask) {
        const uint32_t index = slots_[at].entry - 1;
        if (slots_[at].hash == hash && entry(index) == candidate)
            return index < list_.size() ? Outcome::InList : Outcome::Repeated;
    }
    const size_t index = list_.size() + added_.size();
    if (index >= UINT32_MAX - 1)
        throw std::length_error("too many entries");
    added_.push_back(std::move(candidate));
    if ((used_ + 1) * 2 > slots_.size())
        grow();
    insert(hash, uint32_t(index));
    return Outcome::Added;
}

} // namespace larkspan
