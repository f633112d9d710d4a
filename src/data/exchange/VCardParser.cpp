// Reading the content lines of vCard files into cards of properties.
#include "data/exchange/VCardParser.h"

#include "data/TextDecoding.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace larkspan::vcard {

namespace {

enum class Version { V21, V30, V40 };

bool isBlank(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// The text is `expected` (ASCII), in any case; the length is looked at first, as most are not.
template <size_t N> bool isKey(QByteArrayView text, const char (&expected)[N])
{
    return text.size() == qsizetype(N - 1) && qstrnicmp(text.data(), N - 1, expected, N - 1) == 0;
}

template <size_t N> bool isLine(QByteArrayView line, const char (&expected)[N])
{
    return line.size() >= qsizetype(N - 1) && isKey(line.trimmed(), expected);
}

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

QByteArrayView unquoted(QByteArrayView value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.sliced(1, value.size() - 2);
    return value;
}

// The bytes of a line as a property keeps them: shared with the text when it outlives the
// property's reading (a line as written), copied when the line is put together (folded lines).
struct LineBytes
{
    bool shared = false;
    QByteArray operator()(QByteArrayView bytes) const
    {
        return shared ? QByteArray::fromRawData(bytes.data(), bytes.size()) : bytes.toByteArray();
    }
};

void addParameter(QByteArrayView parameter, Property &property, const LineBytes &bytesOf)
{
    const qsizetype equals = parameter.indexOf('=');
    const QByteArrayView key = (equals < 0 ? parameter : parameter.first(equals)).trimmed();
    if (equals < 0) {
        // vCard 2.1 writes bare values: TEL;HOME;VOICE, NOTE;QUOTED-PRINTABLE.
        if (isKey(key, "QUOTED-PRINTABLE"))
            property.quotedPrintable = true;
        else if (isKey(key, "BASE64") || isKey(key, "B"))
            property.binary = true;
        else if (isKey(key, "PREF"))
            property.pref = 1;
        else if (!key.isEmpty() && !isKey(key, "8BIT") && !isKey(key, "7BIT"))
            property.types.append(bytesOf(key).toLower());
        return;
    }
    const QByteArrayView value = unquoted(parameter.sliced(equals + 1));
    if (isKey(key, "ENCODING")) {
        property.quotedPrintable = isKey(value, "QUOTED-PRINTABLE");
        property.binary = isKey(value, "B") || isKey(value, "BASE64");
    } else if (isKey(key, "CHARSET")) {
        property.charset = value.toByteArray(); // handed to the decoder as a C string
    } else if (isKey(key, "PREF")) {
        bool ok = false;
        const int pref = value.toInt(&ok);
        if (ok)
            property.pref = std::min(property.pref, pref);
    } else if (isKey(key, "TYPE")) {
        for (qsizetype start = 0; start <= value.size();) {
            qsizetype comma = value.indexOf(',', start);
            if (comma < 0)
                comma = value.size();
            const QByteArrayView type = unquoted(value.sliced(start, comma - start));
            start = comma + 1;
            if (isKey(type, "pref")) // vCard 3.0's way of saying PREF=1
                property.pref = 1;
            else if (!type.isEmpty())
                property.types.append(bytesOf(type).toLower());
        }
    } else if (isKey(key, "VALUE")) {
        property.binary = isKey(value, "binary");
        property.uri = isKey(value, "uri");
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

// A property name as address books write them: anything but blanks, control characters and the
// separators. Odd characters ("X-Foo@Bar") do not make a value unreadable.
bool isWrittenName(QByteArrayView name)
{
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > ' ' && byte != 0x7F;
    });
}

// Splits "group.NAME;PARAM=x;PARAM:value". A name alone ("X-FOO") or a line that ends among the
// parameters is a property without a value. False when the line is not a property.
bool parseProperty(QByteArrayView line, Property &property, const LineBytes &bytesOf)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] != ';' && line[i] != ':')
        ++i;
    QByteArrayView name = line.first(i).trimmed();
    if (!isWrittenName(name))
        return false;
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0) {
        property.group = name.first(dot).toByteArray().toLower();
        name = name.sliced(dot + 1);
    }
    if (name.isEmpty())
        return false;
    property.name = bytesOf(name).toUpper();
    while (i < line.size() && line[i] == ';') {
        const qsizetype start = ++i;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ';' && line[i] != ':'))) {
            if (line[i] == '"')
                quoted = !quoted;
            ++i;
        }
        addParameter(line.sliced(start, i - start), property, bytesOf);
    }
    if (i < line.size())
        property.value = bytesOf(line.sliced(i + 1));
    if (isDataUri(property.name, property.value))
        property.binary = true;
    return true;
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
// ignored. A card inside a card (2.1's AGENT, or a card whose END:VCARD is missing) is read as a
// card of its own, and the outer one goes on after it. A line that cannot be read is left out and counted;
// the card keeps the rest.
class CardReader
{
public:
    explicit CardReader(const CardHandler &card) : card_(card) {}

