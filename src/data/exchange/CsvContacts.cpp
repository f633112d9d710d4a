// Reading contacts from CSV files by their column headers.
#include "data/exchange/CsvContacts.h"

#include "data/TextDecoding.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <map>

namespace larkspan {

namespace {

// ---- Splitting the file into rows of fields ----

struct Row
{
    QList<QByteArray> fields;
    bool malformed = false;
};

class Tokenizer
{
public:
    Tokenizer(QByteArrayView bytes, char delimiter)
        : pos_(bytes.data()), end_(bytes.data() + bytes.size()), delimiter_(delimiter)
    {
    }

    bool atEnd() const { return pos_ == end_; }

    // The next row; a quoted field may hold delimiters and line breaks.
    Row next()
    {
        Row row;
        for (;;) {
            QByteArray field;
            if (pos_ < end_ && *pos_ == '"')
                readQuoted(field, row);
            readPlain(field);
            row.fields.append(std::move(field));
            if (pos_ < end_ && *pos_ == delimiter_) {
                ++pos_;
                continue;
            }
            if (pos_ < end_ && *pos_++ == '\r' && pos_ < end_ && *pos_ == '\n')
                ++pos_;
            return row;
        }
    }

private:
    void readQuoted(QByteArray &field, Row &row)
    {
        ++pos_;
        for (;;) {
            const char *quote = static_cast<const char *>(std::memchr(pos_, '"', size_t(end_ - pos_)));
            if (!quote) {
                // The quote never closes: the rest of the file is this one broken row.
                field.append(pos_, end_ - pos_);
                pos_ = end_;
                row.malformed = true;
                return;
            }
            field.append(pos_, quote - pos_);
            pos_ = quote + 1;
            if (pos_ < end_ && *pos_ == '"') {
                field.append('"');
                ++pos_;
                continue;
            }
            // Anything but a delimiter or a line end after the closing quote is not CSV.
            if (pos_ < end_ && *pos_ != delimiter_ && *pos_ != '\r' && *pos_ != '\n')
                row.malformed = true;
            return;
        }
    }

    void readPlain(QByteArray &field)
    {
        const char *start = pos_;
        while (pos_ < end_ && *pos_ != delimiter_ && *pos_ != '\r' && *pos_ != '\n')
            ++pos_;
        field.append(start, pos_ - start);
    }

