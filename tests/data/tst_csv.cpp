// CSV files: samples shaped like the exports of Outlook, Google, Thunderbird and a spreadsheet,
// each with the entries it must give; quoting and delimiters; malformed rows; code pages; the
// columns a header names, our own sixteen among them.
#include "data/exchange/ContactImport.h"
#include "data/exchange/CsvContacts.h"
#include "data/golden/GoldenContacts.h"

#include <QStringEncoder>
#include <QTest>

using namespace larkspan;
using namespace larkspan::test;

Q_DECLARE_METATYPE(Contact)

namespace {

QStringList names(const ImportedContacts &read)
{
    QStringList list;
    for (const Contact &contact : read.contacts)
        list << contact[Name];
    return list;
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT
private slots:
    void golden_givesTheExpectedEntries_data();
    void golden_givesTheExpectedEntries();
    void read_quotingLineEndsAndDelimiters_data();
    void read_quotingLineEndsAndDelimiters();
    void read_malformedRowsAreSkippedWholeAndCounted_data();
    void read_malformedRowsAreSkippedWholeAndCounted();
    void read_fieldsNotUtf8UseTheLegacyCodePage_data();
    void read_fieldsNotUtf8UseTheLegacyCodePage();
    void read_headerNamesTheColumns_data();
    void read_headerNamesTheColumns();
};

void TestCsv::golden_givesTheExpectedEntries_data()
{
    QTest::addColumn<QString>("sample");
    const QStringList samples = QDir(goldenPath()).entryList({QStringLiteral("*.csv")}, QDir::Files);
    QVERIFY2(samples.size() >= 4, qPrintable(goldenPath()));
    for (const QString &sample : samples)
        QTest::newRow(qPrintable(sample)) << sample;
}

void TestCsv::golden_givesTheExpectedEntries()
{
    QFETCH(QString, sample);
    const QString path = goldenPath(sample);
    const GoldenExpected expected = goldenExpected(sample);
    QVERIFY(expected.unreadable >= 0);
    const ContactFile file = readContactFile(path, expected.codePage);
    QVERIFY(file.readable);
    QCOMPARE(file.kind, ContactFileKind::Csv);
    const QString diff = differences(file.found.contacts, expected.contacts);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(file.found.unreadable, expected.unreadable);
    QCOMPARE(file.found.encoding, expected.encoding);
    // The same file without its extension is still recognised by its header.
    QCOMPARE(detectContactFile(QStringLiteral("export"), readBytes(path)), ContactFileKind::Csv);
}

void TestCsv::read_quotingLineEndsAndDelimiters_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("lastValue"); // of `field` in the last entry

    QTest::newRow("comma, CR LF") << QByteArray("Name,Phone\r\nAnn,1\r\nBob,2\r\n")
                                  << QStringList{"Ann", "Bob"} << int(Phone) << "2";
    QTest::newRow("LF only, no line end at the end")
        << QByteArray("Name,Phone\nAnn,1\nBob,2") << QStringList{"Ann", "Bob"} << int(Phone) << "2";
    QTest::newRow("lone CR") << QByteArray("Name,Phone\rAnn,1\rBob,2\r") << QStringList{"Ann", "Bob"}
                             << int(Phone) << "2";
    QTest::newRow("semicolon") << QByteArray("Name;Phone;Comments\r\nAnn, Jr.;1;a,b\r\n")
                               << QStringList{"Ann, Jr."} << int(Comments) << "a,b";
    QTest::newRow("tab") << QByteArray("Name\tPhone\tComments\nAnn; Jr.\t1\ta,b;c\n")
                         << QStringList{"Ann; Jr."} << int(Comments) << "a,b;c";
    QTest::newRow("Excel sep= line") << QByteArray("sep=|\r\nName|Phone\r\nAnn, Jr.|1\r\n")
                                     << QStringList{"Ann, Jr."} << int(Phone) << "1";
    QTest::newRow("quoted delimiter, doubled quote, line break")
        << QByteArray("\"Name\",\"Comments\"\r\n\"Smith, \"\"Bud\"\"\",\"one\r\ntwo,\nthree\"\r\n")
        << QStringList{"Smith, \"Bud\""} << int(Comments) << "one\ntwo,\nthree";
    QTest::newRow("empty quoted fields")
        << QByteArray("Name,Phone,Fax\n\"Ann\",\"\",\"3\"\n") << QStringList{"Ann"} << int(Fax) << "3";
    QTest::newRow("fewer fields than the header")
        << QByteArray("Name,Phone,Fax\nAnn\nBob,2\n") << QStringList{"Ann", "Bob"} << int(Phone) << "2";
    QTest::newRow("trailing empty fields past the header")
        << QByteArray("Name,Phone\nAnn,1,,\n") << QStringList{"Ann"} << int(Phone) << "1";
    QTest::newRow("blank lines and all-empty rows skip")
        << QByteArray("\n\nName,Phone\n\n,\nAnn,1\n\n") << QStringList{"Ann"} << int(Phone) << "1";
    QTest::newRow("UTF-8 byte-order mark")
        << QByteArray("\xEF\xBB\xBFName,Phone\nZoë,1\n") << QStringList{"Zoë"} << int(Phone) << "1";
    {
        // Outlook's "Unicode" export: UTF-16 with a byte-order mark, tab separated.
        QStringEncoder utf16(QStringEncoder::Utf16LE);
        const QByteArray text =
            utf16(QStringLiteral("First Name\tLast Name\tMobile Phone\r\nZoë\tΩmega\t7\r\n"));
        QTest::newRow("UTF-16, tab separated")
            << "\xFF\xFE" + text << QStringList{"Zoë Ωmega"} << int(Mobile) << "7";
    }
}

