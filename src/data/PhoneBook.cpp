#include "data/PhoneBook.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <exception>

namespace larkspan {

PhoneBook::PhoneBook(const QString &dataFile)
    : path_(QDir::current().absoluteFilePath(dataFile)), codePage_(legacyCodePageFor(QLocale()))
{
}

LoadResult PhoneBook::load()
{
    LoadResult result;
    try {
        FileBytes file = readWholeFile(path_);
        if (file.ok) {
            ParsedFile parsed = parseNumbersFile(file.bytes, codePage_);
            file.bytes = QByteArray();
            model_.replaceAll(std::move(parsed.entries));
            result.missingLines = parsed.missingLines;
            result.ok = true;
        } else {
            result.error = file.error;
        }
    } catch (const std::exception &e) {
        // Whatever stopped the reading (memory, a record too large), the file was not read whole.
        result.error = QString::fromLocal8Bit(e.what());
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

SaveResult PhoneBook::save()
{
    if (state_ == FileState::Unreadable)
        return {false, refusal_};
    return saveNumbersFile(path_, model_.store().rows());
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
