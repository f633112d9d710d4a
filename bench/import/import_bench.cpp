// Times the import of files dropped on the Entry list and prints one line per figure on standard
// output: `name N value unit ratio`, the ratio being the time over its budget. Progress goes to
// standard error.
//
//   cardindex_import_bench [RUNS [NAME]]
//
// With NAME, only the figures whose name holds it are taken (for profiling one shape).
//
// The files are made afresh in a temporary folder, shaped like the exports of phones and address
// books: vCard 3.0 cards with folded lines and escapes, vCard 2.1 cards with quoted-printable
// values, and an Outlook-style CSV file.
//   - 10,000 contacts as vCard and as CSV: the reading, and the whole drop (read, confirm, append,
//     save), against 100 ms;
//   - the duplicate check of those 10,000 against a list of a million entries, against 1 s;
//   - files of about 10 MB, the whole drop against 1 s: ordinary contacts as vCard and CSV, one
//     quoted-printable note with a million soft line breaks, one card with 50,000 numbers and
//     50,000 properties of other programs, cards nested in cards that never end, and a CSV file
//     with 5,000 columns.
// Every figure is the median of RUNS runs (5 unless given; a 10 MB drop that takes over 3 s is
// timed once). A figure over its budget is printed like any other: the exit status is 0 unless
// the files could not be made or the 10,000 contacts did not all arrive (2).
#include "BenchSupport.h"
#include "common/MessageBox.h"
#include "data/PhoneBook.h"
#include "data/exchange/ContactDrop.h"
#include "data/exchange/ContactImport.h"
#include "mainwindow/EntryList.h"
#include "mainwindow/Form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace larkspan::bench {