void TestCsv::read_quotingLineEndsAndDelimiters()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QFETCH(int, field);
    QFETCH(QString, lastValue);
    const ImportedContacts read = parseCsvContacts(bytes, LegacyCodePage::Windows1252);
    QCOMPARE(read.unreadable, 0);
    QCOMPARE(::names(read), names);
    QCOMPARE(read.contacts.back()[size_t(field)], lastValue);
}

void TestCsv::read_malformedRowsAreSkippedWholeAndCounted_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("unreadable");
    QTest::newRow("a quote that never closes")
        << QByteArray("Name,Phone\nAnn,1\n\"Bob,2\nCid,3\n") << QStringList{"Ann"} << 1;
    QTest::newRow("text after a closing quote")
        << QByteArray("Name,Phone\n\"Bob\" Smith,2\nCid,3\n") << QStringList{"Cid"} << 1;
    QTest::newRow("more fields than the header")
        << QByteArray("Name,Phone\nAnn,1,surplus\nCid,3\n") << QStringList{"Cid"} << 1;
    QTest::newRow("several") << QByteArray("Name;Phone\r\nA;1;x\r\n\"B\"x;2\r\nC;3\r\n\"D;4\r\n")
                             << QStringList{"C"} << 3;
}

void TestCsv::read_malformedRowsAreSkippedWholeAndCounted()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QFETCH(int, unreadable);
    const ImportedContacts read = parseCsvContacts(bytes, LegacyCodePage::Windows1252);
    QCOMPARE(::names(read), names);
    QCOMPARE(read.unreadable, unreadable);
}

void TestCsv::read_fieldsNotUtf8UseTheLegacyCodePage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("comments");
    const QByteArray mixed = "Name,Comments\n\xC8\xE2\xE0\xED,Zo\xC3\xAB\n";
    QTest::newRow("Windows-1252") << mixed << int(LegacyCodePage::Windows1252) << QStringLiteral("Èâàí")
                                  << QStringLiteral("Zoë");
    QTest::newRow("Windows-1251") << mixed << int(LegacyCodePage::Windows1251) << QStringLiteral("Иван")
                                  << QStringLiteral("Zoë");
    QTest::newRow("euro and quotes of 1252")
        << QByteArray("Name,Comments\nA,\x80 5 \x93ok\x94\n") << int(LegacyCodePage::Windows1252) << "A"
        << QStringLiteral("€ 5 “ok”");
}

void TestCsv::read_fieldsNotUtf8UseTheLegacyCodePage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, codePage);
    QFETCH(QString, name);
    QFETCH(QString, comments);
    const ImportedContacts read = parseCsvContacts(bytes, LegacyCodePage(codePage));
    QCOMPARE(read.contacts.size(), size_t(1));
    QCOMPARE(read.contacts[0][Name], name);
    QCOMPARE(read.contacts[0][Comments], comments);
}

