// Reading vCard 2.1, 3.0 and 4.0 cards into entries, and writing an entry as a vCard 4.0.
#include "data/exchange/VCard.h"

#include "data/TextDecoding.h"
#include "data/exchange/VCardLabels.h"
#include "data/exchange/VCardParser.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <numeric>

namespace larkspan {

namespace {

using namespace vcard;

// A list inside a name component ("Mr.,Dr.") reads as words.
QString words(const QString &component)
{
    QString text = component;
    return text.replace(QLatin1Char(','), QLatin1Char(' ')).simplified();
}

bool hasType(const Property &property, const char *type)
{
    return property.types.contains(QByteArray(type));
}

unsigned phoneKinds(const Property &property)
{
    unsigned kinds = 0;
    for (const QByteArray &type : property.types) {
        if (type == "home")
            kinds |= PhoneHome;
        else if (type == "work")
            kinds |= PhoneWork;
        else if (type == "cell" || type == "mobile" || type == "iphone")
            kinds |= PhoneCell;
        else if (type == "fax")
            kinds |= PhoneFax;
        else if (type == "pager")
            kinds |= PhonePager;
        else if (type == "other" || type == "x-other")
            kinds |= PhoneOther;
    }
    return kinds;
}

// The kinds an Apple or Google label names for a number without a type ("Mobile", "HomeFAX",
// "Dad's cell"); -1 for a label of the person's own ("AssistantPhone", "Grand central").
int phoneKindsOfLabel(const QString &label)
{
    const QString text = label.toLower();
    const auto has = [&](const char *word) { return text.contains(QLatin1String(word)); };
    if (has("fax"))
        return has("work") ? PhoneFax | PhoneWork : PhoneFax;
    if (has("mobile") || has("cell") || has("iphone"))
        return PhoneCell;
    if (has("pager"))
        return PhonePager;
    if (has("work"))
        return PhoneWork;
    if (has("home") || has("main"))
        return PhoneHome;
    if (has("other"))
        return PhoneOther;
    return -1;
}

// A number that vCard 4.0 writes as a URI ("tel:+1-555-0100;ext=12"), as a person writes it.
QString phoneNumber(const QString &value, bool uri)
{
    if (!uri || !value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        return value;
    const QStringList parts = value.mid(4).split(QLatin1Char(';'));
    QString number = parts.first();
    for (const QString &parameter : parts.mid(1))
        if (parameter.startsWith(QLatin1String("ext="), Qt::CaseInsensitive))
            number += QLatin1String(" ext. ") + parameter.mid(4);
    return number;
}

int addressRank(const Property &property)
{
    // Home addresses before the others, work ones last.
    return hasType(property, "home") ? 0 : hasType(property, "work") ? 2 : 1;
}

QString addressLabel(int rank)
{
    return rank == 0   ? QStringLiteral("Home address")
           : rank == 2 ? QStringLiteral("Work address")
                       : QStringLiteral("Address");
}

// The words of a text, to tell whether an address label says more than the address.
QSet<QString> wordsOf(const QString &text)
{
    QSet<QString> found;
    static const QRegularExpression separators(QStringLiteral("[\\W_]+"));
    for (const QString &word : text.toCaseFolded().split(separators, Qt::SkipEmptyParts))
        found.insert(word);
    return found;
}

class CardContact
{
public:
    CardContact(std::vector<Property> &properties, LegacyCodePage codePage)
        : properties_(properties), codePage_(codePage)
    {
        // Apple names what a group holds by an X-ABLabel of the same group.
        for (const Property &property : properties_)
            if (property.name == "X-ABLABEL" && !property.group.isEmpty())
                groupLabels_.insert(property.group, appleLabel(text(property)));
    }

    // The entry; false when the card gives none.
    bool build(Contact &contact)
    {
        // The preferred one of several numbers, addresses, e-mails or web sites comes first.
        const auto byPreference = [](const Property &a, const Property &b) { return a.pref < b.pref; };
        if (!std::is_sorted(properties_.begin(), properties_.end(), byPreference))
            std::stable_sort(properties_.begin(), properties_.end(), byPreference);
        for (const Property &property : properties_) {
            if (property.binary)
                continue;
            if (property.name == "KIND" &&
                property.value.trimmed().compare("group", Qt::CaseInsensitive) == 0)
                return false; // a group card lists its members; it is not a person of its own
            read(property);
        }
        if (hasText(fullName_))
            builder_.setField(Name, fullName_);
        else if (!nameParts_.isEmpty())
            builder_.setNameParts(words(nameParts_[3]), words(nameParts_[1]), words(nameParts_[2]),
                                  words(nameParts_[0]), words(nameParts_[4]));
        addAddresses();
        if (builder_.isEmpty())
            return false;
        contact = builder_.take();
        return true;
    }

private:
    QString text(const Property &property) const { return unescape(decodeValue(property, codePage_)); }

    void read(const Property &property)
    {
        const QByteArray &name = property.name;
        if (name == "FN") {
            if (!hasText(fullName_))
                fullName_ = text(property);
            else
                builder_.addExtra(QStringLiteral("Name"), text(property));
        } else if (name == "N") {
            if (nameParts_.isEmpty())
                nameParts_ = components(decodeValue(property, codePage_), 5);
        } else if (name == "ADR") {
            addresses_.emplace_back(addressRank(property), &property);
        } else if (name == "LABEL") {
            labels_.emplace_back(addressRank(property), &property);
        } else if (name == "TEL") {
            addPhone(property);
        } else if (name == "EMAIL") {
            builder_.addEmail(text(property), groupLabel(property));
        } else if (name == "URL") {
            builder_.addWebSite(text(property), groupLabel(property));
        } else if (name == "ORG") {
            QStringList units = components(decodeValue(property, codePage_), 1);
            units.removeIf([](const QString &unit) { return !hasText(unit); });
            builder_.setField(Work, units.join(QLatin1String(", ")), QStringLiteral("Organization"));
        } else if (name == "NOTE") {
            builder_.addNote(text(property));
        } else if (name == "X-ANDROID-CUSTOM") {
            const LabelledValue custom = androidCustom(components(decodeValue(property, codePage_), 2));
            builder_.addExtra(custom.label, custom.value);
        } else if (name.startsWith("X-MESSAGING/")) {
            // KAddressBook parts the addresses of one service by U+E000, a character no font shows.
            builder_.addExtra(label(property), text(property).replace(QChar(0xE000), QLatin1String(", ")));
        } else if (!isBookkeeping(name)) {
            builder_.addExtra(label(property), text(property));
        }
    }

    // A number without a type goes where its label says; one the person labelled in words of
    // their own goes to Comments under that label, rather than pass for the person's own phone.
    void addPhone(const Property &property)
    {
        const QString number = phoneNumber(text(property), property.uri);
        const QString given = groupLabel(property);
        unsigned kinds = phoneKinds(property);
        if (kinds == 0 && !given.isEmpty()) {
            const int labelled = phoneKindsOfLabel(given);
            if (labelled < 0) {
                builder_.addExtra(kindLabel(QStringLiteral("Phone"), given), number);
                return;
            }
            kinds = unsigned(labelled);
        }
        builder_.addPhone(kinds, number, given);
    }

    // The label the person gave the property, the X-ABLabel of its group; empty without one.
    QString groupLabel(const Property &property) const
    {
        if (property.group.isEmpty())
            return {};
        const QString found = groupLabels_.value(property.group);
        return hasText(found) ? found : QString();
    }

    // The label the person gave, or the kind a relation names ("Spouse: Arjun Raman" says more
    // than "Related: Arjun Raman"), or what the property is called.
    QString label(const Property &property) const
    {
        if (const QString given = groupLabel(property); !given.isEmpty())
            return given;
        if ((property.name == "RELATED" || property.name == "X-ABRELATEDNAMES") &&
            !property.types.isEmpty()) {
            QString type = withoutByteOrderMarks(QString::fromUtf8(property.types.first()));
            if (!type.isEmpty() && type != QLatin1String("pref")) {
                type.front() = type.front().toUpper();
                return type;
            }
        }
        // Outlook's other numbers (callback, radio, TTY) say their use by a type: "Phone (Callback)".
        if (property.name == "X-MS-TEL")
            for (const QByteArray &type : property.types)
                if (type != "voice" && type != "pref" && !type.isEmpty()) {
                    QString use = QString::fromUtf8(type);
                    use.front() = use.front().toUpper();
                    return kindLabel(QStringLiteral("Phone"), use);
                }
        return propertyLabel(property.name);
    }

    // The addresses; without one, the address labels stand for them. A label beside an address
    // goes to Comments when it holds words the address does not.
    void addAddresses()
    {
        auto byRank = [](const auto &a, const auto &b) { return a.first < b.first; };
        std::stable_sort(addresses_.begin(), addresses_.end(), byRank);
        std::stable_sort(labels_.begin(), labels_.end(), byRank);
        QSet<QString> addressWords;
        for (const auto &[rank, property] : addresses_) {
            const QStringList parts = components(decodeValue(*property, codePage_), 7);
            PostalAddress address{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]};
            builder_.addAddress(address, kindLabel(addressLabel(rank), groupLabel(*property)));
            if (!labels_.empty()) // only a label is compared with them
                addressWords.unite(wordsOf(parts.join(QLatin1Char(' '))));
        }
        for (const auto &[rank, property] : labels_) {
            const QString label = text(*property);
            if (addresses_.empty()) {
                PostalAddress address;
                address.street = label; // its lines joined in one
                builder_.addAddress(address, addressLabel(rank));
            } else if (!addressWords.contains(wordsOf(label))) {
                builder_.addExtra(addressLabel(rank) + QStringLiteral(" label"), label);
            }
        }
    }

    std::vector<Property> &properties_;
    LegacyCodePage codePage_;
    QHash<QByteArray, QString> groupLabels_;
    ContactBuilder builder_;
    QString fullName_;
    QStringList nameParts_;
    std::vector<std::pair<int, const Property *>> addresses_, labels_;
};

void appendEscaped(QByteArray &out, const QString &value, bool escapeSeparators)
{
    const QByteArray utf8 = value.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r') {
            out += "\\n";
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
        } else if (c == '\n')
            out += "\\n";
        else if (escapeSeparators && (c == ',' || c == ';'))
            out += '\\', out += c;
        else
            out += c;
    }
}

