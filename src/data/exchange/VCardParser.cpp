// Reading the content lines of vCard files into cards of properties.
#include "data/exchange/VCardParser.h"

#include "data/TextDecoding.h"

#include <QStringDecoder>

#include <algorithm>

namespace larkspan::vcard {

namespace {

enum class Version { V21, V30, V40 };

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

// A data URI ("data:image/jpeg;base64,...") in place of a value: a picture, sound or key written
// inline by vCard 4.0. The properties that hold text never take one; their "data:Smith" is text,
// and a comma in such text is escaped, so a media type up to the first comma tells them apart.
bool isDataUri(const QByteArray &name, QByteArrayView value)
{
    static const char *const textProperties[] = {"FN", "N", "ADR", "TEL", "EMAIL", "URL", "ORG", "NOTE"};
    if (std::any_of(std::begin(textProperties), std::end(textProperties),
                    [&](const char *text) { return name == text; }))
        return false;
    if (!value.startsWith("data:"))
        return false;
    const qsizetype comma = value.indexOf(',');
    if (comma < 0)
        return false;
    return std::all_of(value.begin() + 5, value.begin() + comma,
                       [](char c) { return isNameChar(c) || c == '/' || c == ';' || c == '=' || c == '+'; });
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
    if (isDataUri(property.name, property.value))
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

// Reads cards line by line: a card is BEGIN:VCARD ... END:VCARD; anything between cards is
// ignored.
class CardReader
{
public:
    explicit CardReader(const CardHandler &card) : card_(card) {}

    void line(QByteArrayView line)
    {
        if (!inCard_) {
            if (isLine(line, "BEGIN:VCARD"))
                startCard();
            return;
        }
        if (isLine(line, "BEGIN:VCARD")) {
            // The card before never ended.
            ++unreadable_;
            startCard();
            return;
        }
        if (isLine(line, "END:VCARD")) {
            inCard_ = false;
            if (malformed_) {
                ++unreadable_;
                return;
            }
            card_(properties_);
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

    int finish()
    {
        if (inCard_)
            ++unreadable_; // cut short
        inCard_ = false;
        return unreadable_;
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

    const CardHandler &card_;
    int unreadable_ = 0;
    std::vector<Property> properties_;
    Version version_ = Version::V30;
    bool inCard_ = false;
    bool malformed_ = false;
};

} // namespace

int readCards(QByteArrayView bytes, const CardHandler &card)
{
    CardReader reader(card);
    QByteArray logical;
    bool haveLogical = false;
    const char *pos = bytes.data();
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

} // namespace larkspan::vcard
