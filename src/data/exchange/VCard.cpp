// Reading vCard 2.1, 3.0 and 4.0 cards into entries, and writing an entry as a vCard 4.0.
#include "data/exchange/VCard.h"

#include "data/TextDecoding.h"

#include <QStringDecoder>

#include <algorithm>

namespace larkspan {

namespace {

enum class Version { V21, V30, V40 };

struct Property
{
    QByteArray name;         // upper case, without its group ("item1.")
    QList<QByteArray> types; // lower case
    bool quotedPrintable = false;
    bool binary = false;
    bool uri = false; // VALUE=uri: "tel:+1-555-0100"
    QByteArray charset;
    int pref = 100;   // 1 is the most preferred
    QByteArray value; // as written, still encoded and escaped
};

bool isBlank(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool isLine(QByteArrayView line, const char *expected)
{
    return line.trimmed().compare(expected, Qt::CaseInsensitive) == 0;
}

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

QByteArray unquoted(QByteArrayView value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.sliced(1, value.size() - 2);
    return value.toByteArray();
}

void addParameter(QByteArrayView parameter, Property &property)
{
    const qsizetype equals = parameter.indexOf('=');
    const QByteArray key =
        (equals < 0 ? parameter : parameter.first(equals)).trimmed().toByteArray().toUpper();
    if (equals < 0) {
        // vCard 2.1 writes bare values: TEL;HOME;VOICE, NOTE;QUOTED-PRINTABLE.
        if (key == "QUOTED-PRINTABLE")
            property.quotedPrintable = true;
        else if (key == "BASE64" || key == "B")
            property.binary = true;
        else if (key == "PREF")
            property.pref = 1;
        else if (!key.isEmpty() && key != "8BIT" && key != "7BIT")
            property.types.append(key.toLower());
        return;
    }
    const QByteArray value = unquoted(parameter.sliced(equals + 1));
    if (key == "ENCODING") {
        const QByteArray encoding = value.toUpper();
        property.quotedPrintable = encoding == "QUOTED-PRINTABLE";
        property.binary = encoding == "B" || encoding == "BASE64";
    } else if (key == "CHARSET") {
        property.charset = value;
    } else if (key == "PREF") {
        bool ok = false;
        const int pref = value.toInt(&ok);
        if (ok)
            property.pref = std::min(property.pref, pref);
    } else if (key == "TYPE") {
        for (const QByteArray &type : value.split(',')) {
            const QByteArray lower = unquoted(type).toLower();
            if (lower == "pref") // vCard 3.0's way of saying PREF=1
                property.pref = 1;
            else if (!lower.isEmpty())
                property.types.append(lower);
        }
    } else if (key == "VALUE") {
        property.binary = value.compare("binary", Qt::CaseInsensitive) == 0;
        property.uri = value.compare("uri", Qt::CaseInsensitive) == 0;
    }
}

// Splits "group.NAME;PARAM=x;PARAM:value". False when the line is not a property.
bool parseProperty(QByteArrayView line, Property &property)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] != ';' && line[i] != ':')
        ++i;
    if (i == line.size())
        return false;
    QByteArrayView name = line.first(i).trimmed();
    if (name.isEmpty() || !std::all_of(name.begin(), name.end(), isNameChar))
        return false;
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.sliced(dot + 1);
    if (name.isEmpty())
        return false;
    property.name = name.toByteArray().toUpper();
    while (line[i] == ';') {
        const qsizetype start = ++i;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ';' && line[i] != ':'))) {
            if (line[i] == '"')
                quoted = !quoted;
            ++i;
        }
        if (i == line.size())
            return false;
        addParameter(line.sliced(start, i - start), property);
    }
    property.value = line.sliced(i + 1).toByteArray();
    if (property.value.startsWith("data:"))
        property.binary = true;
    return true;
}

bool isQuotedPrintableLine(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView head = colon < 0 ? line : line.first(colon);
    return head.toByteArray().toUpper().contains("QUOTED-PRINTABLE");
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView encoded)
{
    QByteArray decoded;
    decoded.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '=' && i + 2 < encoded.size() && hexDigit(encoded[i + 1]) >= 0 &&
            hexDigit(encoded[i + 2]) >= 0) {
            decoded.append(char(hexDigit(encoded[i + 1]) * 16 + hexDigit(encoded[i + 2])));
            i += 2;
        } else if (c == '=' && i + 1 == encoded.size()) {
            // A soft line break that ended the value.
        } else {
            decoded.append(c);
        }
    }
    return decoded;
}

