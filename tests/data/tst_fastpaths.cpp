// The quick ways the data layer reads, writes, sorts and searches (the ones the benchmark times)
// give exactly what the plain ways give, on random input made to hit their edges: line ends and
// multi-byte sequences across eight-byte words, invalid UTF-8, line breaks in values, values
// larger than a write buffer, equal names, lists already in order or in order but for a tail,
// lists large enough to be sorted on two threads, and needles across the end of a name.
#include "data/EntryStore.h"
#include "data/NameKey.h"
#include "data/NumbersFile.h"
#include "data/PhoneBook.h"

#include <QBuffer>
#include <QCollator>
#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <numeric>

using namespace larkspan;

namespace {

// Reading as the first version of the program did: split at CR LF, CR and LF; a file that is all
// UTF-8 is read as UTF-8, otherwise each line that is not UTF-8 in the legacy code page.
ParsedFile plainParse(QByteArrayView bytes, LegacyCodePage codePage)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const bool allValid = bytes.isValidUtf8();
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines << bytes.sliced(start, i - start).toByteArray();
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << bytes.sliced(start).toByteArray();

    ParsedFile parsed;
    for (qsizetype first = 0; first < lines.size(); first += kFieldCount) {
        std::array<QByteArray, kFieldCount> values;
        std::array<QByteArrayView, kFieldCount> views;
        for (int f = 0; f < kFieldCount && first + f < lines.size(); ++f) {
            QByteArray line = lines[first + f];
            if (allValid || QByteArrayView(line).isValidUtf8())
                line.replace("\xE2\x80\xA8", "\n");
            else
                line = decodeLegacy(line, codePage).toUtf8();
            values[size_t(f)] = line;
            views[size_t(f)] = values[size_t(f)];
        }
        parsed.entries.emplace_back(views);
        parsed.missingLines = int(std::max<qsizetype>(0, first + kFieldCount - lines.size()));
    }
    return parsed;
}

QByteArray plainEncode(const std::vector<PackedEntry> &entries)
{
    QByteArray out;
    // A first name that starts with U+FEFF gets a byte-order mark in front, which a reader drops.
    if (!entries.empty() && entries.front().utf8(Name).startsWith("\xEF\xBB\xBF"))
        out += "\xEF\xBB\xBF";
    for (const PackedEntry &entry : entries) {
        for (int f = 0; f < kFieldCount; ++f) {
            const QByteArrayView value = entry.utf8(Field(f));
            for (qsizetype i = 0; i < value.size(); ++i) {
                if (value[i] == '\r' || value[i] == '\n') {
                    out += "\xE2\x80\xA8";
                    if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                        ++i;
                } else {
                    out += value[i];
                }
            }
            out += "\r\n";
        }
    }
    return out;
}

class Random
{
public:
    explicit Random(quint32 seed) : generator_(seed) {}
    int below(int n) { return int(generator_.bounded(n)); }
    template <typename T> const T &pick(const QList<T> &items) { return items[below(int(items.size()))]; }

private:
    QRandomGenerator generator_;
};

// Bytes made of the pieces that matter to a reader.
QByteArray randomFileBytes(Random &random, int pieces)
{
    static const QList<QByteArray> kPieces = {"a",
                                              "Zq",
                                              " ",
                                              "0123456",
                                              "longer plain text",
                                              "\r",
                                              "\n",
                                              "\r\n",
                                              "\n\r",
                                              "\xE2\x80\xA8",
                                              "\xC3\xA9",
                                              "\xD0\x96",
                                              "\xF0\x9F\x93\x9E",
                                              "\xEF\xBB\xBF",
                                              "\xC3",
                                              "\xE2\x80",
                                              "\x80",
                                              "\xFF",
                                              "\xC0\xAF",
                                              "\xED\xA0\x80",
                                              "\xED\x9F\xBF",
                                              "\xE0\x9F\xBF",
                                              "\xE0\xA0\x80",
                                              "\xF0\x8F\xBF\xBF",
                                              "\xF4\x8F\xBF\xBF",
                                              "\xF4\x90\x80\x80",
                                              "\xF5\x80\x80\x80",
                                              QByteArray("\0", 1),
                                              "\t"};
    QByteArray bytes;
    for (int i = 0; i < pieces; ++i)
        bytes += random.pick(kPieces);
    return bytes;
}