    // `shared`: the line is part of the text, which outlives the card.
    void line(QByteArrayView line, bool shared)
    {
        if (isLine(line, "BEGIN:VCARD")) {
            cards_.emplace_back();
            cards_.back().order = begun_++;
            return;
        }
        if (cards_.empty())
            return;
        if (isLine(line, "END:VCARD")) {
            finishCard();
            return;
        }
        Card &card = cards_.back();
        // Blank lines and "#" comments are no part of the card.
        if (isBlank(line) || line.front() == '#')
            return;
        Property property;
        const bool readable = parseProperty(line, property, LineBytes{shared});
        if (continuesWithBackslash(card) && !(readable && line.contains(':'))) {
            // "NOTE:one\" and "two" on the next line: a line break the writer forgot to escape.
            card.properties.back().value += 'n';
            card.properties.back().value += line;
            return;
        }
        if (!readable) {
            ++card.unreadableLines;
            return;
        }
        if (property.name == "VERSION") {
            const QByteArray version = property.value.trimmed();
            card.version = version == "2.1" ? Version::V21 : version == "4.0" ? Version::V40 : Version::V30;
        }
        card.properties.push_back(std::move(property));
    }

    CardCounts finish()
    {
        // A card that the end of the text cut short keeps what it has; its missing end is counted
        // as a line that could not be read.
        while (!cards_.empty()) {
            ++cards_.back().unreadableLines;
            finishCard();
        }
        return counts_;
    }

    // vCard 2.1 folds by breaking the line before a space that stays; later versions insert the
    // space that unfolding removes.
    bool keepsFoldingSpace() const { return !cards_.empty() && cards_.back().version == Version::V21; }

private:
    struct Card
    {
        std::vector<Property> properties;
        Version version = Version::V30;
        int unreadableLines = 0;
        int order = 0; // of its BEGIN:VCARD among all
    };

    // The last value ends in a backslash that escapes nothing.
    static bool continuesWithBackslash(const Card &card)
    {
        if (card.properties.empty() || card.properties.back().quotedPrintable)
            return false;
        const QByteArray &value = card.properties.back().value;
        qsizetype backslashes = 0;
        while (backslashes < value.size() && value[value.size() - 1 - backslashes] == '\\')
            ++backslashes;
        return backslashes % 2 == 1;
    }

    void finishCard()
    {
        Card card = std::move(cards_.back());
        cards_.pop_back();
        // A card is skipped whole only when nothing in it could be read, or when what could be
        // read gave no contact while some lines could not.
        const bool kept = !card.properties.empty() && card_(card.properties, card.order);
        if (kept)
            counts_.unreadableLines += card.unreadableLines;
        else if (card.unreadableLines > 0)
            ++counts_.unreadable;
    }

    const CardHandler &card_;
    CardCounts counts_;
    int begun_ = 0;
    std::vector<Card> cards_; // the card being read last, the cards it is inside before it
};

// `word` (upper case) anywhere in `text`, in any case.
bool containsWord(QByteArrayView text, const char *word)
{
    const qsizetype size = qsizetype(std::strlen(word));
    for (qsizetype i = 0; i + size <= text.size(); ++i)
        if ((text[i] & ~0x20) == word[0] && qstrnicmp(text.data() + i, size, word, size) == 0)
            return true;
    return false;
}

bool hasLineFeed(QByteArrayView bytes)
{
    return bytes.contains('\n');
}

} // namespace

