// Reading and writing the records of "Numbers.dat", with fast paths for the large files a phone
// book of a million entries makes.
//
// Every fast path here stands for a plain way that is easy to check by eye, and must give exactly
// what it gives. The plain reading: split the bytes (after a byte-order mark) at CR LF, CR and LF,
// sixteen lines a record, each line that is not UTF-8 in the legacy code page, U+2028 back to a
// line break. The plain writing: each value with its line breaks as U+2028, CR LF after each line
// (and a byte-order mark first when the first name starts with U+FEFF). Both are written out in
// tst_fastpaths, their oracle, which compares the fast paths with them on random input made to
// hit their edges.
#include "data/NumbersFile.h"

#include <QIODevice>

#include <bit>
#include <cstring>
#include <future>
#include <iterator>
#include <optional>

namespace larkspan {

namespace {

constexpr char kLineSeparator[] = "\xE2\x80\xA8"; // U+2028 in UTF-8
constexpr QByteArrayView kLineSeparatorView(kLineSeparator, 3);
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

constexpr uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;

uint64_t load8(const char *p)
{
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Marks the bytes of `word` that are zero (at least the lowest of them exactly; a byte above a
// zero byte may be marked falsely, which is why only the lowest mark is used for its place).
uint64_t zeroBytes(uint64_t word)
{
    return (word - kEveryByte) & ~word & kHighBits;
}

// Marks the CR and LF bytes of `word`.
uint64_t lineBreakBytes(uint64_t word)
{
    return zeroBytes(word ^ (kEveryByte * '\r')) | zeroBytes(word ^ (kEveryByte * '\n'));
}

// The end of the line that starts at `pos` (its CR or LF, or `end`), eight bytes at a time: a
// data file is millions of short lines, so a call of memchr per line would cost more than the
// search. Tells whether the line holds a byte above ASCII, the only lines that need decoding.
// Must find the ends the plain reading splits at, a CR or LF in any place of a word.
const char *findLineEnd(const char *pos, const char *end, bool *beyondAscii)
{
    uint64_t seen = 0;
    while (end - pos >= 8) {
        const uint64_t word = load8(pos);
        const uint64_t breaks = lineBreakBytes(word);
        if (breaks) {
            if constexpr (std::endian::native == std::endian::little) {
                const int before = std::countr_zero(breaks) / 8;
                seen |= word & ((uint64_t(1) << (8 * before)) - 1);
                pos += before;
                *beyondAscii = (seen & kHighBits) != 0;
                return pos;
            }
            break;
        }
        seen |= word;
        pos += 8;
    }
    while (pos < end && *pos != '\r' && *pos != '\n')
        seen |= static_cast<unsigned char>(*pos++);
    *beyondAscii = (seen & kHighBits) != 0;
    return pos;
}

bool containsLineSeparator(QByteArrayView text)
{
    const char *pos = text.data();
    const char *end = pos + text.size();
    while (end - pos >= 3) {
        const void *lead = std::memchr(pos, kLineSeparator[0], static_cast<size_t>(end - pos - 2));
        if (!lead)
            return false;
        pos = static_cast<const char *>(lead);
        if (pos[1] == kLineSeparator[1] && pos[2] == kLineSeparator[2])
            return true;
        ++pos;
    }
    return false;
}

// Turns a line with bytes above ASCII into the UTF-8 value it stands for, using `scratch` when it
// must change. (An ASCII line is its own value.)
QByteArrayView decodeLine(QByteArrayView line, LegacyCodePage codePage, QByteArray &scratch)
{
    if (line.isValidUtf8()) {
        if (!containsLineSeparator(line))
            return line;
        scratch = line.toByteArray();
        scratch.replace(kLineSeparatorView, "\n");
        return scratch;
    }
    scratch = decodeLegacy(line, codePage).toUtf8();
    return scratch;
}

bool hasLineBreak(QByteArrayView value)
{
    const size_t size = static_cast<size_t>(value.size());
    return size > 0 && (std::memchr(value.data(), '\n', size) || std::memchr(value.data(), '\r', size));
}

// Copies a value with word moves, a call of memcpy per value costing more than the copy of most.
// What it writes must be byte for byte what the plain writing writes for a value with no break.
// The last word may carry up to seven bytes past the value's end, which the next value or the
// line end written after it covers; `readable` is where the bytes that may be read end.
char *copyValue(char *out, QByteArrayView value, const char *readable)
{
    const char *from = value.data();
    const char *const end = from + value.size();
    if (readable - end >= 8) {
        for (char *to = out; from < end; from += 8, to += 8)
            std::memcpy(to, from, 8);
    } else if (!value.isEmpty()) {
        std::memcpy(out, from, static_cast<size_t>(value.size()));
    }
    return out + value.size();
}

// Writes a value with each line break (CR LF, CR or LF) as U+2028; returns the end of what it wrote.
char *writeValueWithBreaks(char *out, QByteArrayView value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r' || c == '\n') {
            std::memcpy(out, kLineSeparator, 3);
            out += 3;
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
        } else {
            *out++ = c;
        }
    }
    return out;
}

// All the values of an entry: they lie one after another in its block (see PackedEntry.h), so
// one search over them finds whether any holds a line break, and their size bounds the record's.
QByteArrayView allValues(const PackedEntry &entry)
{
    const QByteArrayView first = entry.utf8(Field(0));
    const QByteArrayView last = entry.utf8(Field(kFieldCount - 1));
    if (!first.data())
        return {};
    return QByteArrayView(first.data(), last.data() + last.size() - first.data());
}

// The most bytes a record can take: every byte of a value a line break that becomes three, and
// room for the last word a copy may carry.
size_t recordBound(QByteArrayView values)
{
    return 3 * static_cast<size_t>(values.size()) + 2 * kFieldCount + 8;
}

char *writeRecord(char *out, const PackedEntry &entry, QByteArrayView values)
{
    const bool breaks = hasLineBreak(values);
    for (int f = 0; f < kFieldCount; ++f) {
        const QByteArrayView value = entry.utf8(Field(f));
        out =
            breaks ? writeValueWithBreaks(out, value) : copyValue(out, value, values.data() + values.size());
        *out++ = '\r';
        *out++ = '\n';
    }
    return out;
}

// Encodes the records into a buffer of about `chunkSize` bytes and hands each full buffer to
// `deliver`, which returns false to stop. A record is never split between two buffers. The
// buffers joined must be the plain writing of the entries, however the records fall into them.
template <typename Deliver>
bool encodeInChunks(const std::vector<PackedEntry> &entries, size_t chunkSize, Deliver &&deliver)
{
    QByteArray chunk(static_cast<qsizetype>(chunkSize), Qt::Uninitialized);
    char *out = chunk.data();
    // A reader takes a U+FEFF at the very start of the file for a byte-order mark and drops it, so
    // a first name that starts with one gets a real mark in front to keep it.
    if (!entries.empty() && entries.front().utf8(Name).startsWith(kByteOrderMark)) {
        std::memcpy(out, kByteOrderMark, 3);
        out += 3;
    }
    for (const PackedEntry &entry : entries) {
        const QByteArrayView values = allValues(entry);
        const size_t bound = recordBound(values);
        const size_t used = static_cast<size_t>(out - chunk.data());
        if (used + bound > static_cast<size_t>(chunk.size())) {
            if (used > 0 && !deliver(QByteArrayView(chunk.data(), static_cast<qsizetype>(used))))
                return false;
            if (bound > static_cast<size_t>(chunk.size()))
                chunk.resize(static_cast<qsizetype>(bound));
            out = chunk.data();
        }
        out = writeRecord(out, entry, values);
    }
    const size_t used = static_cast<size_t>(out - chunk.data());
    return used == 0 || deliver(QByteArrayView(chunk.data(), static_cast<qsizetype>(used)));
}

// Below this size a second thread costs more than it saves.
constexpr qsizetype kBytesWorthAThread = 1 << 20;

struct ParsedLines
{
    ParsedFile parsed;
    const char *from = nullptr;      // where the reading started
    const char *stoppedAt = nullptr; // where it ended: `end`, or the record after `stopFrom`
};

// Reads the records from `pos` on. With `stopFrom`, stops at the first record that starts there or
// later. Splitting at CR and LF never cuts a UTF-8 sequence, so checking each line that has bytes
// above ASCII is the same as checking the whole file, and the ASCII lines need no check.
ParsedLines parseLines(const char *pos, const char *end, const char *stopFrom, LegacyCodePage codePage)
{
    ParsedLines lines;
    lines.from = pos;
    ParsedFile &parsed = lines.parsed;
    // Records of real contacts take a few hundred bytes: this spares most of the regrowth.
    parsed.entries.reserve(static_cast<size_t>((end - pos) / 512));
    std::array<QByteArrayView, kFieldCount> fields;
    std::array<QByteArray, kFieldCount> scratch;
    int filled = 0;
    while (pos < end) {
        if (filled == 0 && stopFrom && pos >= stopFrom)
            break;
        bool beyondAscii = false;
        const char *stop = findLineEnd(pos, end, &beyondAscii);
        const QByteArrayView line(pos, stop - pos);
        fields[static_cast<size_t>(filled)] =
            beyondAscii ? decodeLine(line, codePage, scratch[static_cast<size_t>(filled)]) : line;
        pos = stop;
        if (pos < end && *pos++ == '\r' && pos < end && *pos == '\n')
            ++pos;
        if (++filled == kFieldCount) {
            parsed.entries.emplace_back(fields);
            filled = 0;
        }
    }
    lines.stoppedAt = pos;
    if (filled > 0) {
        for (int i = filled; i < kFieldCount; ++i)
            fields[static_cast<size_t>(i)] = {};
        parsed.entries.emplace_back(fields);
        parsed.missingLines = kFieldCount - filled;
    }
    return lines;
}

// The start of the line after the one that `pos` is in (or `end`).
const char *nextLineStart(const char *pos, const char *end)
{
    bool beyondAscii = false;
    pos = findLineEnd(pos, end, &beyondAscii);
    if (pos < end && *pos++ == '\r' && pos < end && *pos == '\n')
        ++pos;
    return pos;
}

// Marks exactly the bytes of `word` equal to `byte`.
uint64_t bytesEqual(uint64_t word, char byte)
{
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t x = word ^ (kEveryByte * static_cast<unsigned char>(byte));
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// How many bytes of a word `marks` marks (only their high bits set). std::popcount would be a call
// of libgcc's on the machines that lack the instruction, for every word of the file.
size_t markedBytes(uint64_t marks)
{
    return static_cast<size_t>(((marks >> 7) * kEveryByte) >> 56);
}

// The line ends in [pos, end): every CR and every LF, a CR LF pair counting once, as the plain
// reading counts them, a pair split across two words included.
size_t countLineEnds(const char *pos, const char *end)
{
    size_t ends = 0;
    bool afterCr = false;
    if constexpr (std::endian::native == std::endian::little) {
        for (; end - pos >= 8; pos += 8) {
            const uint64_t word = load8(pos);
            const uint64_t cr = bytesEqual(word, '\r');
            const uint64_t lf = bytesEqual(word, '\n');
            const uint64_t pairs = (cr & (lf >> 8)) | (afterCr ? lf & 0x80 : 0);
            ends += markedBytes(cr) + markedBytes(lf) - markedBytes(pairs);
            afterCr = (cr >> 63) != 0;
        }
    }
    for (; pos < end; ++pos) {
        ends += *pos == '\r' || (*pos == '\n' && !afterCr);
        afterCr = *pos == '\r';
    }
    return ends;
}

} // namespace

ParsedFile parseNumbersFile(QByteArrayView bytes, LegacyCodePage codePage)
{
    if (bytes.startsWith(kByteOrderMark))
        bytes = bytes.sliced(3);
    const char *const begin = bytes.data();
    const char *const end = begin + bytes.size();
    if (bytes.size() < kBytesWorthAThread)
        return parseLines(begin, end, nullptr, codePage).parsed;

    // Two parts read side by side: the upper from the first record that starts in it, which
    // counting the lines before it finds, the lower up to there, which it finds by itself. The
    // counting costs about a quarter of the reading, so the lower part is the larger (9/16).
    // Together they must give the entries and missing lines of the plain reading of the whole
    // file, which tst_fastpaths checks on files large enough to come this way.
    const char *const upperLine = nextLineStart(begin + bytes.size() / 16 * 9, end);
    auto upper = std::async(std::launch::async, [&]() -> std::optional<ParsedLines> {
        const char *first = upperLine;
        for (size_t skip = (kFieldCount - countLineEnds(begin, upperLine) % kFieldCount) % kFieldCount;
             skip > 0; --skip)
            first = nextLineStart(first, end);
        if (first == end)
            return std::nullopt;
        ParsedLines lines = parseLines(first, end, nullptr, codePage);
        lines.from = first;
        return lines;
    });
    ParsedLines lower = parseLines(begin, end, upperLine, codePage);
    std::optional<ParsedLines> higher = upper.get();
    if (!higher) // no record starts in the upper half: the lower reading went on to the end
        return std::move(lower.parsed);
    if (lower.stoppedAt != higher->from) {
        // Cannot happen, as both count the same lines; were it to, reading once more is safe.
        qWarning("The halves of \"Numbers.dat\" did not meet; reading it in one piece");
        return parseLines(begin, end, nullptr, codePage).parsed;
    }
    ParsedFile &parsed = lower.parsed;
    parsed.entries.reserve(parsed.entries.size() + higher->parsed.entries.size());
    std::move(higher->parsed.entries.begin(), higher->parsed.entries.end(),
              std::back_inserter(parsed.entries));
    parsed.missingLines = higher->parsed.missingLines;
    return std::move(parsed);
}

bool writeEntries(QIODevice &device, const std::vector<PackedEntry> &entries, QString *error)
{
    return encodeInChunks(entries, size_t(1) << 20, [&](QByteArrayView chunk) {
        const qint64 written = device.write(chunk.data(), chunk.size());
        if (written == chunk.size())
            return true;
        if (error)
            *error = written < 0 ? device.errorString()
                                 : QStringLiteral("The file could not be written completely");
        return false;
    });
}

QByteArray encodeEntries(const std::vector<PackedEntry> &entries)
{
    size_t size = sizeof kByteOrderMark;
    for (const PackedEntry &entry : entries)
        size += static_cast<size_t>(allValues(entry).size()) + 2 * kFieldCount;
    QByteArray out;
    out.reserve(static_cast<qsizetype>(size));
    encodeInChunks(entries, size_t(1) << 20, [&](QByteArrayView chunk) {
        out.append(chunk);
        return true;
    });
    return out;
}

SaveResult saveNumbersFile(const QString &path, const std::vector<PackedEntry> &entries)
{
    return replaceFile(
        path, [&entries](QIODevice &out, QString *error) { return writeEntries(out, entries, error); });
}

} // namespace larkspan