QString randomName(Random &random)
{
    static const QStringList kParts = {
        "Ann",  "ann",     "ANN", "Bo", "b", "Émile",  "emile", "Zoë",    "ß", "SS", "Ærø", "Ivan", "Иван",
        "иван", "Σίσυφος", "ς",   " ",  "-", "O'Neil", "3rd",   "\uFEFF", "z", "Ω",  "x",   "Zack"};
    QString name;
    const int parts = random.below(4);
    for (int i = 0; i < parts; ++i)
        name += random.pick(kParts);
    return name;
}

// Rows whose phone field holds their number before sorting, so that the order of equal names shows.
std::vector<PackedEntry> numberedRows(const QStringList &names)
{
    std::vector<PackedEntry> rows;
    for (qsizetype i = 0; i < names.size(); ++i) {
        Contact contact;
        contact[Name] = names[i];
        contact[Phone] = QString::number(i);
        rows.emplace_back(contact);
    }
    return rows;
}

QStringList phonesOf(const std::vector<PackedEntry> &rows)
{
    QStringList phones;
    for (const PackedEntry &row : rows)
        phones << row.text(Phone);
    return phones;
}

// Names made to meet what the short sort keys must not get wrong in some language: contractions
// ("ch", "l·", "aa"), letters that sort apart from their base (å, ä, ø, ı), letters that weigh
// as two (ß, Æ, ĳ), combining marks, ignorable characters, characters outside the keys' table,
// and names alike for longer than a key.
QString collationName(Random &random)
{
    static const QStringList kParts = {"a",   "A",
                                       "aa",  "Aa",
                                       "å",   "ä",
                                       "ä",   "b",
                                       "c",   "ch",
                                       "Ch",  "cs",
                                       "h",   "i",
                                       "ı",   "İ",
                                       "y",   "l",
                                       "l·l", "Ŀ",
                                       "o",   "ø",
                                       "ö",   "ß",
                                       "ss",  "Æ",
                                       "æ",   "ĳ",
                                       "e",   "é",
                                       "é",   "ẹ́",
                                       "­",   "-",
                                       " ",   "3",
                                       "Ω",   "ω",
                                       "Ж",   "ж",
                                       "ё",   "е",
                                       "王",  "📞",
                                       "﻿", "Abcdefghijklmnopqrstuvwxyz ",
                                       "z",   "w",
                                       "v"};
    QString name;
    const int parts = random.below(6);
    for (int i = 0; i < parts; ++i)
        name += random.pick(kParts);
    return name;
}

// Sorting as the first version did: a stable sort comparing names with the collator.
QStringList plainSortedPhones(const std::vector<PackedEntry> &rows,
                              const QLocale &locale = QLocale(QLocale::English, QLocale::UnitedStates))
{
    QCollator collator{locale};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList names;
    for (const PackedEntry &row : rows)
        names << row.text(Name);
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return collator.compare(names[a], names[b]) < 0; });
    QStringList phones;
    for (int index : order)
        phones << rows[size_t(index)].text(Phone);
    return phones;
}

QStringList sortedPhones(std::vector<PackedEntry> rows)
{
    EntryStore store;
    store.replaceAll(std::move(rows));
    store.sortByName();
    return phonesOf(store.rows());
}

int plainFind(const EntryStore &store, const QString &needle)
{
    for (int row = 0; row < store.count(); ++row) {
        const QString name = store.text(row, Name);
        if (needle.isEmpty() ? !name.isEmpty() : name.toCaseFolded().contains(needle.toCaseFolded()))
            return row;
    }
    return -1;
}

} // namespace

