// The entries of a list as a set, to tell whether a new entry is one the list holds already:
// equal in all sixteen fields. Built when it is needed, in one pass over the list; each entry
// costs sixteen bytes and a hash of its fields, and its bytes are read where they are stored.
#pragma once

#include "data/PackedEntry.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace larkspan {

class EntrySet
{
public:
    // `list` must outlive the set and stay as it is while the set is used.
    explicit EntrySet(const std::vector<PackedEntry> &list);

    enum class Outcome {
        Added,
        InList,  // equal to an entry of the list
        Repeated // equal to an entry added to the set before
    };
    // Adds the entry unless an equal one is there already.
    Outcome add(PackedEntry entry);
    // The entries added, in the order they came.
    std::vector<PackedEntry> takeAdded() { return std::exchange(added_, {}); }

private:
    struct Slot
    {
        uint64_t hash = 0;
        uint32_t entry = 0; // the entry's index plus one; 0 for an empty slot
    };
    const PackedEntry &entry(uint32_t index) const;
    void insert(uint64_t hash, uint32_t index);
    void grow();

    const std::vector<PackedEntry> &list_;
    std::vector<PackedEntry> added_;
    std::vector<Slot> slots_; // open addressing, a power of two, at most half full
    size_t used_ = 0;
};

// A 64-bit hash of all sixteen fields of an entry.
uint64_t entryHash(const PackedEntry &entry);

} // namespace larkspan