    const char *pos_;
    const char *end_;
    char delimiter_;
};

// The delimiter that splits the header row into the most columns (comma on a tie).
char detectDelimiter(QByteArrayView header)
{
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    while (header.startsWith('\r') || header.startsWith('\n'))
        header = header.sliced(1);
    for (const char c : header) {
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '\r' || c == '\n')
            break;
        else if (c == ',')
            ++commas;
        else if (c == ';')
            ++semicolons;
        else if (c == '\t')
            ++tabs;
    }
    if (semicolons > commas && semicolons >= tabs)
        return ';';
    if (tabs > commas && tabs > semicolons)
        return '\t';
    return ',';
}

// Excel writes "sep=;" as the first line to name the delimiter.
QByteArrayView skipSeparatorLine(QByteArrayView bytes, char *delimiter)
{
    if (bytes.size() >= 5 && bytes.first(4).compare("sep=", Qt::CaseInsensitive) == 0 &&
        (bytes.size() == 5 || bytes[5] == '\r' || bytes[5] == '\n')) {
        *delimiter = bytes[4];
        bytes = bytes.sliced(5);
        if (bytes.startsWith('\r'))
            bytes = bytes.sliced(1);
        if (bytes.startsWith('\n'))
            bytes = bytes.sliced(1);
        return bytes;
    }
    *delimiter = detectDelimiter(bytes);
    return bytes;
}

// ---- What each column holds ----

enum class Role {
    Extra,  // no field of its own: Comments, under its header
    Ignore, // bookkeeping of the exporting program
    Field,  // one of our sixteen fields, as our own export names it
    Name,
    Prefix,
    Given,
    Middle,
    Family,
    Suffix,
    Phone,
    Email,
    WebSite,
    Organization,
    Note,
    AddressPart,
    Typed,     // "Phone 1 - Value" and the like: the row's "Type" column says what it is
    TypeLabel, // "Phone 1 - Type"
};

enum class Part { Street, Street2, Extended, PoBox, City, Region, PostCode, Country, Type, Other };

struct Column
{
    Role role = Role::Extra;
    Field field = Name;
    unsigned phoneKinds = 0;
    Part part = Part::Other;
    int group = -1; // address or typed group
    QString header;
};

// A group of columns that belong together: one address, or one numbered "Phone 1 - ..." set.
struct Group
{
    QString kind;        // "home", "work", "other", "" for addresses; "phone", "email", ... for typed
    int typeColumn = -1; // the column that names the kind of the values, if any
    int serviceColumn = -1;
    QString base; // "Relation", "Event": the label when there is no type
};

// Lower-case letters and digits only: "E-mail Address" and "email address" are the same column.
QString normalized(const QString &header)
{
    QString key;
    for (const QChar c : header)
        if (c.isLetterOrNumber())
            key.append(c.toLower());
    return key;
}

struct KnownColumn
{
    const char *key;
    Role role;
    Field field;
    unsigned phoneKinds;
};

const std::map<QString, KnownColumn> &knownColumns()
{
    static const std::map<QString, KnownColumn> columns = [] {
        static const KnownColumn table[] = {
            // Our own export, and the labels of our windows.
            {"name", Role::Field, Name, 0},
            {"address", Role::Field, Address, 0},
            {"suburb", Role::Field, Suburb, 0},
            {"state", Role::Field, State, 0},
            {"postcode", Role::Field, PostCode, 0},
            {"country", Role::Field, Country, 0},
            {"phone", Role::Field, Phone, 0},
            {"phone2", Role::Field, Phone2, 0},
            {"fax", Role::Field, Fax, 0},
            {"mobile", Role::Field, Mobile, 0},
            {"work", Role::Field, Work, 0},
            {"worknumber", Role::Field, WorkNumber, 0},
            {"workfax", Role::Field, WorkFax, 0},
            {"email", Role::Field, Email, 0},
            {"website", Role::Field, WebSite, 0},
            {"comments", Role::Field, Comments, 0},
            {"zipcode", Role::Field, PostCode, 0},
            {"postalcode", Role::Field, PostCode, 0},
            {"zip", Role::Field, PostCode, 0},
            {"cell", Role::Field, Mobile, 0},
            {"cophone", Role::Field, WorkNumber, 0},
            {"cofax", Role::Field, WorkFax, 0},
            {"site", Role::Field, WebSite, 0},
            {"additional", Role::Field, Comments, 0},
            {"street", Role::Field, Address, 0},
            {"city", Role::Field, Suburb, 0},
            {"town", Role::Field, Suburb, 0},
            {"countryregion", Role::Field, Country, 0},
            // Names.
            {"displayname", Role::Name, Name, 0},
            {"fullname", Role::Name, Name, 0},
            {"formattedname", Role::Name, Name, 0},
            {"firstname", Role::Given, Name, 0},
            {"givenname", Role::Given, Name, 0},
            {"middlename", Role::Middle, Name, 0},
            {"additionalname", Role::Middle, Name, 0},
            {"lastname", Role::Family, Name, 0},
            {"familyname", Role::Family, Name, 0},
            {"surname", Role::Family, Name, 0},
            {"nameprefix", Role::Prefix, Name, 0},
            {"prefix", Role::Prefix, Name, 0},
            {"suffix", Role::Suffix, Name, 0},
            {"namesuffix", Role::Suffix, Name, 0},
            // Companies.
            {"company", Role::Organization, Work, 0},
            {"companyname", Role::Organization, Work, 0},
            {"organization", Role::Organization, Work, 0},
            {"organisation", Role::Organization, Work, 0},
            {"organizationname", Role::Organization, Work, 0},
            // Numbers.
            {"homephone", Role::Phone, Phone, PhoneHome},
            {"homephone2", Role::Phone, Phone, PhoneHome},
            {"homefax", Role::Phone, Phone, PhoneHome | PhoneFax},
            {"businessphone", Role::Phone, Phone, PhoneWork},
            {"businessphone2", Role::Phone, Phone, PhoneWork},
            {"workphone", Role::Phone, Phone, PhoneWork},
            {"officephone", Role::Phone, Phone, PhoneWork},
            {"companymainphone", Role::Phone, Phone, PhoneWork},
            {"businessfax", Role::Phone, Phone, PhoneWork | PhoneFax},
            {"mobilephone", Role::Phone, Phone, PhoneCell},
            {"mobilenumber", Role::Phone, Phone, PhoneCell},
            {"cellphone", Role::Phone, Phone, PhoneCell},
            {"otherphone", Role::Phone, Phone, PhoneOther},
            {"otherfax", Role::Phone, Phone, PhoneFax},
            {"faxnumber", Role::Phone, Phone, PhoneFax},
            {"pager", Role::Phone, Phone, PhonePager},
            {"pagernumber", Role::Phone, Phone, PhonePager},
            {"primaryphone", Role::Phone, Phone, 0},
            {"telephone", Role::Phone, Phone, 0},
            {"phonenumber", Role::Phone, Phone, 0},
            // E-mail and web.
            {"emailaddress", Role::Email, Email, 0},
            {"email2address", Role::Email, Email, 0},
            {"email3address", Role::Email, Email, 0},
            {"primaryemail", Role::Email, Email, 0},
            {"secondemail", Role::Email, Email, 0},
            {"secondaryemail", Role::Email, Email, 0},
            {"email1", Role::Email, Email, 0},
            {"email2", Role::Email, Email, 0},
            {"email3", Role::Email, Email, 0},
            {"webpage", Role::WebSite, WebSite, 0},
            {"webpage1", Role::WebSite, WebSite, 0},
            {"webpage2", Role::WebSite, WebSite, 0},
            {"webaddress", Role::WebSite, WebSite, 0},
            {"url", Role::WebSite, WebSite, 0},
            {"homepage", Role::WebSite, WebSite, 0},
            {"personalwebpage", Role::WebSite, WebSite, 0},
            {"notes", Role::Note, Comments, 0},
            {"note", Role::Note, Comments, 0},
            // Bookkeeping of the exporting program, never typed by the user.
            {"emailtype", Role::Ignore, Name, 0},
            {"emaildisplayname", Role::Ignore, Name, 0},
            {"email2type", Role::Ignore, Name, 0},
            {"email2displayname", Role::Ignore, Name, 0},
            {"email3type", Role::Ignore, Name, 0},
            {"email3displayname", Role::Ignore, Name, 0},
            {"priority", Role::Ignore, Name, 0},
            {"sensitivity", Role::Ignore, Name, 0},
            {"private", Role::Ignore, Name, 0},
            {"initials", Role::Ignore, Name, 0},
            {"groupmembership", Role::Ignore, Name, 0},
            {"photo", Role::Ignore, Name, 0},
        };
        std::map<QString, KnownColumn> map;
        for (const KnownColumn &column : table)
            map.emplace(QString::fromLatin1(column.key), column);
        return map;
    }();
    return columns;
}

// "Home Street 2", "Business Postal Code", "Work City": an address column with its group.
bool addressColumn(const QString &key, QString *group, Part *part)
{
    static const std::pair<const char *, const char *> prefixes[] = {
        {"home", "home"}, {"business", "work"}, {"work", "work"}, {"other", "other"}};
    static const std::pair<const char *, Part> parts[] = {
        {"street", Part::Street},        {"street2", Part::Street2},
        {"street3", Part::Street2},      {"address", Part::Street},
        {"address1", Part::Street},      {"address2", Part::Street2},
        {"address3", Part::Street2},     {"addresspobox", Part::PoBox},
        {"pobox", Part::PoBox},          {"city", Part::City},
        {"state", Part::Region},         {"region", Part::Region},
        {"province", Part::Region},      {"postalcode", Part::PostCode},
        {"zipcode", Part::PostCode},     {"zip", Part::PostCode},
        {"postcode", Part::PostCode},    {"country", Part::Country},
        {"countryregion", Part::Country}};
    for (const auto &[prefix, name] : prefixes) {
        if (!key.startsWith(QLatin1String(prefix)))
            continue;
        const QString rest = key.mid(qsizetype(qstrlen(prefix)));
        for (const auto &[partName, which] : parts) {
            if (rest == QLatin1String(partName)) {
                *group = QLatin1String(name);
                *part = which;
                return true;
            }
        }
    }
    return false;
}

Part typedAddressPart(const QString &attribute)
{
    static const std::pair<const char *, Part> parts[] = {
        {"street", Part::Street},   {"extendedaddress", Part::Extended},
        {"pobox", Part::PoBox},     {"city", Part::City},
        {"region", Part::Region},   {"postalcode", Part::PostCode},
        {"country", Part::Country}, {"type", Part::Type},
        {"label", Part::Type}};
    for (const auto &[name, part] : parts)
        if (attribute == QLatin1String(name))
            return part;
    return Part::Other;
}

struct Plan
{
    std::vector<Column> columns;
    std::vector<Group> groups;
    bool known = false; // at least one column we know
};

int groupIndex(Plan &plan, std::map<QString, int> &byKey, const QString &key, const QString &kind,
               const QString &base)
{
    const auto found = byKey.find(key);
    if (found != byKey.end())
        return found->second;
    plan.groups.push_back(Group{kind, -1, -1, base});
    byKey.emplace(key, int(plan.groups.size()) - 1);
    return int(plan.groups.size()) - 1;
}

Plan planColumns(const QStringList &headers)
{
    // Google's export numbers its repeated columns: "Phone 1 - Type", "Phone 1 - Value".
    static const QRegularExpression numbered(QStringLiteral("^\\s*(.*?)\\s*(\\d+)\\s*-\\s*(.*?)\\s*$"));
    Plan plan;
    std::map<QString, int> groups;
    for (int index = 0; index < headers.size(); ++index) {
        const QString &header = headers[index];
        Column column;
        column.header = header.trimmed();
        if (!hasText(column.header))
            column.header = QStringLiteral("Column %1").arg(index + 1);
        const QString key = normalized(header);
        QString groupName;
        Part part = Part::Other;
        const auto known = knownColumns().find(key);
        if (known != knownColumns().end()) {
            column.role = known->second.role;
            column.field = known->second.field;
            column.phoneKinds = known->second.phoneKinds;
        } else if (addressColumn(key, &groupName, &part)) {
            column.role = Role::AddressPart;
            column.part = part;
            column.group = groupIndex(plan, groups, QStringLiteral("address:") + groupName, groupName, {});
        } else if (const QRegularExpressionMatch match = numbered.match(header); match.hasMatch()) {
            const QString base = normalized(match.captured(1));
            const QString attribute = normalized(match.captured(3));
            const bool isAddress = base == QLatin1String("address");
            const int group = groupIndex(plan, groups, base + match.captured(2), isAddress ? QString() : base,
                                         match.captured(1));
            column.group = group;
            if (isAddress) {
                column.part = typedAddressPart(attribute);
                column.role = column.part == Part::Other ? Role::Ignore : Role::AddressPart;
                if (column.part == Part::Type)
                    plan.groups[size_t(group)].typeColumn = index;
            } else if (attribute == QLatin1String("type") || attribute == QLatin1String("label")) {
                column.role = Role::TypeLabel;
                plan.groups[size_t(group)].typeColumn = index;
            } else if (attribute == QLatin1String("service")) {
                column.role = Role::TypeLabel;
                plan.groups[size_t(group)].serviceColumn = index;
            } else if (base == QLatin1String("organization") && attribute == QLatin1String("name")) {
                column.role = Role::Organization;
            } else if (attribute == QLatin1String("value")) {
                column.role = Role::Typed;
            } else {
                // "Organization 1 - Title" goes to Comments as "Title: ...".
                column.role = Role::Extra;
                column.header = match.captured(3);
            }
        }
        if (column.role != Role::Extra && column.role != Role::Ignore && column.role != Role::TypeLabel)
            plan.known = true;
        plan.columns.push_back(std::move(column));
    }
    return plan;
}

// What Google's "Type" column says of a number: "Mobile", "Work Fax", "* Home", "Other".
unsigned phoneKindsOf(const QString &label)
{
    const QString text = label.toLower();
    unsigned kinds = 0;
    if (text.contains(QLatin1String("mobile")) || text.contains(QLatin1String("cell")))
        kinds |= PhoneCell;
    if (text.contains(QLatin1String("fax")))
        kinds |= PhoneFax;
    if (text.contains(QLatin1String("work")) || text.contains(QLatin1String("business")))
        kinds |= PhoneWork;
    if (text.contains(QLatin1String("home")))
        kinds |= PhoneHome;
    if (text.contains(QLatin1String("pager")))
        kinds |= PhonePager;
    if (text.contains(QLatin1String("other")))
        kinds |= PhoneOther;
    return kinds;
}

// Values the exports write for "not set".
bool isPlaceholder(const QString &value)
{
    static const char *const placeholders[] = {"0/0/00", "0/0/0000", "00/00/0000", "Unspecified"};
    for (const char *placeholder : placeholders)
        if (value == QLatin1String(placeholder))
            return true;
    return false;
}

// Google puts several values of one kind in one field, separated by " ::: ".
QStringList splitValues(const QString &value)
{
    return value.split(QStringLiteral(" ::: "), Qt::SkipEmptyParts);
}

QString cleanLabel(const QString &label)
{
    QString text = label.trimmed();
    while (text.startsWith(QLatin1Char('*')))
        text = text.mid(1).trimmed();
    return text;
}

Contact buildRow(const Plan &plan, const QStringList &values, bool *empty)
{
    ContactBuilder builder;
    QString prefix, given, middle, family, suffix;
    std::vector<PostalAddress> addresses(plan.groups.size());
    auto valueAt = [&](int column) {
        return column >= 0 && column < values.size() ? values[column] : QString();
    };

    for (int index = 0; index < int(plan.columns.size()) && index < values.size(); ++index) {
        const Column &column = plan.columns[size_t(index)];
        const QString &value = values[index];
        if (!hasText(value))
            continue;
        switch (column.role) {
        case Role::Extra:
            if (!isPlaceholder(value))
                builder.addExtra(column.header, value);
            break;
        case Role::Ignore:
        case Role::TypeLabel:
            break;
        case Role::Field:
            builder.setField(column.field, value, column.header);
            break;
        case Role::Name:
            builder.setField(Name, value, column.header);
            break;
        case Role::Prefix:
            prefix = value;
            break;
        case Role::Given:
            given = value;
            break;
        case Role::Middle:
            middle = value;
            break;
        case Role::Family:
            family = value;
            break;
        case Role::Suffix:
            suffix = value;
            break;
        case Role::Phone:
            builder.addPhone(column.phoneKinds, value);
            break;
        case Role::Email:
            builder.addEmail(value);
            break;
        case Role::WebSite:
            builder.addWebSite(value);
            break;
        case Role::Organization:
            builder.setField(Work, value, column.header);
            break;
        case Role::Note:
            builder.addNote(value);
            break;
        case Role::AddressPart: {
            PostalAddress &address = addresses[size_t(column.group)];
            auto append = [](QString &to, const QString &more) {
                to = to.isEmpty() ? more : to + QLatin1String(", ") + more;
            };
            switch (column.part) {
            case Part::Street:
                append(address.street, value);
                break;
            case Part::Street2:
                append(address.extended, value);
                break;
            case Part::Extended:
                append(address.extended, value);
                break;
            case Part::PoBox:
                address.poBox = value;
                break;
            case Part::City:
                address.locality = value;
                break;
            case Part::Region:
                address.region = value;
                break;
            case Part::PostCode:
                address.postCode = value;
                break;
            case Part::Country:
                address.country = value;
                break;
            case Part::Type:
            case Part::Other:
                break;
            }
            break;
        }
        case Role::Typed: {
            const Group &group = plan.groups[size_t(column.group)];
            const QString type = cleanLabel(valueAt(group.typeColumn));
            for (const QString &one : splitValues(value)) {
                if (group.kind == QLatin1String("phone"))
                    builder.addPhone(phoneKindsOf(type), one);
                else if (group.kind == QLatin1String("email"))
                    builder.addEmail(one);
                else if (group.kind == QLatin1String("website"))
                    builder.addWebSite(one);
                else {
                    const QString service = cleanLabel(valueAt(group.serviceColumn));
                    builder.addExtra(!service.isEmpty() ? service : !type.isEmpty() ? type : group.base, one);
                }
            }
            break;
        }
        }
    }
    builder.setNameParts(prefix, given, middle, family, suffix);

    // Home addresses first, then those without a kind, work and other ones last.
    std::vector<std::pair<int, size_t>> order;
    for (size_t g = 0; g < plan.groups.size(); ++g) {
        const Group &group = plan.groups[g];
        QString kind = group.kind;
        if (group.typeColumn >= 0 && plan.columns[size_t(group.typeColumn)].role == Role::AddressPart)
            kind = cleanLabel(valueAt(group.typeColumn)).toLower();
        const int rank = kind == QLatin1String("home")    ? 0
                         : kind == QLatin1String("work")  ? 2
                         : kind == QLatin1String("other") ? 3
                                                          : 1;
        if (!addresses[g].isEmpty())
            order.emplace_back(rank, g);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[rank, g] : order)
        builder.addAddress(addresses[g], rank == 0   ? QStringLiteral("Home address")
                                         : rank == 2 ? QStringLiteral("Work address")
                                         : rank == 3 ? QStringLiteral("Other address")
                                                     : QStringLiteral("Address"));
    *empty = builder.isEmpty();
    return builder.take();
}

QStringList decodeFields(const QList<QByteArray> &fields, LegacyCodePage codePage)
{
    QStringList values;
    values.reserve(fields.size());
    for (const QByteArray &field : fields)
        values.append(decodeText(field, codePage));
    return values;
}

bool isBlankRow(const Row &row)
{
    return row.fields.size() == 1 && row.fields[0].trimmed().isEmpty();
}

} // namespace