class TestFastPaths : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void parse_givesWhatPlainSplittingGives_data();
    void parse_givesWhatPlainSplittingGives();
    void parse_ofLargeFilesInHalves_givesWhatPlainSplittingGives();
    void encode_givesWhatPlainWritingGives();
    void write_isTheEncodingInChunksLargerThanTheBuffer();

    void sort_givesThePlainStableOrder_data();
    void sort_givesThePlainStableOrder();
    void sortKeys_agreeWithTheCollator_data();
    void sortKeys_agreeWithTheCollator();
    void sortKeys_comeBackFromTheirCache_data();
    void sortKeys_comeBackFromTheirCache();

    void findName_givesThePlainFirstMatch();
    void findName_seesRenamedRows();

    void preload_givesThePlainLoadAndSort_data();
    void preload_givesThePlainLoadAndSort();
};

void TestFastPaths::initTestCase()
{
    // The collation the program uses where the locale has none of its own.
    QLocale::setDefault(QLocale::c());
}

void TestFastPaths::init()
{
    // A quick path that gives up and falls back to the plain one says so.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestFastPaths::parse_givesWhatPlainSplittingGives_data()
{
    QTest::addColumn<int>("codePage");
    QTest::newRow("Windows-1252") << int(LegacyCodePage::Windows1252);
    QTest::newRow("Windows-1251") << int(LegacyCodePage::Windows1251);
}

void TestFastPaths::parse_givesWhatPlainSplittingGives()
{
    QFETCH(int, codePage);
    Random random(7 + quint32(codePage));
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = randomFileBytes(random, random.below(round < 2000 ? 40 : 400));
        if (round % 3 == 0) // a file that is all UTF-8 is read without checking line by line
            bytes = QString::fromUtf8(bytes).toUtf8();
        const ParsedFile quick = parseNumbersFile(bytes, LegacyCodePage(codePage));
        const ParsedFile plain = plainParse(bytes, LegacyCodePage(codePage));
        QCOMPARE(quick.missingLines, plain.missingLines);
        QCOMPARE(quick.entries.size(), plain.entries.size());
        for (size_t i = 0; i < quick.entries.size(); ++i)
            if (!(quick.entries[i] == plain.entries[i]))
                QFAIL(qPrintable(
                    QStringLiteral("entry %1 of %2").arg(i).arg(QString::fromLatin1(bytes.toHex()))));
    }
}

void TestFastPaths::parse_ofLargeFilesInHalves_givesWhatPlainSplittingGives()
{
    // Large files are read in two halves; where the upper one starts depends on the lines before.
    Random random(13);
    for (int round = 0; round < 12; ++round) {
        QByteArray bytes = randomFileBytes(random, 500000 + random.below(100000));
        if (round % 4 == 1)
            bytes.replace('\r', "");
        if (round % 4 == 2)
            bytes.replace('\n', "");
        if (round % 4 == 3) // an unfinished last record, or none but one long line after the middle
            bytes += round == 3 ? QByteArray("a\rb") : QByteArray(1 << 21, 'x');
        const ParsedFile quick = parseNumbersFile(bytes, LegacyCodePage::Windows1252);
        const ParsedFile plain = plainParse(bytes, LegacyCodePage::Windows1252);
        QCOMPARE(quick.missingLines, plain.missingLines);
        QCOMPARE(quick.entries.size(), plain.entries.size());
        for (size_t i = 0; i < quick.entries.size(); ++i)
            QVERIFY2(quick.entries[i] == plain.entries[i],
                     qPrintable(QStringLiteral("round %1 entry %2").arg(round).arg(i)));
    }
}