// Ends a content line with CR LF, folded so that no line is longer than 75 bytes; a fold never
// splits a UTF-8 sequence.
void appendFolded(QByteArray &out, QByteArrayView line)
{
    qsizetype limit = 75;
    while (line.size() > limit) {
        qsizetype cut = limit;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out += line.first(cut);
        out += "\r\n ";
        line = line.sliced(cut);
        limit = 74;
    }
    out += line;
    out += "\r\n";
}

void appendProperty(QByteArray &out, const char *head, const QString &value, bool escapeSeparators = true)
{
    if (value.isEmpty())
        return;
    QByteArray line(head);
    line += ':';
    appendEscaped(line, value, escapeSeparators);
    appendFolded(out, line);
}

} // namespace

bool looksLikeVCard(QByteArrayView bytes)
{
    const QByteArray text = utf8Bytes(bytes.first(std::min<qsizetype>(bytes.size(), 4096)));
    const QByteArray start = text.trimmed();
    return start.size() >= 11 && start.first(11).compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0;
}

ImportedContacts parseVCards(QByteArrayView input, LegacyCodePage codePage, const ReadProgress &progress)
{
    ImportedContacts result;
    std::vector<int> orders; // of each contact's card
    const vcard::CardCounts counts = vcard::readCards(
        utf8Bytes(input),
        [&](std::vector<vcard::Property> &properties, int order) {
            Contact contact;
            if (!CardContact(properties, codePage).build(contact))
                return false;
            result.contacts.push_back(std::move(contact));
            orders.push_back(order);
            return true;
        },
        progress);
    if (counts.cancelled) {
        ImportedContacts stopped;
        stopped.cancelled = true;
        return stopped;
    }
    // In the order the cards begin in the file, an outer card before the one inside it.
    if (!std::is_sorted(orders.begin(), orders.end())) {
        std::vector<size_t> byOrder(orders.size());
        std::iota(byOrder.begin(), byOrder.end(), size_t(0));
        std::stable_sort(byOrder.begin(), byOrder.end(),
                         [&](size_t a, size_t b) { return orders[a] < orders[b]; });
        std::vector<Contact> sorted;
        sorted.reserve(byOrder.size());
        for (const size_t i : byOrder)
            sorted.push_back(std::move(result.contacts[i]));
        result.contacts = std::move(sorted);
    }
    result.unreadable = counts.unreadable;
    result.unreadableLines = counts.unreadableLines;
    return result;
}

