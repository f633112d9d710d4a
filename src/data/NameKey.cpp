// The table behind the short keys is read from ICU's collator for the locale, the one QCollator
// opens, because QCollator gives whole sort keys only, and making those costs more than the sort
// they serve. A character gets a rank when its place in the order cannot depend on what stands
// around it, which the table's making checks with the collator itself:
// - it weighs something at the first level (a character the collation ignores stops the key);
// - it is not a combining mark;
// - it counts in a key only before another ranked character or the end of the name, so that no
//   mark, and no contraction that goes on with an unranked character, can change its weight; nor
//   before the second character of a contraction (or prefix mapping) it begins;
// - any two ranked characters of different rank compare, at the first level, before anything
//   that follows them is looked at: the lower one followed by U+FFFF (the highest weight there
//   is) still sorts before the higher one, so no character expands into two weights that a
//   following letter could outweigh;
// - QCollator, as the phone book sorts with it, puts every ranked character strictly between the
//   ranks next to its own.
// Then two names whose ranks differ at a place that both keys hold compare as those ranks do, and
// a name whose key is all of it sorts before a longer one that begins with the same ranks. Two
// whole names of the same ranks with the same accents in the same places are equal.
#include "data/NameKey.h"

#include <QCollator>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>
#include <QSysInfo>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace larkspan {

namespace {
// Latin, Greek and Cyrillic: the letters of most names in a phone book, one or two bytes in UTF-8.
constexpr char32_t kTableEnd = 0x500;
constexpr char16_t kHighest = 0xFFFF;

// Set on the rank of a character that a contraction begins with, together with the next one.
constexpr uint16_t kStartsPair = 0x4000;
// A character's weights at the second level, as a number: 0 for the common weight of plain
// letters, digits and signs, another for each accent (or stroke, or the like) that it bears, and
// kUncounted for one of too many kinds to count.
constexpr uint8_t kUncounted = 0xFF;

uint32_t pairOf(char32_t first, char32_t second)
{
    return uint32_t(first) << 16 | uint32_t(second);
}
} // namespace

class NameKeyTable
{
public:
    std::array<uint16_t, kTableEnd> rank{}; // 0: no rank
    std::array<uint8_t, kTableEnd> accent{};
    std::vector<uint32_t> pairs; // sorted
};

namespace {

struct Collator
{
    UCollator *handle = nullptr;
    ~Collator()
    {
        if (handle)
            ucol_close(handle);
    }
    UCollationResult compare(std::u16string_view a, std::u16string_view b) const
    {
        return ucol_strcoll(handle, reinterpret_cast<const UChar *>(a.data()), static_cast<int32_t>(a.size()),
                            reinterpret_cast<const UChar *>(b.data()), static_cast<int32_t>(b.size()));
    }
};

// The pairs of ranked characters that begin a contraction (or a prefix mapping) of the collation;
// the first of them gets kStartsPair. A contraction that goes on with a character without a rank
// needs nothing: a key never counts a character before one of those.
bool findContractions(const UCollator *collator, NameKeyTable &table)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<USet, decltype(&uset_close)> set(uset_openEmpty(), uset_close);
    ucol_getContractionsAndExpansions(collator, set.get(), nullptr, true, &status);
    if (U_FAILURE(status))
        return false;
    auto ranked = [&](UChar32 c) { return c >= 0 && c < UChar32(kTableEnd) && table.rank[size_t(c)] != 0; };
    for (int32_t item = 0; item < uset_getItemCount(set.get()); ++item) {
        UChar32 start = 0, end = 0; // a range holds single characters, which are no contraction
        UChar text[64];
        const int32_t length = uset_getItem(set.get(), item, &start, &end, text, 64, &status);
        if (U_FAILURE(status))
            return false;
        int32_t i = 0;
        UChar32 first = -1, second = -1;
        if (length > 0)
            U16_NEXT(text, i, length, first);
        if (i < length)
            U16_NEXT(text, i, length, second);
        if (ranked(first) && ranked(second)) {
            table.pairs.push_back(pairOf(first, second));
            table.rank[size_t(first)] |= kStartsPair;
        }
    }
    std::sort(table.pairs.begin(), table.pairs.end());
    return true;
}