void TestFastPaths::encode_givesWhatPlainWritingGives()
{
    Random random(11);
    static const QStringList kPieces = {"x", "plain words", "\n", "\r",       "\r\n", "\n\r",  "é",
                                        "Ж", "\u2028",      "📞",  "12345678", "",     "\uFEFF"};
    std::vector<PackedEntry> entries;
    for (int row = 0; row < 3000; ++row) {
        Contact contact;
        for (QString &value : contact) {
            const int pieces = random.below(row % 5 == 0 ? 1 : 6);
            for (int i = 0; i < pieces; ++i)
                value += random.pick(kPieces);
        }
        entries.emplace_back(contact);
    }
    entries.emplace_back(); // every field empty
    QCOMPARE(encodeEntries(entries), plainEncode(entries));
    Contact markFirst;
    markFirst[Name] = QStringLiteral("\uFEFFMarked");
    entries.insert(entries.begin(), PackedEntry(markFirst));
    QCOMPARE(encodeEntries(entries), plainEncode(entries));
    QVERIFY(encodeEntries(entries).startsWith("\xEF\xBB\xBF\xEF\xBB\xBFMarked\r\n"));
    QCOMPARE(encodeEntries({}), QByteArray());
}

void TestFastPaths::write_isTheEncodingInChunksLargerThanTheBuffer()
{
    // Values of several megabytes, one of them all line breaks, among ordinary rows.
    std::vector<PackedEntry> entries;
    for (int row = 0; row < 20000; ++row) {
        Contact contact;
        contact[Name] = QStringLiteral("Row %1").arg(row);
        contact[Comments] = QStringLiteral("first line\nsecond line");
        if (row == 7000)
            contact[Comments] = QString(3 << 20, QLatin1Char('c'));
        if (row == 15000)
            contact[Address] = QString(1 << 20, QLatin1Char('\n'));
        entries.emplace_back(contact);
    }
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QString error;
    QVERIFY(writeEntries(buffer, entries, &error));
    QCOMPARE(error, QString());
    const QByteArray expected = plainEncode(entries);
    QCOMPARE(buffer.data().size(), expected.size());
    QVERIFY(buffer.data() == expected);
    QVERIFY(encodeEntries(entries) == expected);
    QCOMPARE(parseNumbersFile(expected, LegacyCodePage::Windows1252).entries.size(), entries.size());

    // A device that fills up: the save stops there with the device's reason, and the thread that
    // encodes ahead (several chunks, here dozens) stops too.
    std::vector<PackedEntry> many;
    for (int copy = 0; copy < 4; ++copy)
        many.insert(many.end(), entries.begin(), entries.end());
    struct FullDevice : QIODevice
    {
        qint64 room = 0;
        qint64 readData(char *, qint64) override { return -1; }
        qint64 writeData(const char *, qint64 size) override
        {
            if (size > room) {
                setErrorString(QStringLiteral("No space left on device"));
                return -1;
            }
            room -= size;
            return size;
        }
    };
    for (const qint64 room : {qint64(0), expected.size() * 2, expected.size() * 4 - 1}) {
        FullDevice full;
        full.room = room;
        QVERIFY(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QVERIFY(!writeEntries(full, many, &error));
        QCOMPARE(error, QStringLiteral("No space left on device"));
    }
}

void TestFastPaths::sort_givesThePlainStableOrder_data()
{
    QTest::addColumn<int>("rows");     // in random order
    QTest::addColumn<int>("sorted");   // rows first put in order
    QTest::addColumn<int>("appended"); // random rows after those
    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("one") << 1 << 0 << 0;
    QTest::newRow("a few in random order") << 300 << 0 << 0;
    QTest::newRow("many, on two threads") << 45000 << 0 << 0;
    QTest::newRow("already in order") << 0 << 3000 << 0;
    QTest::newRow("in order but a short tail") << 0 << 3000 << 200;
    QTest::newRow("in order but a one-row tail") << 0 << 3000 << 1;
    QTest::newRow("in order but a long tail") << 0 << 3000 << 1500;
    QTest::newRow("many in order but a tail, on two threads") << 0 << 170000 << 21000;
    QTest::newRow("many in order but a long tail, on two threads") << 0 << 25000 << 10000;
    QTest::newRow("many already in order, on two threads") << 0 << 30000 << 0;
}

void TestFastPaths::sort_givesThePlainStableOrder()
{
    QFETCH(int, rows);
    QFETCH(int, sorted);
    QFETCH(int, appended);
    Random random(quint32(rows + 3 * sorted + 7 * appended));
    QStringList pool;
    for (int i = 0; i < 600; ++i)
        pool << randomName(random);
    auto randomNames = [&](int count) {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << (i % 2 ? pool[random.below(int(pool.size()))] : randomName(random));
        return names;
    };

    QStringList names = randomNames(rows);
    if (sorted > 0) {
        std::vector<PackedEntry> ordered = numberedRows(randomNames(sorted));
        EntryStore store;
        store.replaceAll(std::move(ordered));
        store.sortByName();
        for (const PackedEntry &row : store.rows())
            names << row.text(Name);
        names << randomNames(appended);
    }
    const std::vector<PackedEntry> input = numberedRows(names);
    QCOMPARE(sortedPhones(input), plainSortedPhones(input));
}

void TestFastPaths::sortKeys_agreeWithTheCollator_data()
{
    QTest::addColumn<QString>("locale");
    for (const char *locale : {"en_US", "sv_SE", "da_DK", "cs_CZ", "lt_LT", "tr_TR", "es_ES", "fr_CA",
                               "hu_HU", "ru_RU", "el_GR", "ja_JP", "vi_VN"})
        QTest::newRow(locale) << QString::fromLatin1(locale);
}

// Every comparison the keys decide is the collator's, and sorting and the check that rows are in
// order give the plain order, in languages whose collation differs where the keys look.
void TestFastPaths::sortKeys_agreeWithTheCollator()
{
    QFETCH(QString, locale);
    const QLocale language(locale);
    QCollator collator(language);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const NameKeys keys(language);
    Random random(qHash(locale));
    QStringList names;
    for (int i = 0; i < 3000; ++i)
        names << collationName(random);
    int decided = 0;
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QByteArray a = names[i - 1].toUtf8(), b = names[i].toUtf8();
        const int expected = collator.compare(names[i - 1], names[i]);
        const QByteArray pair = (names[i - 1] + QStringLiteral(" | ") + names[i]).toUtf8();
        switch (orderByKeys(keys.make(a), keys.make(b))) {
        case KeyOrder::Less:
            QVERIFY2(expected < 0, pair.constData());
            break;
        case KeyOrder::Greater:
            QVERIFY2(expected > 0, pair.constData());
            break;
        case KeyOrder::Equal:
            QVERIFY2(expected == 0, pair.constData());
            break;
        case KeyOrder::Unknown:
            --decided;
            break;
        }
        ++decided;
    }
    // The keys are worth having, even among these names: they decide many comparisons.
    QVERIFY2(decided > names.size() / 4, qPrintable(QString::number(decided)));

    QLocale::setDefault(language);
    const std::vector<PackedEntry> input = numberedRows(names);
    const QStringList plain = plainSortedPhones(input, language);
    QCOMPARE(sortedPhones(input), plain);
    // In order but for two neighbours the keys cannot tell apart.
    std::vector<PackedEntry> ordered;
    for (const QString &phone : plain)
        ordered.push_back(input[size_t(phone.toInt())]);
    for (size_t i = 1; i < ordered.size(); ++i) {
        if (orderByKeys(keys.make(ordered[i - 1].utf8(Name)), keys.make(ordered[i].utf8(Name))) ==
                KeyOrder::Unknown &&
            collator.compare(ordered[i - 1].text(Name), ordered[i].text(Name)) < 0) {
            std::swap(ordered[i - 1], ordered[i]);
            break;
        }
    }
    QCOMPARE(sortedPhones(ordered), plainSortedPhones(ordered, language));
    QLocale::setDefault(QLocale::c());
}

