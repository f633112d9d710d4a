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

#include "data/ChunkPipe.h"

#include <QIODevice>
#include <QScopeGuard>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
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

// Sixteen bytes at a time in vector registers (GCC's vector extensions, which every processor
// Debian builds for has: SSE2, NEON and the like). A comparison gives -1 in each byte that holds.
using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Marks16 = signed char __attribute__((vector_size(16)));

Bytes16 load16(const char *p)
{
    Bytes16 bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// One bit for each byte of `marks` (the first byte in the lowest bit).
uint64_t bitsOf(Marks16 marks)
{
#if defined(__SSE2__)
    return static_cast<uint32_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(marks)));
#else
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= uint64_t(marks[i] < 0) << i;
    return bits;
#endif
}

// The lines of [pos, end), found sixty-four bytes at a time: for each block a mask of its line
// breaks and one of its bytes above ASCII. A data file is millions of short lines; this way the
// end of each is a count of zero bits, and whether it needs decoding a test of the other mask,
// instead of a loop over its bytes. Must split where the plain reading splits: at CR LF, CR, LF.
class LineScanner
{
public:
    LineScanner(const char *pos, const char *end) : pos_(pos), end_(end) { loadBlock(pos); }

    const char *position() const { return pos_; }
    bool atEnd() const { return pos_ >= end_; }

    // The line at the position, without its line break; moves past both. Tells whether the line
    // holds a byte above ASCII, the only lines that need decoding.
    QByteArrayView next(bool *beyondAscii)
    {
        const char *const start = pos_;
        uint64_t high = 0;
        for (;;) {
            const uint64_t from = ~uint64_t(0) << (pos_ - block_);
            if (const uint64_t breaks = breaks_ & from) {
                const int at = std::countr_zero(breaks);
                high |= high_ & from & ((uint64_t(1) << at) - 1);
                pos_ = block_ + at;
                break;
            }
            high |= high_ & from;
            if (end_ - block_ <= kBlock) {
                pos_ = end_;
                break;
            }
            loadBlock(block_ + kBlock);
            pos_ = block_;
        }
        *beyondAscii = high != 0;
        const QByteArrayView line(start, pos_ - start);
        if (pos_ < end_ && *pos_++ == '\r' && pos_ < end_ && *pos_ == '\n')
            ++pos_;
        // A CR LF may end at the first byte of the next block.
        if (pos_ - block_ >= kBlock && pos_ < end_)
            loadBlock(block_ + kBlock);
        return line;
    }

private:
    static constexpr qsizetype kBlock = 64;

    void loadBlock(const char *at)
    {
        block_ = at;
        breaks_ = high_ = 0;
        if (end_ - at >= kBlock) {
            for (int part = 0; part < 4; ++part) {
                const Bytes16 bytes = load16(at + 16 * part);
                breaks_ |= bitsOf((bytes == '\r') | (bytes == '\n')) << (16 * part);
                high_ |= bitsOf(bytes >= 0x80) << (16 * part);
            }
            return;
        }
        for (qsizetype i = 0; i < end_ - at; ++i) {
            breaks_ |= uint64_t(at[i] == '\r' || at[i] == '\n') << i;
            high_ |= uint64_t(static_cast<unsigned char>(at[i]) >= 0x80) << i;
        }
    }

    const char *pos_;
    const char *const end_;
    const char *block_ = nullptr; // where the block of the masks starts; pos_ lies in it
    uint64_t breaks_ = 0;
    uint64_t high_ = 0;
};

// What a line with bytes above ASCII holds. UTF-8 is what QByteArrayView::isValidUtf8 accepts:
// the well-formed sequences of the Unicode standard (no overlong forms, no surrogates, nothing
// above U+10FFFF). A phone book has hundreds of thousands of such lines, mostly short names, where
// that function's set-up costs more than the check; this one is a table-driven automaton that
// takes no branch per byte.
enum class LineText { Legacy, Utf8, Utf8WithSeparator };

// The automaton's states, each the place of its next state in a row of the table (six bits each).
enum Utf8State : uint8_t {
    kComplete,
    kInvalid,
    kTail1,
    kTail2,
    kTail3,
    kAfterE0,
    kAfterED,
    kAfterF0,
    kAfterF4
};
constexpr int kUtf8States = 9;

