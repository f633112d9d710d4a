// What the contact readers share: the result of reading a file, and the builder that places what
// an address book knows about a person into the sixteen fields of an entry.
//
// Nothing the user had is dropped: a value without a field of its own, or one whose field is
// taken already, goes to Comments as a line "Label: value".
#pragma once

#include "data/Contact.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

namespace larkspan {

struct ImportedContacts
{
    std::vector<Contact> contacts;
    // Cards, rows or records that were malformed and skipped whole.
    int unreadable = 0;
    // Lines inside cards that were kept that could not be read, and were left out.
    int unreadableLines = 0;
    // The character set the file was read in, when it was not UTF-8 and had to be told
    // ("Shift_JIS", "windows-1250"); empty for UTF-8 and for files that name theirs.
    QString encoding;
    // The reading was stopped part-way (see ReadProgress): nothing above counts.
    bool cancelled = false;
};

// The kinds of telephone number an address book labels; combined as flags.
enum PhoneKind : unsigned {
    PhoneHome = 1,
    PhoneWork = 2,
    PhoneCell = 4,
    PhoneFax = 8,
    PhonePager = 16,
    PhoneOther = 32,
};

struct PostalAddress
{
    QString poBox, extended, street, locality, region, postCode, country;
    bool isEmpty() const;
    // Every part in one line, for Comments.
    QString oneLine() const;
};

class ContactBuilder
{
public:
    // A value for `field`. When the field is taken already the value goes to Comments under
    // `label` (the field's column header when empty). Comments values are notes.
    void setField(Field field, const QString &value, const QString &label = {});
    // The parts of a name, used when no whole name was given.
    void setNameParts(const QString &prefix, const QString &given, const QString &middle,
                      const QString &family, const QString &suffix);
    // Home and unlabelled numbers fill Phone, then Phone 2; "other" ones Phone 2, then Phone;
    // cell, fax and work numbers go to their own fields. A number that finds its field taken goes
    // to Comments; the same number twice is kept once. `given` is the label the person gave
    // the value ("Blog", "Grand central"); in Comments it follows the kind: "WebSite (Blog)".
    void addPhone(unsigned kinds, const QString &number, const QString &given = {});
    void addEmail(const QString &address, const QString &given = {});
    void addWebSite(const QString &url, const QString &given = {});
    // The first address that is not empty fills the address fields; later ones go to Comments
    // under `label`.
    void addAddress(const PostalAddress &address, const QString &label);
    void addNote(const QString &text);
    void addExtra(const QString &label, const QString &value);

    // True when nothing at all was added.
    bool isEmpty() const { return empty_; }
    // The entry: a missing name is taken from the company, the e-mail address or the first
    // number; Comments holds the notes, then one "Label: value" line per extra.
    Contact take();

private:
    Contact contact_;
    QString nameFromParts_;
    QStringList notes_;
    QStringList extras_;
    QSet<QString> extrasSeen_; // the lines of extras_, to keep each once
    QSet<QString> phones_;     // the numbers placed, by use and digits
    QString firstNumber_;
    bool addressTaken_ = false;
    bool empty_ = true;
};

// A value holds something when it is not empty or blank.
bool hasText(const QString &value);

// The label of a value in Comments: its kind, followed by the label the person gave it, if any.
QString kindLabel(const QString &kind, const QString &given);

} // namespace larkspan