QString decodeValue(const Property &property, LegacyCodePage codePage)
{
    const QByteArray bytes =
        property.quotedPrintable ? decodeQuotedPrintable(property.value) : property.value;
    const QByteArray charset = property.charset.toLower();
    if (charset.isEmpty() || charset == "utf-8" || charset == "utf8" || charset == "us-ascii")
        return decodeText(bytes, codePage);
    if (charset == "windows-1252" || charset == "cp1252")
        return decodeLegacy(bytes, LegacyCodePage::Windows1252);
    if (charset == "windows-1251" || charset == "cp1251")
        return decodeLegacy(bytes, LegacyCodePage::Windows1251);
    QStringDecoder decoder(property.charset.constData());
    if (decoder.isValid()) {
        QString text = decoder(bytes);
        if (!decoder.hasError())
            return withoutByteOrderMarks(text);
    }
    return decodeText(bytes, codePage);
}

// Undoes the backslash escapes of a text value: \n and \N are line breaks, \, \; \\ themselves.
QString unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out.append(c);
            continue;
        }
        const QChar next = text[++i];
        if (next == QLatin1Char('n') || next == QLatin1Char('N'))
            out.append(QLatin1Char('\n'));
        else if (next == QLatin1Char(',') || next == QLatin1Char(';') || next == QLatin1Char('\\') ||
                 next == QLatin1Char(':'))
            out.append(next);
        else
            out.append(c).append(next);
    }
    return out;
}

// The components of a structured value (N, ADR, ORG), split at the semicolons that are not
// escaped, each unescaped.
QStringList components(const QString &value, qsizetype minimum)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\'))
            ++i;
        else if (value[i] == QLatin1Char(';')) {
            parts.append(unescape(QStringView(value).sliced(start, i - start)));
            start = i + 1;
        }
    }
    parts.append(unescape(QStringView(value).sliced(start)));
    while (parts.size() < minimum)
        parts.append(QString());
    return parts;
}

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

// Reads cards line by line: a card is BEGIN:VCARD ... END:VCARD; anything between cards is
// ignored.
class CardReader
{
public:
    explicit CardReader(LegacyCodePage codePage) : codePage_(codePage) {}

    void line(QByteArrayView line)
    {
        if (!inCard_) {
            if (isLine(line, "BEGIN:VCARD"))
                startCard();
            return;
        }
        if (isLine(line, "BEGIN:VCARD")) {
            // The card before never ended.
            ++result_.unreadable;
            startCard();
            return;
        }
        if (isLine(line, "END:VCARD")) {
            inCard_ = false;
            if (malformed_) {
                ++result_.unreadable;
                return;
            }
            bool empty = false;
            Contact contact = buildContact(properties_, codePage_, &empty);
            if (!empty)
                result_.contacts.push_back(std::move(contact));
            return;
        }
        if (malformed_ || isBlank(line))
            return;
        Property property;
        if (!parseProperty(line, property)) {
            malformed_ = true;
            return;
        }
        if (property.name == "VERSION") {
            const QByteArray version = property.value.trimmed();
            version_ = version == "2.1" ? Version::V21 : version == "4.0" ? Version::V40 : Version::V30;
        }
        properties_.push_back(std::move(property));
    }

    ImportedContacts finish()
    {
        if (inCard_)
            ++result_.unreadable; // cut short
        inCard_ = false;
        return std::move(result_);
    }

    // vCard 2.1 folds by breaking the line before a space that stays; later versions insert the
    // space that unfolding removes.
    bool keepsFoldingSpace() const { return inCard_ && version_ == Version::V21; }

private:
    void startCard()
    {
        inCard_ = true;
        malformed_ = false;
        version_ = Version::V30;
        properties_.clear();
    }

    LegacyCodePage codePage_;
    ImportedContacts result_;
    std::vector<Property> properties_;
    Version version_ = Version::V30;
    bool inCard_ = false;
    bool malformed_ = false;
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

ImportedContacts parseVCards(QByteArrayView input, LegacyCodePage codePage)
{
    const QByteArray bytes = utf8Bytes(input);
    CardReader reader(codePage);
    QByteArray logical;
    bool haveLogical = false;
    const char *pos = bytes.constData();
    const char *const end = pos + bytes.size();
    while (pos < end) {
        const char *stop = pos;
        while (stop < end && *stop != '\r' && *stop != '\n')
            ++stop;
        const QByteArrayView line(pos, stop - pos);
        pos = stop;
        if (pos < end && *pos++ == '\r' && pos < end && *pos == '\n')
            ++pos;

        if (haveLogical) {
            if (logical.endsWith('=') && isQuotedPrintableLine(logical)) {
                // A quoted-printable soft line break: the value goes on in the next line.
                logical.chop(1);
                logical += line;
                continue;
            }
            if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
                logical += reader.keepsFoldingSpace() ? line : line.sliced(1);
                continue;
            }
            reader.line(logical);
        }
        logical = line.toByteArray();
        haveLogical = true;
    }
    if (haveLogical)
        reader.line(logical);
    return reader.finish();
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