constexpr Utf8State utf8Step(int state, unsigned char byte)
{
    const bool tail = byte >= 0x80 && byte <= 0xBF;
    switch (state) {
    case kComplete:
        if (byte < 0x80)
            return kComplete;
        if (byte >= 0xC2 && byte <= 0xDF)
            return kTail1;
        if (byte == 0xE0)
            return kAfterE0;
        if (byte == 0xED)
            return kAfterED;
        if (byte >= 0xE1 && byte <= 0xEF)
            return kTail2;
        if (byte == 0xF0)
            return kAfterF0;
        if (byte == 0xF4)
            return kAfterF4;
        if (byte >= 0xF1 && byte <= 0xF3)
            return kTail3;
        return kInvalid;
    case kTail1:
        return tail ? kComplete : kInvalid;
    case kTail2:
        return tail ? kTail1 : kInvalid;
    case kTail3:
        return tail ? kTail2 : kInvalid;
    case kAfterE0:
        return byte >= 0xA0 && byte <= 0xBF ? kTail1 : kInvalid;
    case kAfterED:
        return byte >= 0x80 && byte <= 0x9F ? kTail1 : kInvalid;
    case kAfterF0:
        return byte >= 0x90 && byte <= 0xBF ? kTail2 : kInvalid;
    case kAfterF4:
        return byte >= 0x80 && byte <= 0x8F ? kTail2 : kInvalid;
    default:
        return kInvalid;
    }
}

// For each byte, the next state of every state: (row >> 6 * state) & 63 is 6 * next state. The
// state is kept as the whole row shifted, its low six bits the place: x86 takes a shift's count
// modulo 64 anyway, so the step is one shift.
constexpr std::array<uint64_t, 256> kUtf8Table = [] {
    std::array<uint64_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        for (int state = 0; state < kUtf8States; ++state)
            table[size_t(byte)] |= uint64_t(6 * utf8Step(state, static_cast<unsigned char>(byte)))
                                   << (6 * state);
    return table;
}();

LineText classifyLine(QByteArrayView line)
{
    uint64_t state = 6 * kComplete;
    bool leadE2 = false; // a U+2028 (E2 80 A8) can only be where an E2 is
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        state = kUtf8Table[byte] >> (state & 63);
        leadE2 |= byte == 0xE2;
    }
    if ((state & 63) != 6 * kComplete)
        return LineText::Legacy;
    return leadE2 && line.contains(kLineSeparatorView) ? LineText::Utf8WithSeparator : LineText::Utf8;
}

