// Contacts in and out of the Entry list by drag and drop.
//
// In: vCard, CSV and "Numbers.dat" files dropped on the list are read, the user confirms what was
// found, and the contacts are appended at the end of the list (where the Add New Entry window
// puts a new entry) and the whole list saved at once. Out: dragging the selected row offers it as
// a vCard 4.0, both as data and as a .vcf file named after the contact.
#pragma once

#include "data/Contact.h"
#include "mainwindow/EntryList.h"

#include <QObject>
#include <QStringList>

#include <memory>

class QMimeData;
class QTemporaryDir;
class QUrl;

namespace larkspan {

class Form1;

inline constexpr char kVCardMimeType[] = "text/vcard";
// The name older address books and mail programs use.
inline constexpr char kLegacyVCardMimeType[] = "text/x-vcard";

class ContactTransfer : public QObject, public EntryDragHandler
{
    Q_OBJECT
public:
    explicit ContactTransfer(Form1 &window);
    ~ContactTransfer() override;

    // Local files are welcome, unless they come from the list itself.
    bool acceptsDrop(const QDropEvent &event) const override;
    // Takes the dropped files and reads them once the drop is over, so that the drag source
    // is not kept waiting while the user answers.
    void drop(const QDropEvent &event) override;
    void dragOut(int row) override;

    // Reads the files, reports the ones that hold no contacts, asks, and on Yes appends the
    // contacts and saves. Returns the number of entries added.
    int importFiles(const QStringList &paths);

    // What dragging `row` carries: the card as text/vcard and a .vcf file in a temporary folder
    // that lives as long as the program. The caller owns it.
    QMimeData *dragData(int row);

    // A file name for the card of a contact: the name without the characters file systems or
    // other systems refuse, ending in ".vcf".
    static QString cardFileName(const QString &contactName);

private:
    QUrl writeCardFile(const QString &contactName, const QByteArray &card);

    Form1 &window_;
    std::unique_ptr<QTemporaryDir> dragFolder_;
    int drags_ = 0;
    bool importing_ = false;
};

} // namespace larkspan
