// Reading vCard 2.1, 3.0 and 4.0 cards into entries, and writing an entry as a vCard 4.0.
#include "data/exchange/VCard.h"

#include "data/TextDecoding.h"
#include "data/exchange/VCardParser.h"

#include <algorithm>

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

// Labels of the properties that have no field: each goes to Comments as "Label: value".
QString extraLabel(const QByteArray &name)
{
    static const std::pair<const char *, const char *> labels[] = {
        {"BDAY", "Birthday"},
        {"ANNIVERSARY", "Anniversary"},
        {"NICKNAME", "Nickname"},
        {"TITLE", "Title"},
        {"ROLE", "Role"},
        {"IMPP", "Instant messaging"},
        {"GEO", "Location"},
        {"TZ", "Time zone"},
        {"CATEGORIES", "Categories"},
        {"GENDER", "Gender"},
        {"LANG", "Language"},
        {"RELATED", "Related"},
        {"FBURL", "Free/busy"},
        {"CALURI", "Calendar"},
        {"CALADRURI", "Calendar requests"},
        {"EXPERTISE", "Expertise"},
        {"HOBBY", "Hobby"},
        {"INTEREST", "Interest"},
        {"ORG-DIRECTORY", "Directory"},
        {"BIRTHPLACE", "Birthplace"},
        {"DEATHDATE", "Date of death"},
        // Extensions that address books have long written for what 4.0 later named.
        {"X-ANNIVERSARY", "Anniversary"},
        {"X-GENDER", "Gender"},
        {"X-SPOUSE", "Spouse"},
        {"X-ASSISTANT", "Assistant"},
        {"X-MANAGER", "Manager"},
        {"X-SOCIALPROFILE", "Social profile"},
        {"X-AIM", "AIM"},
        {"X-ICQ", "ICQ"},
        {"X-JABBER", "Jabber"},
        {"X-MSN", "MSN"},
        {"X-YAHOO", "Yahoo"},
        {"X-SKYPE", "Skype"},
        {"X-SKYPE-USERNAME", "Skype"},
        {"X-GOOGLE-TALK", "Google Talk"},
        {"X-TWITTER", "Twitter"}};
    for (const auto &[property, label] : labels)
        if (name == property)
            return QLatin1String(label);
    // Any other: "X-CUSTOM-THING" reads as "Custom thing".
    QString label = QString::fromLatin1(name.startsWith("X-") ? name.mid(2) : name).toLower();
    label.replace(QLatin1Char('-'), QLatin1Char(' '));
    if (!label.isEmpty())
        label[0] = label[0].toUpper();
    return label;
}

// Properties that describe the card, not the person, or hold pictures, sounds and keys.
bool isIgnored(const QByteArray &name)
{
    static const char *const ignored[] = {"BEGIN", "END",    "VERSION", "PRODID",  "REV",    "UID",
                                          "PHOTO", "LOGO",   "SOUND",   "KEY",     "LABEL",  "CLIENTPIDMAP",
                                          "KIND",  "SOURCE", "NAME",    "PROFILE", "MAILER", "SORT-STRING",
                                          "CLASS", "MEMBER", "XML",     "AGENT",   "N",      "FN"};
    for (const char *skip : ignored)
        if (name == skip)
            return true;
    // Bookkeeping of particular address books, never typed by the user.
    static const char *const ownPrefixes[] = {"X-AB",         "X-MS-",       "X-ANDROID-",
                                              "X-EVOLUTION-", "X-MOZILLA-",  "X-PHONETIC-",
                                              "X-WAB-",       "X-RADICALE-", "X-ADDRESSBOOKSERVER-"};
    for (const char *prefix : ownPrefixes)
        if (name.startsWith(prefix))
            return true;
    return false;
}

Contact buildContact(std::vector<Property> &properties, LegacyCodePage codePage, bool *empty)
{
    // The preferred one of several numbers, addresses, e-mails or web sites comes first.
    std::stable_sort(properties.begin(), properties.end(),
                     [](const Property &a, const Property &b) { return a.pref < b.pref; });
    ContactBuilder builder;
    QString fullName;
    QStringList nameParts;
    std::vector<std::pair<int, const Property *>> addresses;
    for (const Property &property : properties) {
        if (property.binary)
            continue;
        const QByteArray &name = property.name;
        if (name == "KIND" && property.value.trimmed().compare("group", Qt::CaseInsensitive) == 0) {
            // A group card lists its members; it is not a person of its own.
            *empty = true;
            return {};
        }
        if (name == "FN") {
            const QString text = unescape(decodeValue(property, codePage));
            if (!hasText(fullName))
                fullName = text;
            else
                builder.addExtra(QStringLiteral("Name"), text);
        } else if (name == "N") {
            if (nameParts.isEmpty())
                nameParts = components(decodeValue(property, codePage), 5);
        } else if (name == "ADR") {
            // Home addresses before the others, work ones last.
            const int rank = hasType(property, "home") ? 0 : hasType(property, "work") ? 2 : 1;
            addresses.emplace_back(rank, &property);
        } else if (name == "TEL") {
            builder.addPhone(phoneKinds(property),
                             phoneNumber(unescape(decodeValue(property, codePage)), property.uri));
        } else if (name == "EMAIL") {
            builder.addEmail(unescape(decodeValue(property, codePage)));
        } else if (name == "URL") {
            builder.addWebSite(unescape(decodeValue(property, codePage)));
        } else if (name == "ORG") {
            QStringList units = components(decodeValue(property, codePage), 1);
            units.removeIf([](const QString &unit) { return !hasText(unit); });
            builder.setField(Work, units.join(QLatin1String(", ")), QStringLiteral("Organization"));
        } else if (name == "NOTE") {
            builder.addNote(unescape(decodeValue(property, codePage)));
        } else if (name == "RELATED" && !property.types.isEmpty()) {
            // "Spouse: Arjun Raman" says more than "Related: Arjun Raman".
            QString label = withoutByteOrderMarks(QString::fromUtf8(property.types.first()));
            if (!label.isEmpty())
                label.front() = label.front().toUpper();
            builder.addExtra(label.isEmpty() ? QStringLiteral("Related") : label,
                             unescape(decodeValue(property, codePage)));
        } else if (!isIgnored(name)) {
            builder.addExtra(extraLabel(name), unescape(decodeValue(property, codePage)));
        }
    }
    if (hasText(fullName))
        builder.setField(Name, fullName);
    else if (!nameParts.isEmpty())
        builder.setNameParts(words(nameParts[3]), words(nameParts[1]), words(nameParts[2]),
                             words(nameParts[0]), words(nameParts[4]));
    std::stable_sort(addresses.begin(), addresses.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[rank, property] : addresses) {
        const QStringList parts = components(decodeValue(*property, codePage), 7);
        PostalAddress address{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]};
        builder.addAddress(address, rank == 0   ? QStringLiteral("Home address")
                                    : rank == 2 ? QStringLiteral("Work address")
                                                : QStringLiteral("Address"));
    }
    *empty = builder.isEmpty();
    return builder.take();
}

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

ImportedContacts parseVCards(QByteArrayView input, LegacyCodePage codePage)
{
    ImportedContacts result;
    result.unreadable = vcard::readCards(utf8Bytes(input), [&](std::vector<vcard::Property> &properties) {
        bool empty = false;
        Contact contact = buildContact(properties, codePage, &empty);
        if (!empty)
            result.contacts.push_back(std::move(contact));
    });
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
