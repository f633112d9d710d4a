// The files of one drop on the Entry list, read and checked against the list: the contacts
// that are new, and per file what was found. Meant to run off the window's thread: it reports
// how far it is, within a file too, and stops soon when asked to.
#pragma once

#include "data/PackedEntry.h"
#include "data/exchange/ContactImport.h"

#include <QStringList>

#include <atomic>
#include <vector>

namespace larkspan {

struct DropProgress
{
    std::atomic<int> filesRead{0};
    // How far the reader is in the file being read: bytes of its text.
    std::atomic<qint64> fileDone{0};
    std::atomic<qint64> fileTotal{0};
    std::atomic<bool> checking{false}; // reading is over; the contacts are checked against the list
    std::atomic<bool> cancel{false};   // set by anyone: the reading stops soon, inside a file too
};

struct DroppedFile
{
    QString path;
    ContactFile file; // its contacts are moved to DropContents::added
    int found = 0;    // contacts read from it
    int inList = 0;   // of those, equal to an entry of the list
    int repeated = 0; // equal to a contact found before it in the drop
};

struct DropContents
{
    bool cancelled = false;
    std::vector<DroppedFile> files;
    // The contacts to append, in the order of the files: neither in the list nor repeated.
    std::vector<PackedEntry> added;
};

// `list` is what the Entry list holds (copies share their storage, so a copy is cheap); it is
// only read.
DropContents readDrop(const QStringList &paths, LegacyCodePage codePage, const std::vector<PackedEntry> &list,
                      DropProgress &progress);

} // namespace larkspan
