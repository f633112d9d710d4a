// Contacts dropped on the Entry list: vCard, CSV and "Numbers.dat" files are read, the user
// confirms what was found, and the contacts are appended at the end of the list (where the Add
// New Entry window puts a new entry) and the whole list is saved at once.
#pragma once

#include <QStringList>

#include <functional>

namespace larkspan {

class PhoneBook;

class ImportFlow
{
public:
    // `saveList` saves the whole list and reports its own failures, as the main window's save does.
    ImportFlow(PhoneBook &book, std::function<void()> saveList);

    struct Added
    {
        int first = 0; // the row of the first contact added
        int count = 0;
    };

    // Reads the files, reports the ones that hold no contacts, asks, and on Yes appends the
    // contacts and saves. Files dropped while a drop is still being answered are not taken.
    Added importFiles(const QStringList &paths);

private:
    PhoneBook &book_;
    std::function<void()> saveList_;
    bool importing_ = false;
};

} // namespace larkspan