// Turns a line with bytes above ASCII into the UTF-8 value it stands for, using `scratch` when it
// must change. (An ASCII line is its own value.)
QByteArrayView decodeLine(QByteArrayView line, LegacyCodePage codePage, QByteArray &scratch)
{
    switch (classifyLine(line)) {
    case LineText::Utf8:
        return line;
    case LineText::Utf8WithSeparator:
        scratch = line.toByteArray();
        scratch.replace(kLineSeparatorView, "\n");
        return scratch;
    case LineText::Legacy:
        break;
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
// `deliver(buffer, used)`, which returns false to stop; it may swap the buffer for another. A
// record is never split between two buffers. The buffers joined must be the plain writing of the
// entries, however the records fall into them.
template <typename Deliver>
bool encodeInChunks(const std::vector<PackedEntry> &entries, qsizetype chunkSize, Deliver &&deliver)
{
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    char *out = chunk.data();
    // A reader takes a U+FEFF at the very start of the file for a byte-order mark and drops it, so
    // a first name that starts with one gets a real mark in front to keep it.
    if (!entries.empty() && entries.front().utf8(Name).startsWith(kByteOrderMark)) {
        std::memcpy(out, kByteOrderMark, 3);
        out += 3;
    }
    for (const PackedEntry &entry : entries) {
        const QByteArrayView values = allValues(entry);
        const auto bound = static_cast<qsizetype>(recordBound(values));
        const qsizetype used = out - chunk.data();
        if (used + bound > chunk.size()) {
            if (used > 0 && !deliver(chunk, used))
                return false;
            if (chunk.size() < std::max(bound, chunkSize))
                chunk.resize(std::max(bound, chunkSize));
            out = chunk.data();
        }
        out = writeRecord(out, entry, values);
    }
    const qsizetype used = out - chunk.data();
    return used == 0 || deliver(chunk, used);
}

// Below this size a second thread costs more than it saves.
constexpr qsizetype kBytesWorthAThread = 1 << 20;
constexpr size_t kEntriesWorthAThread = 10000;

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
    LineScanner scanner(pos, end);
    while (!scanner.atEnd()) {
        if (filled == 0 && stopFrom && scanner.position() >= stopFrom)
            break;
        bool beyondAscii = false;
        const QByteArrayView line = scanner.next(&beyondAscii);
        fields[static_cast<size_t>(filled)] =
            beyondAscii ? decodeLine(line, codePage, scratch[static_cast<size_t>(filled)]) : line;
        if (++filled == kFieldCount) {
            parsed.entries.emplace_back(fields);
            filled = 0;
        }
    }
    lines.stoppedAt = scanner.position();
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
    LineScanner scanner(pos, end);
    bool beyondAscii = false;
    scanner.next(&beyondAscii);
    return scanner.position();
}

// The sum of the sixteen bytes of `counts`.
size_t sumBytes(Bytes16 counts)
{
    uint64_t halves[2];
    std::memcpy(halves, &counts, sizeof halves);
    constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFULL;
    size_t sum = 0;
    for (const uint64_t half : halves) {
        const uint64_t pairs = (half & kEvenBytes) + ((half >> 8) & kEvenBytes);
        sum += static_cast<size_t>((pairs * 0x0001000100010001ULL) >> 48);
    }
    return sum;
}

// The line ends in [pos, end): every CR and every LF, a CR LF pair counting once, as the plain
// reading counts them. The upper part of a large file cannot start before this count of the lower
// part is done, so it runs sixteen bytes a step: a byte ends a line if it is a CR, or an LF that
// does not follow a CR.
size_t countLineEnds(const char *pos, const char *end)
{
    size_t ends = 0;
    bool afterCr = false;
    if (pos < end) {
        ends += *pos == '\r' || *pos == '\n';
        afterCr = *pos++ == '\r';
    }
    while (end - pos >= 16) {
        // Each byte counts the ends in its place, at most one a step: 255 steps cannot overflow it.
        Bytes16 counts{};
        for (int step = 0; step < 255 && end - pos >= 16; ++step, pos += 16) {
            const Bytes16 here = load16(pos);
            const Bytes16 before = load16(pos - 1);
            // A mark is -1 in every byte that holds: as unsigned, subtracting it adds one.
            counts -= reinterpret_cast<Bytes16>((here == '\r') | ((here == '\n') & ~(before == '\r')));
        }
        ends += sumBytes(counts);
        afterCr = pos[-1] == '\r';
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
    // counting costs a twentieth of the reading, so the halves are equal.
    // Together they must give the entries and missing lines of the plain reading of the whole
    // file, which tst_fastpaths checks on files large enough to come this way.
    const char *const upperLine = nextLineStart(begin + bytes.size() / 2, end);
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
    constexpr qsizetype kChunk = 1 << 20;
    auto write = [&](const QByteArray &chunk, qsizetype used) {
        const qint64 written = device.write(chunk.constData(), used);
        if (written == used)
            return true;
        if (error)
            *error = written < 0 ? device.errorString()
                                 : QStringLiteral("The file could not be written completely");
        return false;
    };
    if (entries.size() < kEntriesWorthAThread)
        return encodeInChunks(entries, kChunk, write);

    ChunkPipe pipe;
    auto encoder = std::async(std::launch::async, [&] {
        // The writer waits for finish(), whatever happens here.
        const auto finished = qScopeGuard([&] { pipe.finish(); });
        encodeInChunks(entries, kChunk,
                       [&](QByteArray &chunk, qsizetype used) { return pipe.pass(chunk, used); });
    });
    bool ok = true;
    QByteArray chunk;
    qsizetype used = 0;
    while (ok && pipe.next(chunk, used))
        ok = write(chunk, used);
    if (!ok)
        pipe.stop();
    encoder.get(); // rethrows what the encoding threw
    return ok;
}

QByteArray encodeEntries(const std::vector<PackedEntry> &entries)
{
    size_t size = sizeof kByteOrderMark;
    for (const PackedEntry &entry : entries)
        size += static_cast<size_t>(allValues(entry).size()) + 2 * kFieldCount;
    QByteArray out;
    out.reserve(static_cast<qsizetype>(size));
    encodeInChunks(entries, 1 << 20, [&](const QByteArray &chunk, qsizetype used) {
        out.append(chunk.constData(), used);
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