void TestFastPaths::sortKeys_comeBackFromTheirCache_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("whole") << 0;
    QTest::newRow("a byte changed") << 1;
    QTest::newRow("cut short") << 2;
    QTest::newRow("made from another collator") << 3;
    QTest::newRow("whole, holding the Danish table") << 4;
}

// The table behind the keys is kept in the cache folder. What comes back from there gives the
// keys a table made anew gives; a file that is damaged, or was made from something else, is made
// again.
void TestFastPaths::sortKeys_comeBackFromTheirCache()
{
    QFETCH(int, damage);
    QTemporaryDir cache;
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const auto restore = qScopeGuard([&] { qputenv("XDG_CACHE_HOME", oldCache); });
    const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
    Random random(11);
    QList<QByteArray> names;
    for (int i = 0; i < 400; ++i)
        names << collationName(random).toUtf8();
    auto keysOf = [&] {
        NameKeys{
            QLocale(QLocale::Danish, QLocale::Denmark)}; // so that the Swedish table is made or read again
        const NameKeys keys(swedish);
        QStringList described;
        for (const QByteArray &name : names) {
            const NameKey key = keys.make(name);
            QString text;
            for (const uint64_t lane : key.lanes)
                text += QString::number(lane, 16) + QLatin1Char(' ');
            described << text + QStringLiteral("%1 %2 %3 %4")
                                    .arg(key.accents, 0, 16)
                                    .arg(key.length)
                                    .arg(key.whole)
                                    .arg(key.accentsCounted);
        }
        return described;
    };

    const QStringList made = keysOf();
    const QDir folder(cache.path() + QStringLiteral("/larkspan-cardindex"));
    const QStringList files = folder.entryList({QStringLiteral("*sv*")}, QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile file(folder.filePath(files[0]));
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray whole = file.readAll();
    QByteArray damaged = whole;
    if (damage == 1) {
        damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 1);
    } else if (damage == 2) {
        damaged.chop(7);
    } else if (damage == 3) {
        damaged = damaged.replace("icu ", "icu 9").chopped(20);
        damaged += QCryptographicHash::hash(damaged, QCryptographicHash::Sha1);
    } else if (damage == 4) {
        QFile danish(folder.filePath(folder.entryList({QStringLiteral("*da*")}, QDir::Files).value(0)));
        QVERIFY(danish.open(QIODevice::ReadOnly));
        const QByteArray other = danish.readAll();
        damaged = whole.first(whole.indexOf('\n') + 1) + other.sliced(other.indexOf('\n') + 1).chopped(20);
        damaged += QCryptographicHash::hash(damaged, QCryptographicHash::Sha1);
    }
    QVERIFY(file.resize(0) && file.write(damaged) == damaged.size());
    file.close();

    if (damage == 4) { // a whole file is read, not made again
        QVERIFY(keysOf() != made);
        return;
    }
    QCOMPARE(keysOf(), made);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), whole);
}

