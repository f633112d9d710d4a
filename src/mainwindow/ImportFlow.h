// Contacts dropped on the Entry list: vCard, CSV and "Numbers.dat" files are read, the user
// confirms what was found, and the contacts are appended at the end of the list (where the Add
// New Entry window puts a new entry) and the whole list is saved at once. A contact the list
// holds already, field for field, is not added again.
#pragma once

#include <QStringList>

#include <functional>

class QWidget;

namespace larkspan {

class PhoneBook;
struct DropContents;

class ImportFlow
{
public:
    // `saveList` saves the whole list and reports its own failures, as the main window's save
    // does. The progress of a long drop shows over `window`.
    ImportFlow(PhoneBook &book, QWidget *window, std::function<void()> saveList);

    struct Added
    {
        int first = 0; // the row of the first contact added
        int count = 0;
    };

    // Reads the files, reports the ones that hold no contacts, asks, and on Yes appends the
    // contacts and saves. The files are read on a thread of their own; a drop that takes longer
    // than half a second shows its progress, and Cancel there adds nothing. Files dropped while
    // a drop is still being read or answered are not taken.
    Added importFiles(const QStringList &paths);

    // For tests: how long a drop reads before its progress shows (milliseconds), and a step the
    // reading thread runs before it reads (none when empty).
    static void setProgressSeams(int delayMs, std::function<void()> beforeReading);

private:
    // False when the user cancelled.
    bool readFiles(const QStringList &paths, DropContents &drop);

    PhoneBook &book_;
    QWidget *window_;
    std::function<void()> saveList_;
    bool importing_ = false;
};

} // namespace larkspan