namespace {

constexpr int kContacts = 10000;
constexpr double kDropBudgetMs = 1000;
constexpr double kContactsBudgetMs = 100;

const char *const kGiven[] = {"Ann",   "Élodie", "Jürgen", "Priya", "Wei",  "Siobhán", "Olusegun", "Lucía",
                              "Kenji", "Grace",  "Thomas", "Zoë",   "Ivan", "Ngozi",   "Mateo",    "Aroha"};
const char *const kFamily[] = {"Lee",     "Moreau", "Müller",   "Raman",  "Zhang",     "O'Brien",
                               "Adeyemi", "García", "Watanabe", "Okafor", "Whitfield", "Ångström",
                               "Petrov",  "Eze",    "Silva",    "Ngata"};
const char *const kTowns[] = {"Lyon",          "München", "Bengaluru", "Sydney",
                              "Dún Laoghaire", "Lagos",   "São Paulo", "Osaka"};

struct Person
{
    QString given, family, town, street, mobile, home, work, email, note;
};

Person person(std::mt19937 &random, int index)
{
    auto pick = [&](const auto &list) {
        return QString::fromUtf8(list[random() % (sizeof list / sizeof list[0])]);
    };
    auto digits = [&](int count) {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QChar(u'0' + char16_t(random() % 10));
        return text;
    };
    Person p;
    p.given = pick(kGiven);
    p.family = pick(kFamily) + QString::number(index);
    p.town = pick(kTowns);
    p.street = QStringLiteral("%1 High Street, Unit %2").arg(random() % 400 + 1).arg(random() % 30 + 1);
    p.mobile = QStringLiteral("+61 4%1 %2 %3").arg(digits(2), digits(3), digits(3));
    p.home = QStringLiteral("(0%1) %2 %3").arg(digits(1), digits(4), digits(4));
    p.work = QStringLiteral("(0%1) %2 %3").arg(digits(1), digits(4), digits(4));
    p.email = QStringLiteral("person%1@example.com").arg(index);
    p.note =
        QStringLiteral("Met at the conference in %1; likes tea, not coffee.\nCall after 10am.").arg(p.town);
    return p;
}

QByteArray escaped(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char(','), QLatin1String("\\,"))
        .replace(QLatin1Char(';'), QLatin1String("\\;"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return out.toUtf8();
}

QByteArray folded(const QByteArray &line)
{
    QByteArray out;
    QByteArrayView rest(line);
    qsizetype limit = 75;
    while (rest.size() > limit) {
        qsizetype cut = limit;
        while ((static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80)
            --cut;
        out += rest.first(cut);
        out += "\r\n ";
        rest = rest.sliced(cut);
        limit = 74;
    }
    return out + rest.toByteArray() + "\r\n";
}

QByteArray quotedPrintable(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || c == '=' || c == '\n' || c == ';')
            out += '=' + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

QByteArray vcardFile(int count)
{
    std::mt19937 random(2021);
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        const Person p = person(random, i);
        if (i % 4 == 3) {
            // A phone's 2.1 card: quoted-printable names and notes.
            out += "BEGIN:VCARD\r\nVERSION:2.1\r\n";
            out += "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + quotedPrintable(p.family) + ";" +
                   quotedPrintable(p.given) + ";;;\r\n";
            out += "TEL;CELL:" + p.mobile.toUtf8() + "\r\nTEL;HOME;VOICE:" + p.home.toUtf8() + "\r\n";
            out += "EMAIL;INTERNET:" + p.email.toUtf8() + "\r\n";
            out += "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + quotedPrintable(p.note) + "\r\n";
            out += "END:VCARD\r\n";
            continue;
        }
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Example Corp.//Address Book 13.4//EN\r\n";
        out += "N:" + escaped(p.family) + ";" + escaped(p.given) + ";;;\r\n";
        out += folded("FN:" + escaped(p.given + QLatin1Char(' ') + p.family));
        out += "ORG:Example Holdings\\, Ltd.;Sales\r\n";
        out += "TEL;type=CELL;type=VOICE;type=pref:" + p.mobile.toUtf8() + "\r\n";
        out += "TEL;type=HOME;type=VOICE:" + p.home.toUtf8() + "\r\n";
        out += "TEL;type=WORK;type=VOICE:" + p.work.toUtf8() + "\r\n";
        out += "item1.EMAIL;type=INTERNET;type=pref:" + p.email.toUtf8() + "\r\n";
        out += folded("item2.ADR;type=HOME;type=pref:;;" + escaped(p.street) + ";" + escaped(p.town) +
                      ";State;2000;Australia");
        out += folded("NOTE:" + escaped(p.note));
        out += "BDAY;value=date:1980-01-01\r\nEND:VCARD\r\n";
    }
    return out;
}

QByteArray csvField(const QString &value)
{
    QByteArray utf8 = value.toUtf8();
    return '"' + utf8.replace("\"", "\"\"") + '"';
}

QByteArray csvFile(int count)
{
    std::mt19937 random(1975);
    QByteArray out =
        "\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",\"Suffix\",\"Company\",\"Department\","
        "\"Job Title\",\"Business Street\",\"Business City\",\"Business State\",\"Business Postal "
        "Code\",\"Business Country/Region\",\"Home Street\",\"Home City\",\"Home State\",\"Home "
        "Postal Code\",\"Home Country/Region\",\"Business Fax\",\"Business Phone\",\"Home "
        "Phone\",\"Mobile Phone\",\"Birthday\",\"E-mail Address\",\"E-mail Type\",\"E-mail "
        "Display Name\",\"Gender\",\"Notes\",\"Priority\",\"Sensitivity\",\"Web Page\"\r\n";
    for (int i = 0; i < count; ++i) {
        const Person p = person(random, i);
        const QStringList fields = {QString(),   p.given,   QString(),     p.family, QString(), "Example Ltd",
                                    "Sales",     "Manager", "1 Office Rd", "Sydney", "NSW",     "2000",
                                    "Australia", p.street,  p.town,        "NSW",    "2000",    "Australia",
                                    p.work,      p.work,    p.home,        p.mobile, "0/0/00",  p.email,
                                    "SMTP",      p.email,   "Unspecified", p.note,   "Normal",  "Normal",
                                    QString()};
        QByteArrayList row;
        for (const QString &field : fields)
            row << csvField(field);
        out += row.join(',') + "\r\n";
    }
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One file of about 10 MB in each of the shapes a reader must stay linear on.
constexpr qsizetype kLargeBytes = 10 * 1000 * 1000;

QByteArray grownTo(const QByteArray &sample, int sampleCount, QByteArray (*make)(int))
{
    return make(int(sampleCount * (kLargeBytes / double(sample.size()))) + 1);
}

// One vCard 2.1 note of about 10 MB in quoted-printable, broken into a million soft lines.
QByteArray softBreaksCard()
{
    QByteArray out = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Softbreak;Quentin;;;\r\n"
                     "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
    const QByteArray piece = "Ca=C3=A9=\r\n";
    out.reserve(kLargeBytes + 100);
    for (int i = 0; i < 1000000; ++i)
        out += piece;
    return out + "end\r\nEND:VCARD\r\n";
}

// One card with 50,000 numbers and 50,000 properties of another program, about 10 MB.
QByteArray manyPropertiesCard()
{
    QByteArray out = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many Properties\r\nN:Properties;Many;;;\r\n";
    const QByteArray filler(150, 'x');
    for (int i = 0; i < 50000; ++i) {
        out += "TEL;TYPE=" + QByteArray(i % 2 ? "CELL" : "HOME") + ":+61 4" +
               QByteArray::number(10000000 + i) + "\r\n";
        out += "X-CUSTOM-" + QByteArray::number(i % 97) + ":" + QByteArray::number(i) + filler + "\r\n";
    }
    return out + "END:VCARD\r\n";
}

// About 10 MB of cards that begin and never end, each inside the one before: every card is read
// as one of its own when the text ends.
QByteArray nestedCards()
{
    QByteArray out;
    out.reserve(kLargeBytes + 100);
    for (int i = 0; out.size() < kLargeBytes; ++i)
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Nested " + QByteArray::number(i) + "\r\nTEL:+1 555 0100\r\n";
    return out;
}

// A CSV file with 5,000 columns (a few we know among many we do not), about 10 MB.
QByteArray wideCsv()
{
    constexpr int kColumns = 5000;
    QByteArrayList header;
    for (int c = 0; c < kColumns; ++c)
        header << (c == 0   ? "First Name"
                   : c == 1 ? "Last Name"
                   : c == 2 ? "Mobile Phone"
                            : "Custom " + QByteArray::number(c));
    QByteArray out = header.join(',') + "\r\n";
    for (int row = 0; out.size() < kLargeBytes; ++row) {
        QByteArrayList fields;
        for (int c = 0; c < kColumns; ++c)
            fields << (c < 2 ? "Wide" + QByteArray::number(row) : QByteArray::number((row + c) % 1000));
        out += fields.join(',') + "\r\n";
    }
    return out;
}

struct DropTime
{
    double ms = -1;
    int added = 0;
};

// One drop on a fresh main window whose "Numbers.dat" holds nothing: read, confirm (answered
// Yes), append and save.
DropTime timeDrop(const QString &folder, const QString &file)
{
    const QString previous = QDir::currentPath();
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    DropTime time;
    {
        PhoneBook windowBook{QLatin1String(kDataFileName)};
        Form1 window(windowBook, folder);
        window.Form_Load();
        time.ms = timeMs([&] { window.ListView1_OLEDragDrop({file}); });
        time.added = window.phoneBook().count();
    }
    QDir::setCurrent(previous);
    return time;
}

void printFigure(const QByteArray &name, long long count, double ms, double budgetMs)
{
    std::puts(
        figureLine(QString::fromLatin1(name), count, ms, QStringLiteral("ms"), ms / budgetMs).constData());
}

// The check of a drop's 10,000 contacts against a list of a million that holds each of them
// already: `readDrop` on the million less `readDrop` on an empty list, against the drop's budget.
void checkAgainstMillion(const QString &path, int runs)
{
    constexpr int kList = 1000000;
    const std::vector<Contact> contacts = readContactFile(path, LegacyCodePage::Windows1252).found.contacts;
    std::vector<PackedEntry> list;
    list.reserve(kList);
    for (int i = 0; list.size() + contacts.size() < size_t(kList); ++i) {
        Contact other = contacts[size_t(i) % contacts.size()];
        other[Name] += QStringLiteral(" %1").arg(i);
        list.emplace_back(other);
    }
    for (const Contact &contact : contacts)
        list.emplace_back(contact);
    std::fprintf(stderr, "  duplicates against %d entries\n", kList);
    const QStringList paths{path};
    std::vector<double> withList, without;
    size_t added = 0;
    for (int i = 0; i < runs; ++i) {
        DropProgress progress;
        withList.push_back(timeMs(
            [&] { added = readDrop(paths, LegacyCodePage::Windows1252, list, progress).added.size(); }));
        without.push_back(timeMs([&] { readDrop(paths, LegacyCodePage::Windows1252, {}, progress); }));
    }
    if (added != 0)
        std::fprintf(stderr, "duplicates: %zu contacts of the list were taken as new\n", added);
    printFigure("import_duplicates_1m", kList, median(withList) - median(without), kDropBudgetMs);
}

// The 10 MB files: the whole drop of each, against the one-second budget. A drop that takes
// longer than a few seconds is timed once.
void largeDrops(const QTemporaryDir &scratch, int runs, const QByteArray &only)
{
    const QByteArray vcardSample = vcardFile(1000);
    const QByteArray csvSample = csvFile(1000);
    const std::pair<const char *, QByteArray> shapes[] = {
        {"import_10mb_vcard_contacts", grownTo(vcardSample, 1000, vcardFile)},
        {"import_10mb_vcard_softbreaks", softBreaksCard()},
        {"import_10mb_vcard_50k_properties", manyPropertiesCard()},
        {"import_10mb_vcard_nested", nestedCards()},
        {"import_10mb_csv_contacts", grownTo(csvSample, 1000, csvFile)},
        {"import_10mb_csv_5000_columns", wideCsv()},
    };
    for (const auto &[name, bytes] : shapes) {
        if (!QByteArrayView(name).contains(only))
            continue;
        const QString path = scratch.filePath(
            QLatin1String(name) + QLatin1String(QByteArrayView(name).contains("csv") ? ".csv" : ".vcf"));
        if (!writeFile(path, bytes))
            continue;
        std::fprintf(stderr, "  %s (%lld bytes)\n", name, static_cast<long long>(bytes.size()));
        std::vector<double> drops;
        DropTime time;
        for (int i = 0; i < runs && (drops.empty() || drops.back() < 3 * kDropBudgetMs); ++i) {
            time = timeDrop(scratch.filePath(QStringLiteral("work")), path);
            drops.push_back(time.ms);
        }
        if (time.added == 0)
            std::fprintf(stderr, "%s: the drop added no contact\n", name);
        printFigure(name, time.added, median(drops), kDropBudgetMs);
        QFile::remove(path);
    }
}

} // namespace

int run(int runs, const QByteArray &only)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 2;
    const QString vcf = scratch.filePath(QStringLiteral("contacts.vcf"));
    const QString csv = scratch.filePath(QStringLiteral("contacts.csv"));
    if (!writeFile(vcf, vcardFile(kContacts)) || !writeFile(csv, csvFile(kContacts)))
        return 2;
    // Every box is answered Yes, as the user who dropped the file would.
    setMessageBoxHandler([](const MessageBoxRequest &request) {
        return request.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });

    for (const auto &[name, path] : {std::pair{"vcard", vcf}, std::pair{"csv", csv}}) {
        const QByteArray prefix = QByteArray("import_") + name;
        if (!(prefix + "_read").contains(only) && !(prefix + "_drop").contains(only))
            continue;
        std::fprintf(stderr, "  %s\n", name);
        std::vector<double> reads, drops;
        for (int i = 0; i < runs; ++i) {
            size_t found = 0;
            reads.push_back(timeMs(
                [&] { found = readContactFile(path, LegacyCodePage::Windows1252).found.contacts.size(); }));
            if (found != size_t(kContacts)) {
                std::fprintf(stderr, "%s: %zu contacts read, %d expected\n", name, found, kContacts);
                return 2;
            }
            const DropTime drop = timeDrop(scratch.filePath(QStringLiteral("work")), path);
            if (drop.added != kContacts) {
                std::fprintf(stderr, "%s: the drop did not append every contact\n", name);
                return 2;
            }
            drops.push_back(drop.ms);
        }
        printFigure(prefix + "_read", kContacts, median(reads), kContactsBudgetMs);
        printFigure(prefix + "_drop", kContacts, median(drops), kContactsBudgetMs);
    }
    if (QByteArrayView("import_duplicates_1m").contains(only))
        checkAgainstMillion(vcf, runs);
    largeDrops(scratch, runs, only);
    std::fflush(stdout);
    return 0;
}
} // namespace larkspan::bench

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    return larkspan::bench::run(runs, argc > 2 ? QByteArray(argv[2]) : QByteArray());
}