QByteArray encodeVCard(const Contact &contact)
{
    QByteArray out;
    out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    appendFolded(out, "PRODID:-//Larkspan//Card Index//EN");
    // FN is the one property every card must have, even with an empty name.
    QByteArray fn("FN:");
    appendEscaped(fn, contact[Name], true);
    appendFolded(out, fn);
    if (!contact[Address].isEmpty() || !contact[Suburb].isEmpty() || !contact[State].isEmpty() ||
        !contact[PostCode].isEmpty() || !contact[Country].isEmpty()) {
        QByteArray adr("ADR;TYPE=home:;;");
        for (const Field field : {Address, Suburb, State, PostCode, Country}) {
            appendEscaped(adr, contact[field], true);
            if (field != Country)
                adr += ';';
        }
        appendFolded(out, adr);
    }
    appendProperty(out, "TEL;TYPE=home,voice", contact[Phone]);
    appendProperty(out, "TEL;TYPE=other,voice", contact[Phone2]);
    appendProperty(out, "TEL;TYPE=home,fax", contact[Fax]);
    appendProperty(out, "TEL;TYPE=cell,voice", contact[Mobile]);
    appendProperty(out, "ORG", contact[Work]);
    appendProperty(out, "TEL;TYPE=work,voice", contact[WorkNumber]);
    appendProperty(out, "TEL;TYPE=work,fax", contact[WorkFax]);
    appendProperty(out, "EMAIL", contact[Email]);
    // A URI has no escapes of its own: only a backslash or a line break needs one.
    appendProperty(out, "URL", contact[WebSite], false);
    appendProperty(out, "NOTE", contact[Comments]);
    out += "END:VCARD\r\n";
    return out;
}

} // namespace larkspan
