// The three-way merge of a save that finds the file changed by another program: `base` is what
// the file held when this program last read or wrote it, `theirs` what it holds now, `ours` the
// list. Entries have no key, so they are matched by content and position. Nothing that either
// side added or changed is lost: where both changed the same field differently, both versions
// are kept.
#pragma once

#include "data/PackedEntry.h"

#include <vector>

namespace larkspan {

struct MergeCounts
{
    int added = 0;       // added by the other writer, now at the end of the list
    int removed = 0;     // removed by the other writer, unchanged here: removed here too
    int changed = 0;     // changed there (and, in other fields, perhaps here): their changes taken
    int keptTwice = 0;   // the same field changed on both sides: their version added at the end
    int keptChanged = 0; // changed on one side, removed on the other: kept

    bool any() const { return added + removed + changed + keptTwice + keptChanged > 0; }
};

struct MergeResult
{
    std::vector<PackedEntry> entries;
    MergeCounts counts;
    // For each row of `ours`, its row in `entries`; -1 for a row that is gone.
    std::vector<int> rowOfOurs;
};

MergeResult mergeEntries(const std::vector<PackedEntry> &base, const std::vector<PackedEntry> &theirs,
                         const std::vector<PackedEntry> &ours);

} // namespace larkspan