void TestCsv::read_headerNamesTheColumns_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<Contact>("expected"); // of the one row; an empty name for no entry
    QTest::newRow("case and punctuation do not matter")
        << QByteArray("FIRST NAME,last_name,E-MAIL ADDRESS,mobile-phone\nAnn,Lee,a@b.example,7\n") << true
        << contactWith({{Name, "Ann Lee"}, {Email, "a@b.example"}, {Mobile, "7"}});
    QTest::newRow("our window's labels")
        << QByteArray("Name,Zip Code,Cell,Company,Co. Phone,Co. Fax,Site,Additional\nAnn,1,2,3,4,5,6,7\n")
        << true
        << contactWith({{Name, "Ann"},
                        {PostCode, "1"},
                        {Mobile, "2"},
                        {Work, "3"},
                        {WorkNumber, "4"},
                        {WorkFax, "5"},
                        {WebSite, "6"},
                        {Comments, "7"}});
    QTest::newRow("unknown columns go to Comments")
        << QByteArray("Name,Shoe size,Notes,Favourite colour\nAnn,38,note,green\n") << true
        << contactWith({{Name, "Ann"}, {Comments, "note\nShoe size: 38\nFavourite colour: green"}});
    {
        // Our own column headers, as a spreadsheet made from a phone book has them.
        const Contact filled = filledContact(QStringLiteral("Ann"));
        QStringList headers, values;
        for (int f = 0; f < kFieldCount; ++f) {
            headers << fieldHeader(Field(f));
            values << filled[size_t(f)];
        }
        QTest::newRow("our own sixteen columns")
            << (headers.join(QLatin1Char(',')) + QLatin1Char('\n') + values.join(QLatin1Char(','))).toUtf8()
            << true << filled;
    }
    QTest::newRow("German, French and Spanish Outlook headers")
        << QByteArray("Vorname,Nom,Tel. mobile,Telefono del trabajo,Strasse privat,Ville (domicile),Notizen\n"
                      "Ann,Lee,7,8,1 Main St,Springfield,note\n")
        << true
        << contactWith({{Name, "Ann Lee"},
                        {Mobile, "7"},
                        {WorkNumber, "8"},
                        {Address, "1 Main St"},
                        {Suburb, "Springfield"},
                        {Comments, "note"}});
    QTest::newRow("accents and case: TÉLÉPHONE (BUREAU), Straße geschäftlich")
        << QString::fromUtf8("Prénom,TÉLÉPHONE (BUREAU),Straße geschäftlich\nAnn,8,1 Main St\n").toUtf8()
        << true << contactWith({{Name, "Ann"}, {WorkNumber, "8"}, {Address, "1 Main St"}});
    QTest::newRow("field before kind: Phone Work, Email Home, Fax Work, Address Home Street")
        << QByteArray("Name,Phone Work,Email Home,Fax Work,Phone Mobile,Address Home "
                      "Street\nAnn,1,a@b.example,2,3,4 Elm\n")
        << true
        << contactWith({{Name, "Ann"},
                        {WorkNumber, "1"},
                        {Email, "a@b.example"},
                        {WorkFax, "2"},
                        {Mobile, "3"},
                        {Address, "4 Elm"}});
    QTest::newRow("Google's labels of a second e-mail, web site and an own-label number")
        << QByteArray("First Name,E-mail 1 - Label,E-mail 1 - Value,E-mail 2 - Label,E-mail 2 - Value,"
                      "Website 1 - Label,Website 1 - Value,Website 2 - Label,Website 2 - Value,"
                      "Phone 1 - Label,Phone 1 - Value\n"
                      "Ann,* Home,a@b.example,Work,ann@c.example,,w.example,Blog,b.example,Grand Central,5\n")
        << true
        << contactWith({{Name, "Ann"},
                        {Email, "a@b.example"},
                        {WebSite, "w.example"},
                        {Phone, "5"},
                        {Comments, "Email (Work): ann@c.example\nWebSite (Blog): b.example"}});
    QTest::newRow("a formatted address alone is the address")
        << QByteArray("First Name,Address 1 - Formatted\nAnn,\"1 Main St\nSpringfield\"\n") << true
        << contactWith({{Name, "Ann"}, {Address, "1 Main St, Springfield"}});
    QTest::newRow("a formatted address beside its parts is kept when it says more")
        << QByteArray("Name,Address 1 - Formatted,Address 1 - City,Address 2 - Formatted,Address 2 - Street\n"
                      "Ann,\"Flat 2, Springfield\",Springfield,\"5 Oak Rd\",5 Oak Rd\n")
        << true
        << contactWith({{Name, "Ann"},
                        {Suburb, "Springfield"},
                        {Comments, "Address 1 - Formatted: Flat 2, Springfield\nAddress: 5 Oak Rd"}});
    QTest::newRow("no column we know") << QByteArray("Product,Price\nTea,3\n") << false << Contact{};
    QTest::newRow("one column only") << QByteArray("Name\nAnn\n") << false << contactWith({{Name, "Ann"}});
}

void TestCsv::read_headerNamesTheColumns()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, recognised);
    QFETCH(Contact, expected);
    QCOMPARE(looksLikeContactCsv(bytes), recognised);
    const ImportedContacts read = parseCsvContacts(bytes, LegacyCodePage::Windows1252);
    const std::vector<Contact> wanted =
        expected[Name].isEmpty() ? std::vector<Contact>{} : std::vector<Contact>{expected};
    const QString diff = differences(read.contacts, wanted);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

QTEST_MAIN(TestCsv)
#include "tst_csv.moc"