// What a character weighs at the second level: its sort key between the first level's end and the
// next's.
QByteArray secondaryWeights(const UCollator *collator, char16_t c)
{
    uint8_t key[64];
    const int32_t size = ucol_getSortKey(collator, reinterpret_cast<const UChar *>(&c), 1, key, sizeof key);
    if (size <= 0 || size > int32_t(sizeof key))
        return {};
    const QByteArrayView bytes(key, size);
    const qsizetype start = bytes.indexOf('\x01');
    if (start < 0)
        return {};
    const QByteArrayView rest = bytes.sliced(start + 1);
    const qsizetype end = std::min<qsizetype>(rest.indexOf('\x01') < 0 ? rest.size() : rest.indexOf('\x01'),
                                              rest.indexOf('\0') < 0 ? rest.size() : rest.indexOf('\0'));
    return rest.first(end).toByteArray();
}

// Numbers the ranked characters' weights at the second level, the most frequent (that of the
// plain letters) 0: two characters of the same rank and number weigh the same at both levels.
void numberAccents(const UCollator *primary, NameKeyTable &table)
{
    UErrorCode status = U_ZERO_ERROR;
    Collator secondary{ucol_clone(primary, &status)};
    ucol_setAttribute(secondary.handle, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    table.accent.fill(kUncounted);
    if (U_FAILURE(status))
        return;
    std::array<QByteArray, kTableEnd> weights;
    QHash<QByteArray, int> counts;
    for (char16_t c = 0; c < kTableEnd; ++c)
        if (table.rank[c] != 0)
            ++counts[weights[c] = secondaryWeights(secondary.handle, c)];
    QByteArray common;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most && !it.key().isEmpty())
            std::tie(common, most) = std::pair(it.key(), it.value());
    QHash<QByteArray, uint8_t> numbers{{common, 0}};
    for (char16_t c = 0; c < kTableEnd; ++c) {
        if (table.rank[c] == 0 || weights[c].isEmpty())
            continue;
        auto number = numbers.constFind(weights[c]);
        if (number == numbers.cend() && numbers.size() < kUncounted)
            number = numbers.insert(weights[c], static_cast<uint8_t>(numbers.size()));
        if (number != numbers.cend())
            table.accent[c] = number.value();
    }
}

// The name ICU knows the locale by, as QCollator gives it.
QByteArray icuName(const QLocale &locale)
{
    return locale.bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toLatin1();
}

