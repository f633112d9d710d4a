// Times the import of a 10,000-contact file dropped on the Entry list and prints one line per
// figure on standard output: `name N value unit ratio`, the ratio against the one-second budget
// a drop must stay well under. Progress goes to standard error.
//
//   cardindex_import_bench [RUNS]
//
// The files are made afresh in a temporary folder, shaped like the exports of phones and address
// books: vCard 3.0 cards with folded lines and escapes, vCard 2.1 cards with quoted-printable
// values, and an Outlook-style CSV file. Every figure is the median of RUNS runs (5 unless given).
// Exits with 1 when a whole drop takes longer than the budget.
#include "BenchSupport.h"
#include "common/MessageBox.h"
#include "data/PhoneBook.h"
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

// One drop on a fresh main window whose "Numbers.dat" holds nothing: read, confirm (answered
// Yes), append and save. Returns the milliseconds, or -1 when the contacts did not all arrive.
double timeDrop(const QString &folder, const QString &file, int expected)
{
    const QString previous = QDir::currentPath();
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QDir::setCurrent(folder);
    double ms = -1;
    {
        PhoneBook windowBook{QLatin1String(kDataFileName)};
        Form1 window(windowBook, folder);
        window.Form_Load();
        const double taken = timeMs([&] { window.ListView1_OLEDragDrop({file}); });
        if (window.phoneBook().count() == expected)
            ms = taken;
    }
    QDir::setCurrent(previous);
    return ms;
}

} // namespace

int run(int runs)
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

    bool withinBudget = true;
    for (const auto &[name, path] : {std::pair{"vcard", vcf}, std::pair{"csv", csv}}) {
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
            const double drop = timeDrop(scratch.filePath(QStringLiteral("work")), path, kContacts);
            if (drop < 0) {
                std::fprintf(stderr, "%s: the drop did not append every contact\n", name);
                return 2;
            }
            drops.push_back(drop);
        }
        const double read = median(reads);
        const double drop = median(drops);
        std::puts(figureLine(QStringLiteral("import_%1_read").arg(QLatin1String(name)), kContacts, read,
                             QStringLiteral("ms"), read / kDropBudgetMs)
                      .constData());
        std::puts(figureLine(QStringLiteral("import_%1_drop").arg(QLatin1String(name)), kContacts, drop,
                             QStringLiteral("ms"), drop / kDropBudgetMs)
                      .constData());
        withinBudget = withinBudget && drop < kDropBudgetMs;
    }
    std::fflush(stdout);
    return withinBudget ? 0 : 1;
}

} // namespace larkspan::bench

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    return larkspan::bench::run(runs);
}