bool looksLikeContactCsv(QByteArrayView input)
{
    const QByteArray bytes = utf8Bytes(input.first(std::min<qsizetype>(input.size(), 8192)));
    char delimiter = ',';
    const QByteArrayView rest = skipSeparatorLine(bytes, &delimiter);
    Tokenizer tokenizer(rest, delimiter);
    const Row header = tokenizer.next();
    if (header.malformed || header.fields.size() < 2)
        return false;
    return planColumns(decodeFields(header.fields, LegacyCodePage::Windows1252)).known;
}

ImportedContacts parseCsvContacts(QByteArrayView input, LegacyCodePage codePage)
{
    ImportedContacts result;
    const QByteArray bytes = utf8Bytes(input);
    char delimiter = ',';
    const QByteArrayView rest = skipSeparatorLine(bytes, &delimiter);
    Tokenizer tokenizer(rest, delimiter);
    // The header is the first row that is not blank.
    Row header;
    while (!tokenizer.atEnd() && header.fields.isEmpty()) {
        header = tokenizer.next();
        if (isBlankRow(header))
            header = Row();
    }
    if (header.fields.isEmpty() || header.malformed)
        return result;
    const Plan plan = planColumns(decodeFields(header.fields, codePage));
    if (!plan.known)
        return result;
    const qsizetype width = header.fields.size();
    while (!tokenizer.atEnd()) {
        Row row = tokenizer.next();
        if (isBlankRow(row))
            continue;
        // Fields past the header belong to no column: we cannot tell what the row holds.
        for (qsizetype i = width; i < row.fields.size() && !row.malformed; ++i)
            if (!row.fields[i].trimmed().isEmpty())
                row.malformed = true;
        if (row.malformed) {
            ++result.unreadable;
            continue;
        }
        bool empty = false;
        Contact contact = buildRow(plan, decodeFields(row.fields, codePage), &empty);
        if (!empty)
            result.contacts.push_back(std::move(contact));
    }
    return result;
}

} // namespace larkspan
