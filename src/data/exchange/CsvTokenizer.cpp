// Splitting CSV text into rows of fields, as spreadsheets and address books write it.
#include "data/exchange/CsvTokenizer.h"

#include <cstring>

namespace larkspan {

namespace {

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

} // namespace

CsvTokenizer::CsvTokenizer(QByteArrayView bytes)
{
    const QByteArrayView rest = skipSeparatorLine(bytes, &delimiter_);
    pos_ = rest.data();
    end_ = rest.data() + rest.size();
}

CsvRow CsvTokenizer::next()
{
    CsvRow row;
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

void CsvTokenizer::readQuoted(QByteArray &field, CsvRow &row)
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

void CsvTokenizer::readPlain(QByteArray &field)
{
    const char *start = pos_;
    while (pos_ < end_ && *pos_ != delimiter_ && *pos_ != '\r' && *pos_ != '\n')
        ++pos_;
    field.append(start, pos_ - start);
}

} // namespace larkspan
