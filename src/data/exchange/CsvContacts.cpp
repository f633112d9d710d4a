// Reading contacts from CSV files by their column headers.
#include "data/exchange/CsvContacts.h"

#include "data/TextDecoding.h"
#include "data/exchange/CharsetDetection.h"
#include "data/exchange/CsvColumns.h"
#include "data/exchange/CsvTokenizer.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace larkspan {

namespace {

using namespace csv;

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
    static const char *const placeholders[] = {"0/0/00", "0/0/0000", "00/00/0000", "0.0.00", "Unspecified"};
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

// The lines of a text joined by commas, for a field of one line.
QString oneLine(const QString &text)
{
    QStringList lines;
    for (const QString &line :
         QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')).split(QLatin1Char('\n')))
        if (hasText(line))
            lines << line.trimmed();
    return lines.join(QLatin1String(", "));
}

// True when `text` has a word or number that `known` has not.
bool saysMore(const QString &text, const QString &known)
{
    static const QRegularExpression separators(QStringLiteral("[^\\w]+"));
    const QStringList have = known.toCaseFolded().split(separators, Qt::SkipEmptyParts);
    const QSet<QString> words(have.begin(), have.end());
    const QStringList more = text.toCaseFolded().split(separators, Qt::SkipEmptyParts);
    return std::any_of(more.begin(), more.end(), [&](const QString &word) { return !words.contains(word); });
}

Contact buildRow(const Plan &plan, const QStringList &values, bool *empty)
{
    ContactBuilder builder;
    QString prefix, given, middle, family, suffix;
    std::vector<PostalAddress> addresses(plan.groups.size());
    std::vector<std::pair<int, QString>> formatted; // column, value
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
            case Part::Formatted:
                formatted.emplace_back(index, value);
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
                // A value that goes to Comments keeps its label: "Email (Work): ...".
                if (group.kind == QLatin1String("phone")) {
                    const unsigned kinds = phoneKindsOf(type);
                    builder.addPhone(kinds, one, kinds == 0 ? type : QString());
                } else if (group.kind == QLatin1String("email"))
                    builder.addEmail(one, type);
                else if (group.kind == QLatin1String("website"))
                    builder.addWebSite(one, type);
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
    // The formatted text of an address is the address when it has no parts; beside its parts it
    // is kept when it says more than they do.
    for (const auto &[index, text] : formatted) {
        const Column &column = plan.columns[size_t(index)];
        PostalAddress &address = addresses[size_t(column.group)];
        if (address.isEmpty())
            address.street = oneLine(text);
        else if (saysMore(text, address.oneLine()))
            builder.addExtra(column.header, oneLine(text));
    }

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

// A field that is UTF-8 is read as such, whatever the file's set: files put together from
// several sources mix them. The others are read in the file's set.
QStringList decodeFields(const QList<QByteArray> &fields, const TextCharset &charset)
{
    QStringList values;
    values.reserve(fields.size());
    for (const QByteArray &field : fields)
        values.append(charset.legacy ? decodeText(field, charset.codePage)
                                     : withoutByteOrderMarks(decodeInCharset(field, charset)));
    return values;
}

// What the character set is guessed from: the fields of the first rows that can be read, each
// row a line, as words for the detector's statistics of letters. The quoting and delimiters of the file stay
// out of it, so that two files holding the same fields are read alike.
QByteArray charsetSample(const QByteArray &bytes)
{
    constexpr qsizetype kEnough = 256 * 1024;
    QByteArray sample;
    CsvTokenizer tokenizer(bytes);
    while (!tokenizer.atEnd() && sample.size() < kEnough) {
        const CsvRow row = tokenizer.next();
        if (row.malformed)
            continue;
        for (const QByteArray &field : row.fields)
            sample += field + ' ';
        sample += '\n';
    }
    return sample;
}

bool isBlankRow(const CsvRow &row)
{
    return row.fields.size() == 1 && row.fields[0].trimmed().isEmpty();
}

} // namespace

bool looksLikeContactCsv(QByteArrayView input)
{
    const QByteArray bytes = utf8Bytes(input.first(std::min<qsizetype>(input.size(), 8192)));
    CsvTokenizer tokenizer(bytes);
    const CsvRow header = tokenizer.next();
    if (header.malformed || header.fields.size() < 2)
        return false;
    return csv::planColumns(decodeFields(header.fields, TextCharset{})).known;
}

ImportedContacts parseCsvContacts(QByteArrayView input, LegacyCodePage codePage, const ReadProgress &progress)
{
    ImportedContacts result;
    const QByteArray bytes = utf8Bytes(input);
    CsvTokenizer tokenizer(bytes);
    // The header is the first row that is not blank.
    CsvRow header;
    while (!tokenizer.atEnd() && header.fields.isEmpty()) {
        header = tokenizer.next();
        if (isBlankRow(header))
            header = CsvRow();
    }
    if (header.fields.isEmpty() || header.malformed)
        return result;
    // A file that is not UTF-8 is read in the set it was written in, which the confirmation names.
    TextCharset charset{{}, true, codePage};
    if (!bytes.isValidUtf8()) {
        charset = detectCharset(charsetSample(bytes), codePage);
        result.encoding = QString::fromLatin1(charset.name);
    }
    const csv::Plan plan = csv::planColumns(decodeFields(header.fields, charset));
    if (!plan.known)
        return result;
    const qsizetype width = header.fields.size();
    int untilReport = kProgressEvery;
    while (!tokenizer.atEnd()) {
        if (untilReport <= 0) {
            untilReport = kProgressEvery;
            if (progress && !progress(tokenizer.position() - bytes.constData(), bytes.size())) {
                ImportedContacts stopped;
                stopped.cancelled = true;
                return stopped;
            }
        }
        CsvRow row = tokenizer.next();
        // A row of many columns counts as several.
        untilReport -= 1 + int(row.fields.size() / 16);
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
        Contact contact = buildRow(plan, decodeFields(row.fields, charset), &empty);
        if (!empty)
            result.contacts.push_back(std::move(contact));
    }
    return result;
}

} // namespace larkspan