void TestFastPaths::findName_givesThePlainFirstMatch()
{
    Random random(5);
    QStringList names;
    for (int i = 0; i < 1500; ++i)
        names << randomName(random);
    names[700] = QStringLiteral("Unique Needle Holder");
    EntryStore store;
    store.replaceAll(numberedRows(names));

    QStringList needles = {"",
                           "a",
                           "A",
                           "ann",
                           "NNa",
                           "é",
                           "ÉMILE",
                           "ss",
                           "SS",
                           "ß",
                           "ИВАН",
                           "σ",
                           "Σ",
                           "ς",
                           "unique needle holder",
                           "holder ",
                           "-o'",
                           "qqqqqq",
                           "zx",
                           "x z",
                           "\uFEFF",
                           "annannannannann",
                           "Ω",
                           " "};
    for (int i = 0; i < 400; ++i) {
        // Pieces of two names in a row, the end of one and the start of the next, and pieces of one.
        const int row = random.below(int(names.size()) - 1);
        const QString both = names[row] + names[row + 1];
        const int from = random.below(int(both.size()) + 1);
        const int length = random.below(int(both.size()) - from + 1);
        QString needle = both.mid(from, length);
        if (i % 2)
            needle = needle.toUpper();
        needles << needle;
    }
    for (const QString &needle : std::as_const(needles))
        QVERIFY2(store.findName(needle) == plainFind(store, needle), qPrintable(needle));

    // Typed a character at a time, then taken back with Backspace, then typed again differently:
    // each search goes on from the answers before it.
    for (const QString word : {"unique needle holderq", "ANNA", "ßsS", "ssß", "qxzj", "ИВАНа", "σς", "x z",
                               "\U0001F4DEa", "a\U0001F4DE"}) {
        QStringList typed;
        for (qsizetype length = 1; length <= word.size(); ++length)
            typed << word.left(length);
        for (qsizetype length = word.size() - 1; length >= 1; --length)
            typed << word.left(length);
        typed << word.left(1) + QStringLiteral("nn") << word.right(2);
        for (const QString &needle : std::as_const(typed))
            QVERIFY2(store.findName(needle) == plainFind(store, needle), qPrintable(needle));
    }
}