CardCounts readCards(QByteArrayView bytes, const CardHandler &card, const ReadProgress &progress)
{
    CardReader reader(card);
    // The logical line: one line of the text, or `joined` when folding or soft line breaks put
    // it together from several (its buffer is reused for the next such line).
    QByteArrayView logical;
    QByteArray joined;
    bool isJoined = false;
    bool haveLogical = false;
    // The first `keep` bytes of the logical line, then `more`.
    auto extend = [&](qsizetype keep, QByteArrayView more) {
        if (isJoined) {
            joined.truncate(keep);
        } else {
            joined.resize(0);
            joined.append(logical.first(keep));
            isJoined = true;
        }
        joined.append(more);
        logical = joined;
    };
    // Whether the logical line is quoted-printable, decided once its name and parameters are in.
    bool headKnown = false;
    bool quotedPrintable = false;
    auto learnHead = [&](qsizetype from) {
        const qsizetype colon = logical.indexOf(':', from);
        if (colon < 0)
            return;
        headKnown = true;
        quotedPrintable = containsWord(logical.first(colon), "QUOTED-PRINTABLE");
    };
    // A line ends at LF, CR LF or CR CR LF (phones write the last); a CR alone is part of the
    // value, but in a file without a single LF (old Macs) it ends the line.
    const char lineEnd = hasLineFeed(bytes) ? '\n' : '\r';
    const char *pos = bytes.data();
    const char *const end = pos + bytes.size();
    int untilReport = kProgressEvery;
    while (pos < end) {
        if (--untilReport == 0) {
            untilReport = kProgressEvery;
            if (progress && !progress(pos - bytes.data(), bytes.size())) {
                CardCounts stopped;
                stopped.cancelled = true;
                return stopped;
            }
        }
        const char *stop = static_cast<const char *>(std::memchr(pos, lineEnd, size_t(end - pos)));
        if (stop == nullptr)
            stop = end;
        QByteArrayView line(pos, stop - pos);
        pos = stop == end ? end : stop + 1;
        if (lineEnd == '\n') {
            for (int cr = 0; cr < 2 && line.endsWith('\r'); ++cr)
                line.chop(1);
        }

        if (haveLogical) {
            if (quotedPrintable && logical.endsWith('=')) {
                // A quoted-printable soft line break: the value goes on in the next line.
                extend(logical.size() - 1, line);
                continue;
            }
            if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
                const qsizetype from = logical.size();
                extend(from, reader.keepsFoldingSpace() ? line : line.sliced(1));
                if (!headKnown)
                    learnHead(from);
                continue;
            }
            reader.line(logical, !isJoined);
        }
        logical = line;
        isJoined = false;
        haveLogical = true;
        headKnown = false;
        quotedPrintable = false;
        learnHead(0);
    }
    if (haveLogical)
        reader.line(logical, !isJoined);
    return reader.finish();
}

QString decodeValue(const Property &property, LegacyCodePage codePage)
{
    const QByteArray bytes =
        property.quotedPrintable ? decodeQuotedPrintable(property.value) : property.value;
    const QByteArray charset = property.charset.toLower();
    // ASCII names no code page for the bytes above it, so they are told as if none were named.
    if (charset.isEmpty() || charset == "us-ascii" || charset == "ascii")
        return decodeText(bytes, codePage);
    if (charset == "utf-8" || charset == "utf8")
        return withoutByteOrderMarks(QString::fromUtf8(bytes));
    if (charset == "windows-1252" || charset == "cp1252")
        return decodeLegacy(bytes, LegacyCodePage::Windows1252);
    if (charset == "windows-1251" || charset == "cp1251")
        return decodeLegacy(bytes, LegacyCodePage::Windows1251);
    // Whatever else Qt (through ICU) knows; a byte that is wrong in it reads as U+FFFD.
    QStringDecoder decoder(property.charset.constData());
    if (decoder.isValid())
        return withoutByteOrderMarks(decoder(bytes));
    return decodeText(bytes, codePage);
}

QString unescape(QStringView text)
{
    // Most values hold no backslash: they are copied whole, and the text between two escapes is
    // copied as one run.
    qsizetype slash = text.indexOf(QLatin1Char('\\'));
    if (slash < 0)
        return text.toString();
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (slash >= 0 && slash + 1 < text.size()) {
        out.append(text.sliced(from, slash - from));
        const QChar next = text[slash + 1];
        if (next == QLatin1Char('n') || next == QLatin1Char('N'))
            out.append(QLatin1Char('\n'));
        else if (next == QLatin1Char(',') || next == QLatin1Char(';') || next == QLatin1Char('\\') ||
                 next == QLatin1Char(':'))
            out.append(next);
        else
            out.append(text.sliced(slash, 2));
        from = slash + 2;
        slash = text.indexOf(QLatin1Char('\\'), from);
    }
    out.append(text.sliced(from));
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
