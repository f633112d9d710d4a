// CSV text as rows of fields, knowing nothing of what the columns hold.
//
// The delimiter is comma, semicolon or tab, whichever splits the header row into the most
// columns, unless an Excel "sep=" line names it. Quoting as RFC 4180 has it: a quoted field may
// hold delimiters, doubled quotes and line breaks. CR LF, a lone CR and a lone LF each end a row.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace larkspan {

struct CsvRow
{
    QList<QByteArray> fields;
    // A quote that never closes (the row then runs to the end of the text), or text after a
    // closing quote: no field of the row can be trusted.
    bool malformed = false;
};

class CsvTokenizer
{
public:
    // The text must be ASCII-compatible (UTF-8, a legacy code page) and outlive the tokenizer.
    explicit CsvTokenizer(QByteArrayView bytes);

    char delimiter() const { return delimiter_; }
    bool atEnd() const { return pos_ == end_; }
    // Where the next row starts in the text.
    const char *position() const { return pos_; }
    CsvRow next();

private:
    void readQuoted(QByteArray &field, CsvRow &row);
    void readPlain(QByteArray &field);

    const char *pos_ = nullptr;
    const char *end_ = nullptr;
    char delimiter_ = ',';
};

} // namespace larkspan