void TestFastPaths::findName_seesRenamedRows()
{
    EntryStore store;
    store.replaceAll(numberedRows({"Alpha", "Beta", "Gamma"}));
    QCOMPARE(store.findName("mm"), 2);
    store.setText(0, Name, QStringLiteral("Emma"));
    QCOMPARE(store.findName("mm"), 0);
    store.remove(0);
    QCOMPARE(store.findName("mm"), 1);
    QCOMPARE(store.findName("alpha"), -1);
}

void TestFastPaths::preload_givesThePlainLoadAndSort_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("inOrder");         // the file as the program saves it
    QTest::addColumn<bool>("codePageChanged"); // after the preload, before the load
    QTest::newRow("in no order") << 300 << false << false;
    QTest::newRow("in order") << 300 << true << false;
    QTest::newRow("in no order, on two threads") << 45000 << false << false;
    QTest::newRow("the code page changed since") << 300 << false << true;
    QTest::newRow("no file") << -1 << false << false;
}

void TestFastPaths::preload_givesThePlainLoadAndSort()
{
    QFETCH(int, rows);
    QFETCH(bool, inOrder);
    QFETCH(bool, codePageChanged);
    QTemporaryDir folder;
    QVERIFY(QDir::setCurrent(folder.path()));
    Random random(static_cast<quint32>(rows + 11));
    QStringList names;
    for (int i = 0; i < rows; ++i)
        names << randomName(random);
    std::vector<PackedEntry> entries = numberedRows(names);
    if (inOrder) {
        EntryStore store;
        store.replaceAll(std::move(entries));
        store.sortByName();
        entries = store.rows();
    }
    if (rows >= 0)
        QVERIFY(saveNumbersFile(QDir(folder.path()).filePath("Numbers.dat"), entries).ok);

    PhoneBook plain(QStringLiteral("Numbers.dat"));
    const LoadResult plainLoaded = plain.load();
    plain.sort();
    PhoneBook quick(QStringLiteral("Numbers.dat"));
    quick.preload();
    if (codePageChanged)
        quick.setLegacyCodePage(LegacyCodePage::Windows1251);
    QSignalSpy reset(&quick.model(), &QAbstractItemModel::modelReset);
    QSignalSpy moved(&quick.model(), &QAbstractItemModel::layoutChanged);
    const LoadResult quickLoaded = quick.load();
    quick.sort();
    QCOMPARE(quickLoaded.ok, plainLoaded.ok);
    QCOMPARE(quickLoaded.error, plainLoaded.error);
    QCOMPARE(quick.fileState(), plain.fileState());
    QCOMPARE(phonesOf(quick.model().store().rows()), phonesOf(plain.model().store().rows()));
    // The list is laid out once: the rows arrive sorted, and the sort after them moves nothing.
    if (quickLoaded.ok) {
        QCOMPARE(reset.count(), 1);
        QCOMPARE(moved.count(), codePageChanged ? 1 : 0);
    }
    QDir::setCurrent(QDir::tempPath());
}

QTEST_GUILESS_MAIN(TestFastPaths)
#include "tst_fastpaths.moc"
