// The columns a CSV header names, found by their headers.
#include "data/exchange/CsvColumns.h"

#include "data/exchange/ContactBuilder.h"
#include "data/exchange/CsvHeaderNames.h"

#include <QHash>
#include <QRegularExpression>

#include <map>

namespace larkspan::csv {

namespace {

// Lower-case letters and digits only, without accents: "E-mail Address" and "email address" are
// the same column, and so are "Téléphone (bureau)" and "telephone bureau", "Straße" and "Strasse".
QString normalized(const QString &header)
{
    QString key;
    for (const QChar c : header.normalized(QString::NormalizationForm_D)) {
        if (c == QChar(0x00DF))
            key.append(QLatin1String("ss"));
        else if (c.isLetterOrNumber())
            key.append(c.toLower());
    }
    return key;
}

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
            // "<field> <kind>" read as "<kind> <field>": "Email Home", "Phone Work".
            {"homeemail", Role::Email, Email, 0},
            {"workemail", Role::Email, Email, 0},
            {"businessemail", Role::Email, Email, 0},
            {"otheremail", Role::Email, Email, 0},
            {"personalemail", Role::Email, Email, 0},
            {"mobileemail", Role::Email, Email, 0},
        };
        std::map<QString, KnownColumn> map;
        for (const KnownColumn &column : table)
            map.emplace(QString::fromLatin1(column.key), column);
        for (const KnownColumn &column : localizedColumns())
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
        {"label", Part::Type},      {"formatted", Part::Formatted}};
    for (const auto &[name, part] : parts)
        if (attribute == QLatin1String(name))
            return part;
    return Part::Other;
}

// "Email Home", "Phone Work", "Fax Work": the kind after the field, read as "Home Email".
QString kindFirst(const QString &key)
{
    static const char *const fields[] = {"email", "phone", "telephone", "fax", "pager"};
    for (const char *field : fields) {
        const QLatin1String word(field);
        if (key.size() > word.size() && key.startsWith(word))
            return key.mid(word.size()) + word;
    }
    return key;
}

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

} // namespace

Plan planColumns(const QStringList &headers)
{
    // Google's export numbers its repeated columns: "Phone 1 - Type", "Phone 1 - Value".
    static const QRegularExpression numbered(QStringLiteral("^\\s*(.*?)\\s*(\\d+)\\s*-\\s*(.*?)\\s*$"));
    Plan plan;
    std::map<QString, int> groups;
    // A header seen before whose column is in no group means what it meant then.
    QHash<QString, Column> seen;
    for (int index = 0; index < headers.size(); ++index) {
        const QString &header = headers[index];
        if (const auto before = seen.constFind(header); before != seen.cend()) {
            plan.columns.push_back(*before);
            continue;
        }
        Column column;
        column.header = header.trimmed();
        if (!hasText(column.header))
            column.header = QStringLiteral("Column %1").arg(index + 1);
        const QString key = normalized(header);
        QString groupName;
        Part part = Part::Other;
        auto known = knownColumns().find(key);
        if (known == knownColumns().end())
            known = knownColumns().find(kindFirst(key));
        if (known != knownColumns().end()) {
            column.role = known->second.role;
            column.field = known->second.field;
            column.phoneKinds = known->second.phoneKinds;
        } else if (addressColumn(key, &groupName, &part) || localizedAddressColumn(key, &groupName, &part) ||
                   (key.startsWith(QLatin1String("address")) &&
                    addressColumn(key.mid(7), &groupName, &part))) {
            column.role = Role::AddressPart;
            column.part = part;
            column.group = groupIndex(plan, groups, QStringLiteral("address:") + groupName, groupName, {});
        } else if (const QRegularExpressionMatch match =
                       header.contains(QLatin1Char('-')) ? numbered.match(header) : QRegularExpressionMatch();
                   match.hasMatch()) {
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
        if (column.group < 0 && hasText(header))
            seen.insert(header, column);
        plan.columns.push_back(std::move(column));
    }
    return plan;
}

} // namespace larkspan::csv
