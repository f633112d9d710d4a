// Places the values an address book gives into the sixteen fields, and everything else into
// Comments, so that an import loses nothing and fills each field with what it is for.
#include "data/exchange/ContactBuilder.h"

#include "data/TextDecoding.h"

#include <algorithm>
#include <initializer_list>

namespace larkspan {

namespace {

// A phone number as digits (and a leading +), to notice the same number written twice.
QString phoneDigits(const QString &number)
{
    // Written into a buffer of the number's length: one allocation, not one append a digit.
    QString digits(number.size(), Qt::Uninitialized);
    QChar *out = digits.data();
    for (const QChar c : number)
        if (c.isDigit() || (c == QLatin1Char('+') && out == digits.data()))
            *out++ = c;
    digits.truncate(out - digits.data());
    return digits.isEmpty() ? number.trimmed() : digits;
}

bool hasLineBreak(QStringView value)
{
    return std::any_of(value.begin(), value.end(),
                       [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); });
}

// One line of Comments: line breaks inside the value would split it.
QString oneLine(const QString &value)
{
    if (!hasLineBreak(value))
        return value;
    QString line = value;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

// A value for a one-line field: its lines joined ("14 Strand Road, Flat 2").
QString inLine(const QString &value)
{
    if (!hasLineBreak(value))
        return value;
    QStringList lines = QString(value)
                            .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                            .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                            .split(QLatin1Char('\n'));
    lines.removeIf([](const QString &line) { return line.trimmed().isEmpty(); });
    return lines.join(QLatin1String(", "));
}

// Notes keep their line breaks, as LF: the edit field and the data file know no other.
QString withLineFeeds(const QString &text)
{
    if (!text.contains(QLatin1Char('\r')))
        return text;
    return QString(text)
        .replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QString joinNonEmpty(std::initializer_list<QString> parts, QLatin1String separator)
{
    QStringList kept;
    for (const QString &part : parts)
        if (hasText(part))
            kept.append(part);
    return kept.join(separator);
}

} // namespace

bool hasText(const QString &value)
{
    for (const QChar c : value)
        if (!c.isSpace())
            return true;
    return false;
}

QString kindLabel(const QString &kind, const QString &given)
{
    return hasText(given) ? kind + QStringLiteral(" (") + given.trimmed() + QLatin1Char(')') : kind;
}

bool PostalAddress::isEmpty() const
{
    for (const QString *part : {&poBox, &extended, &street, &locality, &region, &postCode, &country})
        if (hasText(*part))
            return false;
    return true;
}

QString PostalAddress::oneLine() const
{
    const QString box = hasText(poBox) ? QStringLiteral("PO Box ") + poBox : QString();
    return larkspan::oneLine(
        joinNonEmpty({box, street, extended, locality, region, postCode, country}, QLatin1String(", ")));
}

void ContactBuilder::setField(Field field, const QString &value, const QString &label)
{
    if (!hasText(value))
        return;
    empty_ = false;
    if (field == Comments) {
        notes_.append(withLineFeeds(value));
        return;
    }
    const QString text = inLine(value);
    QString &slot = contact_[static_cast<size_t>(field)];
    if (slot.isEmpty())
        slot = text;
    else if (slot != text)
        addExtra(label.isEmpty() ? fieldHeader(field) : label, text);
}

void ContactBuilder::setNameParts(const QString &prefix, const QString &given, const QString &middle,
                                  const QString &family, const QString &suffix)
{
    const QString name = joinNonEmpty({prefix, given, middle, family, suffix}, QLatin1String(" "));
    if (name.isEmpty())
        return;
    empty_ = false;
    if (nameFromParts_.isEmpty())
        nameFromParts_ = name;
}

void ContactBuilder::addPhone(unsigned kinds, const QString &written, const QString &given)
{
    if (!hasText(written))
        return;
    const QString number = inLine(written);
    empty_ = false;
    if (firstNumber_.isEmpty())
        firstNumber_ = number;

    // The fields the number may go to, in order of preference; none for a pager.
    struct Targets
    {
        Field fields[2];
        int count;
        const Field *begin() const { return fields; }
        const Field *end() const { return fields + count; }
    };
    Targets targets{{Phone, Phone2}, 2};
    if (kinds & PhonePager)
        targets = {{}, 0};
    else if (kinds & PhoneCell)
        targets = {{Mobile}, 1};
    else if ((kinds & PhoneFax) && (kinds & PhoneWork))
        targets = {{WorkFax}, 1};
    else if (kinds & PhoneFax)
        targets = {{Fax}, 1};
    else if (kinds & PhoneWork)
        targets = {{WorkNumber}, 1};
    else if ((kinds & PhoneOther) && !(kinds & PhoneHome))
        targets = {{Phone2, Phone}, 2};
    const QString label = targets.count == 0 ? QStringLiteral("Pager") : fieldHeader(targets.fields[0]);

    // The same number given twice for the same use is kept once; a home number that is also the
    // work number stays in both fields.
    const QString seen = label + QLatin1Char(':') + phoneDigits(number);
    if (phones_.contains(seen))
        return;
    phones_.insert(seen);

    for (const Field field : targets) {
        QString &slot = contact_[static_cast<size_t>(field)];
        if (slot.isEmpty()) {
            slot = number;
            return;
        }
    }
    addExtra(kindLabel(label, given), number);
}

void ContactBuilder::addEmail(const QString &address, const QString &given)
{
    setField(Email, address, kindLabel(fieldHeader(Email), given));
}

void ContactBuilder::addWebSite(const QString &url, const QString &given)
{
    setField(WebSite, url, kindLabel(fieldHeader(WebSite), given));
}

void ContactBuilder::addAddress(const PostalAddress &address, const QString &label)
{
    if (address.isEmpty())
        return;
    empty_ = false;
    if (addressTaken_) {
        addExtra(label, address.oneLine());
        return;
    }
    addressTaken_ = true;
    QString street = joinNonEmpty({address.street, address.extended}, QLatin1String(", "));
    if (hasText(address.poBox)) {
        if (street.isEmpty())
            street = QStringLiteral("PO Box ") + address.poBox;
        else
            addExtra(QStringLiteral("PO Box"), address.poBox);
    }
    const std::pair<Field, const QString *> parts[] = {{Address, &street},
                                                       {Suburb, &address.locality},
                                                       {State, &address.region},
                                                       {PostCode, &address.postCode},
                                                       {Country, &address.country}};
    for (const auto &[field, value] : parts)
        if (hasText(*value))
            contact_[static_cast<size_t>(field)] = inLine(*value);
}

void ContactBuilder::addNote(const QString &text)
{
    setField(Comments, text);
}

void ContactBuilder::addExtra(const QString &label, const QString &value)
{
    if (!hasText(value))
        return;
    empty_ = false;
    const QString head = larkspan::oneLine(label);
    const QString text = larkspan::oneLine(value);
    QString line;
    line.reserve(head.size() + 2 + text.size());
    line.append(head).append(QLatin1String(": ")).append(text);
    const qsizetype seen = extrasSeen_.size();
    extrasSeen_.insert(line);
    if (extrasSeen_.size() != seen)
        extras_.append(line);
}

Contact ContactBuilder::take()
{
    QString &name = contact_[Name];
    for (const QString *fallback : {&nameFromParts_, &contact_[Work], &contact_[Email], &firstNumber_}) {
        if (!name.isEmpty())
            break;
        name = *fallback;
    }
    QStringList comments = notes_;
    comments += extras_;
    contact_[Comments] = comments.join(QLatin1Char('\n'));
    // Every field as the edit fields and the data file keep it: one line but for Comments, LF
    // line breaks there, no byte-order marks anywhere.
    for (int f = 0; f < kFieldCount; ++f) {
        QString &value = contact_[size_t(f)];
        value = withoutByteOrderMarks(f == Comments ? withLineFeeds(value) : inLine(value));
    }
    Contact done = std::move(contact_);
    *this = ContactBuilder();
    return done;
}

} // namespace larkspan
