#include "data/PhoneBook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <exception>
#include <malloc.h>
#include <thread>

#include <sys/stat.h>

namespace larkspan {

namespace {

struct StableRead
{
    FileBytes file;
    FileIdentity identity;
    bool settled = true; // false: the file kept changing while it was read
};

// Reads the file whole, again while another program is in the middle of writing it (its identity
// differs before and after the reading), for half a second at most.
StableRead readStable(const QString &path)
{
    StableRead read;
    for (int attempt = 0; attempt < 25; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        read.identity = observeFile(path);
        read.file = mapWholeFile(path);
        if (!read.file.ok || observeFile(path).sameAs(read.identity))
            return read;
    }
    read.settled = false;
    return read;
}

} // namespace

// The file read and parsed, and its entries sorted by name, on the thread preload() starts.
struct PhoneBook::Prepared
{
    LegacyCodePage codePage;
    StableRead read;
    ParsedFile parsed;
    EntryStore sorted; // the parsed entries (sharing their storage) in name order
};

QString describeMerge(const MergeCounts &counts, const QString &fileName)
{
    QString text =
        QStringLiteral("\"%1\" was changed by another program since this one last read or saved it. "
                       "Its changes are now in the list together with yours:\n")
            .arg(fileName);
    const std::pair<int, const char *> lines[] = {
        {counts.added, "Entries added there, now at the end of the list: %1"},
        {counts.removed, "Entries removed there: %1"},
        {counts.changed, "Entries changed there: %1"},
        {counts.keptTwice, "Entries changed both there and here, kept twice (their version at the end of the "
                           "list): %1"},
        {counts.keptChanged, "Entries changed on one side and removed on the other, kept: %1"},
    };
    for (const auto &[count, line] : lines)
        if (count > 0)
            text += QLatin1Char('\n') + QString::fromLatin1(line).arg(count);
    return text;
}

PhoneBook::PhoneBook(const QString &dataFile)
    : path_(QDir::current().absoluteFilePath(dataFile)), codePage_(legacyCodePageFor(QLocale()))
{
}

PhoneBook::~PhoneBook() = default;

void PhoneBook::preload()
{
    // A book of 100,000 entries takes some 30 MB in blocks of a few hundred bytes, on two threads:
    // growing each heap 32 MB at a time spares the thousands of small steps (each a system call
    // that splits a mapping) it would grow by. Pages are only taken as they are used.
    mallopt(M_TOP_PAD, 32 << 20);
    // What the sort needs of the collation is made beside the reading.
    sortPrepared_ = std::async(std::launch::async, [] { EntryStore::prepareSort(); });
    prepared_ = std::async(std::launch::async, [path = path_, codePage = codePage_] {
        auto prepared = std::make_unique<Prepared>(Prepared{codePage, readStable(path), {}, {}});
        if (prepared->read.file.ok) {
            prepared->parsed = parseNumbersFile(prepared->read.file.bytes, codePage);
            prepared->read.file.drop();
            prepared->sorted.replaceAll(prepared->parsed.entries);
            prepared->sorted.sortByName();
        }
        return prepared;
    });
}

bool PhoneBook::fileMissing() const
{
    struct stat info;
    return ::lstat(QFile::encodeName(path_).constData(), &info) != 0 && errno == ENOENT;
}

LoadResult PhoneBook::load()
{
    LoadResult result;
    try {
        // What preload() prepared counts only if it was read in the code page asked for now; any
        // failure on its thread comes out of get() here, as it would from the reading below.
        std::unique_ptr<Prepared> prepared = prepared_.valid() ? prepared_.get() : nullptr;
        if (prepared && prepared->codePage != codePage_)
            prepared.reset();
        StableRead read = prepared ? std::move(prepared->read) : readStable(path_);
        if (read.file.ok) {
            ParsedFile parsed =
                prepared ? std::move(prepared->parsed) : parseNumbersFile(read.file.bytes, codePage_);
            read.file.drop();
            if (prepared && prepared->sorted.inNameOrder()) {
                // The list gets the sorted rows in one reset; the file's own order stays the base.
                model_.replaceAll(prepared->sorted.takeRows(), true);
                base_ = std::move(parsed.entries);
            } else {
                model_.replaceAll(std::move(parsed.entries));
                base_ = model_.store().rows();
            }
            known_ = read.identity;
            result.missingLines = parsed.missingLines;
            result.ok = true;
        } else {
            result.error = read.file.error;
        }
    } catch (const std::exception &e) {
        // Whatever stopped the reading (memory, a record too large), the file was not read whole.
        result.error = QString::fromLocal8Bit(e.what());
        base_.clear();
        model_.replaceAll({});
    }
    if (result.ok) {
        state_ = FileState::Loaded;
        refusal_.clear();
    } else {
        state_ = FileState::Unreadable;
        refusal_ = QStringLiteral("\"%1\" could not be read when the program started (%2), so it is not "
                                  "overwritten. Make it readable and start the program again.")
                       .arg(QFileInfo(path_).fileName(), result.error);
    }
    return result;
}

BookSave PhoneBook::save()
{
    if (state_ == FileState::Unreadable)
        return {false, refusal_, {}};
    const QString fileName = QFileInfo(path_).fileName();
    BookSave result;
    const FolderLock lock(path_);
    const FileIdentity now = observeFile(path_);
    // A file that is gone since holds nothing to merge: the list is written as it is. Anything
    // but a regular file is left to the replace, which refuses it.
    if (now.exists && now.regular && (known_.racy || !now.sameAs(known_))) {
        auto unreadAgain = [&](const QString &why) {
            result.error =
                QStringLiteral("\"%1\" was changed by another program and could not be read again (%2), "
                               "so it is not overwritten. Your entries are still in the list; save "
                               "again later.")
                    .arg(fileName, why);
        };
        StableRead read = readStable(path_);
        if (!read.settled || !read.file.ok) {
            unreadAgain(read.settled ? read.file.error : QStringLiteral("it is still being written"));
            return result;
        }
        try {
            ParsedFile theirs = parseNumbersFile(read.file.bytes, codePage_);
            read.file.drop();
            if (theirs.entries != base_) {
                MergeResult merged = mergeEntries(base_, theirs.entries, model_.store().rows());
                if (merged.counts.any()) { // not when the other program only put them in another order
                    result.otherWriter = describeMerge(merged.counts, fileName);
                    model_.replaceMerged(std::move(merged.entries), merged.rowOfOurs);
                }
            }
            base_ = std::move(theirs.entries);
            known_ = read.identity;
        } catch (const std::exception &e) {
            unreadAgain(QString::fromLocal8Bit(e.what()));
            return result;
        }
    }
    const SaveResult saved = saveNumbersFile(path_, model_.store().rows());
    result.ok = saved.ok;
    result.error = saved.error;
    if (saved.ok) {
        base_ = model_.store().rows();
        known_ = observeWrittenFile(path_);
    }
    return result;
}

int PhoneBook::append(const Contact &contact)
{
    return append(std::vector<Contact>{contact});
}

int PhoneBook::append(const std::vector<Contact> &contacts)
{
    std::vector<PackedEntry> entries;
    entries.reserve(contacts.size());
    for (const Contact &contact : contacts)
        entries.emplace_back(contact);
    return model_.append(std::move(entries));
}

void PhoneBook::remove(int row)
{
    model_.remove(row);
}

void PhoneBook::setField(int row, Field field, const QString &text)
{
    model_.setText(row, field, text);
}

void PhoneBook::sort()
{
    model_.sortByName();
}

} // namespace larkspan
