#include "data/exchange/ContactDrop.h"

#include "data/EntrySet.h"

namespace larkspan {

DropContents readDrop(const QStringList &paths, LegacyCodePage codePage, const std::vector<PackedEntry> &list,
                      DropProgress &progress)
{
    DropContents drop;
    for (const QString &path : paths) {
        if (progress.cancel) {
            drop.cancelled = true;
            return drop;
        }
        progress.fileDone = 0;
        progress.fileTotal = 0;
        DroppedFile dropped{path, readContactFile(path, codePage, [&progress](qint64 done, qint64 total) {
                                progress.fileTotal.store(total, std::memory_order_relaxed);
                                progress.fileDone.store(done, std::memory_order_relaxed);
                                return !progress.cancel.load(std::memory_order_relaxed);
                            })};
        if (dropped.file.found.cancelled) {
            drop.cancelled = true;
            return drop;
        }
        dropped.found = int(dropped.file.found.contacts.size());
        drop.files.push_back(std::move(dropped));
        ++progress.filesRead;
    }
    progress.checking = true;
    if (progress.cancel) {
        drop.cancelled = true;
        return drop;
    }

    EntrySet set(list);
    for (DroppedFile &dropped : drop.files) {
        if (progress.cancel) {
            drop.cancelled = true;
            return drop;
        }
        std::vector<Contact> contacts = std::exchange(dropped.file.found.contacts, {});
        for (const Contact &contact : contacts) {
            switch (set.add(PackedEntry(contact))) {
            case EntrySet::Outcome::Added:
                break;
            case EntrySet::Outcome::InList:
                ++dropped.inList;
                break;
            case EntrySet::Outcome::Repeated:
                ++dropped.repeated;
                break;
            }
        }
    }
    drop.added = set.takeAdded();
    return drop;
}

} // namespace larkspan