std::shared_ptr<const NameKeyTable> buildTable(const QLocale &locale)
{
    auto table = std::make_shared<NameKeyTable>();
    std::array<uint16_t, kTableEnd> &rank = table->rank;
    // The collator QCollator opens for the locale, compared at the first level only.
    UErrorCode status = U_ZERO_ERROR;
    Collator collator{ucol_open(icuName(locale).constData(), &status)};
    ucol_setAttribute(collator.handle, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator.handle, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    ucol_setAttribute(collator.handle, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator.handle, UCOL_STRENGTH, UCOL_PRIMARY, &status);
    if (U_FAILURE(status))
        return std::make_shared<NameKeyTable>();

    // Every character that weighs something at the first level and is no mark, for now with a
    // rank of 1.
    for (char16_t c = 0x20; c < kTableEnd; ++c)
        if ((c < 0x7F || c > 0x9F) && u_getCombiningClass(c) == 0 &&
            collator.compare(std::u16string_view(&c, 1), {}) != UCOL_EQUAL)
            rank[c] = 1;
    if (!findContractions(collator.handle, *table))
        return std::make_shared<NameKeyTable>();

    std::vector<char16_t> chars;
    for (char16_t c = 0; c < kTableEnd; ++c)
        if (rank[c] != 0)
            chars.push_back(c);
    auto view = [](const char16_t &c) { return std::u16string_view(&c, 1); };
    std::stable_sort(chars.begin(), chars.end(),
                     [&](char16_t a, char16_t b) { return collator.compare(view(a), view(b)) == UCOL_LESS; });

    // Classes of equal weight in order; a class that the one before it does not stay below
    // whatever follows is left without a rank.
    std::vector<std::vector<char16_t>> classes;
    for (const char16_t c : chars) {
        if (!classes.empty() && collator.compare(view(classes.back().front()), view(c)) == UCOL_EQUAL) {
            classes.back().push_back(c);
            continue;
        }
        if (!classes.empty()) {
            const char16_t lowerThenHighest[] = {classes.back().front(), kHighest};
            if (collator.compare(std::u16string_view(lowerThenHighest, 2), view(c)) != UCOL_LESS)
                continue;
        }
        classes.push_back({c});
    }
    const std::array<uint16_t, kTableEnd> starts = rank;
    rank.fill(0);

    // The phone book's own comparison must agree on every ranked character, else no key decides.
    QCollator check(locale);
    check.setCaseSensitivity(Qt::CaseInsensitive);
    auto text = [](char16_t c) { return QString(QChar(c)); };
    for (size_t k = 0; k < classes.size(); ++k) {
        for (const char16_t c : classes[k]) {
            if ((k > 0 && check.compare(text(classes[k - 1].front()), text(c)) >= 0) ||
                (k + 1 < classes.size() && check.compare(text(c), text(classes[k + 1].front())) >= 0))
                return std::make_shared<NameKeyTable>();
            rank[c] = static_cast<uint16_t>(k + 1) | (starts[c] & kStartsPair);
        }
    }
    numberAccents(collator.handle, *table);
    return table;
}

// Making a table takes 5 ms (20 ms for Japanese), most of it in ICU's list of every contraction,
// and it is made at every start, beside the reading of the file: the table is kept in the user's
// cache folder, with what it was made from, and read from there while that stays the same. A file
// that is not whole or does not match is made again; one that cannot be written is not kept.
namespace tablecache {

constexpr char kMagic[8] = {'L', 'K', 'N', 'K', 'E', 'Y', 'S', '1'};
constexpr qsizetype kDigest = 20; // SHA-1, against a file cut short or damaged
// A few hundred in the languages that have most; the file is read up to 64 KB.
constexpr qsizetype kMaxPairs = 1 << 13;

QString path(const QLocale &locale)
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        return {};
    return cache + QStringLiteral("/larkspan-cardindex/name-keys-") + locale.bcp47Name() +
           QStringLiteral(".bin");
}

// What the table depends on: the collator's data and version, ICU's and Qt's versions (QCollator
// checks it), and how this machine lays the numbers out.
QByteArray madeFrom(const QLocale &locale)
{
    const QByteArray name = icuName(locale);
    UErrorCode status = U_ZERO_ERROR;
    Collator collator{ucol_open(name.constData(), &status)};
    if (U_FAILURE(status))
        return {};
    UVersionInfo version;
    ucol_getVersion(collator.handle, version);
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(version, text);
    return name + " collator " + text + " icu " U_ICU_VERSION " qt " + qVersion() + ' ' +
           QSysInfo::buildAbi().toLatin1() + " table " + QByteArray::number(int(kTableEnd));
}

// The start of the file: what it is, and what its table was made from.
QByteArray header(const QByteArray &source)
{
    return QByteArray(kMagic, sizeof kMagic) + source + '\n';
}

QByteArray payload(const NameKeyTable &table)
{
    QByteArray out;
    out.append(reinterpret_cast<const char *>(table.rank.data()), sizeof table.rank);
    out.append(reinterpret_cast<const char *>(table.accent.data()), sizeof table.accent);
    out.append(reinterpret_cast<const char *>(table.pairs.data()),
               qsizetype(table.pairs.size() * sizeof(uint32_t)));
    return out;
}

std::shared_ptr<const NameKeyTable> read(const QString &file, const QByteArray &source)
{
    QFile in(file);
    if (source.isEmpty() || !in.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = in.read(64 * 1024);
    const QByteArray head = header(source);
    constexpr qsizetype kFixed = sizeof(NameKeyTable::rank) + sizeof(NameKeyTable::accent);
    if (!bytes.startsWith(head) || bytes.size() < head.size() + kFixed + kDigest)
        return nullptr;
    const QByteArrayView body = QByteArrayView(bytes).sliced(head.size()).chopped(kDigest);
    if ((body.size() - kFixed) % qsizetype(sizeof(uint32_t)) != 0 ||
        (body.size() - kFixed) / qsizetype(sizeof(uint32_t)) > kMaxPairs ||
        QCryptographicHash::hash(QByteArrayView(bytes).chopped(kDigest), QCryptographicHash::Sha1) !=
            QByteArrayView(bytes).last(kDigest))
        return nullptr;
    auto table = std::make_shared<NameKeyTable>();
    std::memcpy(table->rank.data(), body.data(), sizeof table->rank);
    std::memcpy(table->accent.data(), body.data() + sizeof table->rank, sizeof table->accent);
    table->pairs.resize(size_t(body.size() - kFixed) / sizeof(uint32_t));
    std::memcpy(table->pairs.data(), body.data() + kFixed, table->pairs.size() * sizeof(uint32_t));
    // A rank past the table's characters would be no place in any order.
    for (const uint16_t rank : table->rank)
        if ((rank & ~kStartsPair) > kTableEnd)
            return nullptr;
    if (!std::is_sorted(table->pairs.begin(), table->pairs.end()))
        return nullptr;
    return table;
}

void write(const QString &file, const QByteArray &source, const NameKeyTable &table)
{
    if (source.isEmpty() || !QDir().mkpath(QFileInfo(file).path()))
        return;
    QByteArray bytes = header(source) + payload(table);
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
    QSaveFile out(file); // a cache: a file left unsynced is found out by its digest
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
        out.commit();
}

} // namespace tablecache

std::shared_ptr<const NameKeyTable> cachedOrBuilt(const QLocale &locale)
{
    const QString file = tablecache::path(locale);
    const QByteArray source = file.isEmpty() ? QByteArray() : tablecache::madeFrom(locale);
    if (auto cached = tablecache::read(file, source))
        return cached;
    auto built = buildTable(locale);
    // A table without ranks is what a failure gives: it is made again next time.
    if (std::any_of(built->rank.begin(), built->rank.end(), [](uint16_t rank) { return rank != 0; }))
        tablecache::write(file, source, *built);
    return built;
}

// One table per locale while it stays the same.
std::shared_ptr<const NameKeyTable> tableFor(const QLocale &locale)
{
    static QMutex mutex;
    static QString lastLocale;
    static std::shared_ptr<const NameKeyTable> last;
    const QString name = locale.bcp47Name();
    QMutexLocker lock(&mutex);
    if (!last || name != lastLocale) {
        last = cachedOrBuilt(locale);
        lastLocale = name;
    }
    return last;
}

// The character at `pos` if it takes one or two bytes, else -1.
int32_t shortCharacter(const unsigned char *pos, const unsigned char *end, int *size)
{
    if (pos[0] < 0x80) {
        *size = 1;
        return pos[0];
    }
    if (pos[0] >= 0xC2 && pos[0] <= 0xDF && end - pos >= 2 && (pos[1] & 0xC0) == 0x80) {
        *size = 2;
        return ((pos[0] & 0x1F) << 6) | (pos[1] & 0x3F);
    }
    return -1;
}

} // namespace

