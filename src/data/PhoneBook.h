// The phone book: the one owner of the entries and of "Numbers.dat". It holds the entries in list
// order (through the Entry model, so that every change is seen by whatever shows them), the data
// file's absolute path, the code page that lines which are not UTF-8 are read in, and whether the
// file was read, so that a file that could not be read is never overwritten.
//
// Its operations return what failed; they never show anything. The windows report.
#pragma once

#include "data/EntryMerge.h"
#include "data/EntryModel.h"
#include "data/FileIdentity.h"
#include "data/LegacyCodec.h"
#include "data/NumbersFile.h"

#include <QString>

#include <future>
#include <memory>

namespace larkspan {

inline constexpr char kDataFileName[] = "Numbers.dat";

struct LoadResult
{
    bool ok = false;
    QString error; // the system's description when !ok
    // Lines missing from a last record that the end of the file cut short (0 to 15).
    int missingLines = 0;
};

struct BookSave
{
    bool ok = false;
    QString error;
    // What came from another program that wrote the file since this one last read or wrote it,
    // for the user; empty when nothing did.
    QString otherWriter;
};

// The text that tells the user what a merge took from the other writer.
QString describeMerge(const MergeCounts &counts, const QString &fileName);

class PhoneBook
{
public:
    enum class FileState {
        NotRead,    // not loaded yet, or missing at start-up (and created empty)
        Loaded,     // read whole into the list
        Unreadable, // there but could not be read: every save is refused
    };

    // `dataFile` is made absolute here, once.
    explicit PhoneBook(const QString &dataFile);
    ~PhoneBook();
    PhoneBook(const PhoneBook &) = delete;
    PhoneBook &operator=(const PhoneBook &) = delete;

    const QString &path() const { return path_; }
    FileState fileState() const { return state_; }
    // Why a save is refused, when it is (the file could not be read at start-up).
    const QString &saveRefusal() const { return refusal_; }

    // Lines that are not UTF-8 are read in this code page (the user's locale decides by default).
    LegacyCodePage legacyCodePage() const { return codePage_; }
    void setLegacyCodePage(LegacyCodePage codePage) { codePage_ = codePage; }

    EntryModel &model() { return model_; }
    const EntryModel &model() const { return model_; }
    int count() const { return model_.store().count(); }
    const PackedEntry &entry(int row) const { return model_.store().at(row); }
    QString text(int row, Field field) const { return model_.store().text(row, field); }

    // Whether there is no file at all by the name. A symbolic link whose target cannot be
    // reached (a share not mounted yet) is there: reading it fails, and it is never replaced.
    bool fileMissing() const;
    // Reads the file whole into the list, replacing what the list held. A file that cannot be
    // read, or whose reading fails part-way for any reason, leaves the list empty and makes every
    // later save a refusal.
    LoadResult load();
    // Starts reading the file, and sorting its entries by name, on a thread of its own, so that
    // the load() that follows finds the work done or under way and the next sort() has nothing
    // left to do. What load() gives and reports is the same either way. Call it once at most,
    // before load().
    void preload();
    // Replaces the file with the list, atomically; refused when the file could not be read.
    // When another program has written the file since this one last read or wrote it, its
    // changes are first merged into the list (see EntryMerge.h), and the model tells its views
    // where each row went (EntryModel::entriesMerged).
    BookSave save();

    // Appends at the end of the list; returns the row of the first.
    int append(const Contact &contact);
    int append(const std::vector<Contact> &contacts);
    int appendEntries(std::vector<PackedEntry> entries) { return model_.append(std::move(entries)); }
    void remove(int row);
    void setField(int row, Field field, const QString &text);
    // Ascending by name, case-insensitive in the user's locale; equal names keep their order.
    void sort();
    // The first row whose name contains `needle` regardless of case; -1 when none.
    int find(const QString &needle) const { return model_.store().findName(needle); }

private:
    struct Prepared;

    QString path_;
    LegacyCodePage codePage_;
    FileState state_ = FileState::NotRead;
    QString refusal_;
    EntryModel model_;
    // The file as this program last read or wrote it, and the entries it then held (they share
    // their storage with the list's).
    FileIdentity known_;
    std::vector<PackedEntry> base_;
    std::future<std::unique_ptr<Prepared>> prepared_;
    std::future<void> sortPrepared_;
};

} // namespace larkspan