NameKeys::NameKeys(const QLocale &locale) : table_(tableFor(locale)) {}

NameKey NameKeys::make(QByteArrayView utf8) const
{
    NameKey key;
    const auto *pos = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *const end = pos + utf8.size();
    auto rankAt = [&](const unsigned char *at, int32_t *c, int *size) -> uint16_t {
        *c = shortCharacter(at, end, size);
        return *c >= 0 && *c < int32_t(kTableEnd) ? table_->rank[size_t(*c)] : 0;
    };
    int count = 0;
    int accents = 0; // of them in key.accents
    bool counted = true;
    int32_t c = 0;
    int size = 0;
    uint16_t rank = pos < end ? rankAt(pos, &c, &size) : 0;
    while (count < NameKey::kLetters && rank != 0) {
        const unsigned char *const next = pos + size;
        int32_t nextC = 0;
        int nextSize = 0;
        const uint16_t nextRank = next < end ? rankAt(next, &nextC, &nextSize) : 0;
        // Stop where what follows might change this character's weight.
        if (nextRank == 0 && next < end)
            break;
        if ((rank & kStartsPair) && next < end &&
            std::binary_search(table_->pairs.begin(), table_->pairs.end(), pairOf(c, nextC)))
            break;
        key.lanes[size_t(count / 4)] |= uint64_t(rank & ~kStartsPair) << (48 - 16 * (count % 4));
        const uint8_t accent = table_->accent[size_t(c)];
        if (accent == kUncounted || (accent != 0 && accents == NameKey::kAccents)) {
            counted = false;
        } else if (accent != 0) {
            key.accents |= (uint64_t(count) << 8 | accent) << (16 * accents);
            ++accents;
        }
        ++count;
        pos = next;
        rank = nextRank;
        c = nextC;
        size = nextSize;
    }
    key.length = static_cast<uint8_t>(count);
    key.whole = pos == end;
    key.accentsCounted = key.whole && counted;
    return key;
}

} // namespace larkspan
