// vCard files: samples shaped like the exports of phones and address books, each with the
// entries it must give; the details of the format; malformed cards; and the round trip
// entry -> vCard -> entry.
#include "data/exchange/ContactImport.h"
#include "data/exchange/VCard.h"
#include "data/golden/GoldenContacts.h"

#include <QStringEncoder>
#include <QTest>

using namespace larkspan;
using namespace larkspan::test;

Q_DECLARE_METATYPE(Contact)

namespace {

QByteArray card(const QByteArray &version, const QByteArray &body, const QByteArray &lineEnd = "\r\n")
{
    QByteArray text = "BEGIN:VCARD\nVERSION:" + version + "\n" + body + "\nEND:VCARD\n";
    return text.replace("\n", lineEnd);
}

} // namespace

class TestVCard : public QObject
{
    Q_OBJECT
private slots:
    void golden_givesTheExpectedEntries_data();
    void golden_givesTheExpectedEntries();
    void roundTrip_keepsAllSixteenFields_data();
    void roundTrip_keepsAllSixteenFields();
    void read_valueEncodings_data();
    void read_valueEncodings();
    void read_numbersGoToTheirFields_data();
    void read_numbersGoToTheirFields();
    void read_oddLinesAreCountedAndTheCardKept_data();
    void read_oddLinesAreCountedAndTheCardKept();
    void read_losesNoValue_data();
    void read_losesNoValue();
    void write_foldsLinesWithoutSplittingCharacters();
    void read_bigFileReportsProgressAndStopsWhenTold_data();
    void read_bigFileReportsProgressAndStopsWhenTold();
};

void TestVCard::golden_givesTheExpectedEntries_data()
{
    QTest::addColumn<QString>("sample");
    const QStringList samples = QDir(goldenPath()).entryList({QStringLiteral("*.vcf")}, QDir::Files);
    QVERIFY2(samples.size() >= 3, qPrintable(goldenPath()));
    for (const QString &sample : samples)
        QTest::newRow(qPrintable(sample)) << sample;
}

void TestVCard::golden_givesTheExpectedEntries()
{
    QFETCH(QString, sample);
    const GoldenExpected expected = goldenExpected(sample);
    QVERIFY(expected.unreadable >= 0);
    const ContactFile file = readContactFile(goldenPath(sample), expected.codePage);
    QVERIFY(file.readable);
    QCOMPARE(file.kind, ContactFileKind::VCard);
    const QString diff = differences(file.found.contacts, expected.contacts);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(file.found.unreadable, expected.unreadable);
    QCOMPARE(file.found.unreadableLines, expected.unreadableLines);
}

void TestVCard::roundTrip_keepsAllSixteenFields_data()
{
    QTest::addColumn<Contact>("contact");
    QTest::newRow("every field") << filledContact(QStringLiteral("Ann Example"));
    QTest::newRow("separators and backslashes") << contactWith(
        {{Name, QStringLiteral("Smith, John; Jr. \\ the 2nd")},
         {Address, QStringLiteral("1 Main St, Unit 3; rear")},
         {Work, QStringLiteral("A; B, C \\n not a break")},
         {WebSite, QStringLiteral("https://x.example/a,b;c?q=1\\2")},
         {Comments,
          QStringLiteral("line one\nline two\n\nEmail: second@example.com\nBirthday: 1970-01-01")}});
    QString longText;
    for (int i = 0; i < 40; ++i)
        longText += QStringLiteral("Zoë 日本語 Ångström €%1 ").arg(i);
    QTest::newRow("long values folded across characters") << contactWith(
        {{Name, QStringLiteral("Þórsdóttir Ñúñez 😀")}, {Comments, longText}, {Address, longText}});
    QTest::newRow("Phone 2 without Phone") << contactWith({{Name, QStringLiteral("Two")},
                                                           {Phone2, QStringLiteral("555 0102")},
                                                           {WorkFax, QStringLiteral("555 0109")}});
    QTest::newRow("address of a suburb only")
        << contactWith({{Name, QStringLiteral("Sub")}, {Suburb, QStringLiteral("Fitzroy")}});
    QTest::newRow("one number in several fields") << contactWith({{Name, QStringLiteral("Same")},
                                                                  {Phone, QStringLiteral("555 0100")},
                                                                  {Phone2, QStringLiteral("555 0100")},
                                                                  {Mobile, QStringLiteral("555 0100")},
                                                                  {WorkNumber, QStringLiteral("555 0100")}});
    QTest::newRow("name only") << contactWith({{Name, QStringLiteral("Solo")}});
}

void TestVCard::roundTrip_keepsAllSixteenFields()
{
    QFETCH(Contact, contact);
    const QByteArray bytes = encodeVCard(contact) + encodeVCard(contact);
    const ImportedContacts read = parseVCards(bytes, LegacyCodePage::Windows1251);
    QCOMPARE(read.unreadable, 0);
    const QString diff = differences(read.contacts, {contact, contact});
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestVCard::read_valueEncodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("expected");
    const int cp1252 = int(LegacyCodePage::Windows1252);
    const int cp1251 = int(LegacyCodePage::Windows1251);

    QTest::newRow("LF line ends") << card("3.0", "FN:Ann\nTEL;TYPE=CELL:1", "\n") << cp1252 << int(Mobile)
                                  << "1";
    QTest::newRow("CR LF line ends") << card("3.0", "FN:Ann\nTEL;TYPE=CELL:1") << cp1252 << int(Mobile)
                                     << "1";
    QTest::newRow("3.0 fold drops one space")
        << card("3.0", "FN:Ann\nNOTE:abc\n  def\n\tghi") << cp1252 << int(Comments) << "abc defghi";
    QTest::newRow("2.1 fold keeps the space")
        << card("2.1", "FN:Ann\nNOTE:abc\n def") << cp1252 << int(Comments) << "abc def";
    QTest::newRow("4.0 fold inside a character")
        << card("4.0", "FN:Zo\xC3\n \xABl") << cp1252 << int(Name) << QStringLiteral("Zoël");
    QTest::newRow("escapes") << card("4.0", "FN:Ann\nNOTE:a\\nb\\,c\\;d\\\\e\\Nf\\tg") << cp1252
                             << int(Comments) << "a\nb,c;d\\e\nf\\tg";
    QTest::newRow("escaped semicolon inside a component")
        << card("3.0", "FN:Ann\nADR:;;1 Main St\\; rear;Town;;;") << cp1252 << int(Address)
        << "1 Main St; rear";
    QTest::newRow("quoted-printable soft line break")
        << card("2.1", "FN:Ann\nNOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:caf=C3=A9 =\nau lait=0D=0Anext")
        << cp1252 << int(Comments) << QStringLiteral("café au lait\nnext");
    QTest::newRow("quoted-printable as a bare parameter")
        << card("2.1", "FN;QUOTED-PRINTABLE;CHARSET=UTF-8:=E2=82=AC5") << cp1252 << int(Name)
        << QStringLiteral("€5");
    QTest::newRow("CHARSET names the code page")
        << card("2.1", "FN;CHARSET=WINDOWS-1251;ENCODING=QUOTED-PRINTABLE:=C8=E2=E0=ED") << cp1252
        << int(Name) << QStringLiteral("Иван");
    QTest::newRow("CHARSET of another family")
        << card("2.1", "FN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63") << cp1252 << int(Name)
        << QStringLiteral("山田");
    QTest::newRow("no CHARSET, not UTF-8: legacy Cyrillic")
        << card("2.1", "FN:\xC8\xE2\xE0\xED") << cp1251 << int(Name) << QStringLiteral("Иван");
    QTest::newRow("no CHARSET, not UTF-8: legacy Western")
        << card("2.1", "FN:\xC8\xE2\xE0\xED") << cp1252 << int(Name) << QStringLiteral("Èâàí");
    QTest::newRow("UTF-8 byte-order mark")
        << "\xEF\xBB\xBF" + card("3.0", "FN:Zoë") << cp1252 << int(Name) << QStringLiteral("Zoë");
    {
        QStringEncoder utf16(QStringEncoder::Utf16LE);
        const QByteArray text =
            utf16(QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë Ωmega\r\nEND:VCARD\r\n"));
        QTest::newRow("UTF-16 with a byte-order mark")
            << "\xFF\xFE" + text << cp1252 << int(Name) << QStringLiteral("Zoë Ωmega");
    }
    QTest::newRow("N when FN is missing")
        << card("3.0", "N:Doe;John;Quincy,Q.;Mr.;III") << cp1252 << int(Name) << "Mr. John Quincy Q. Doe III";
    QTest::newRow("N when FN is blank")
        << card("3.0", "FN: \nN:Doe;Jane;;;") << cp1252 << int(Name) << "Jane Doe";
    QTest::newRow("FN before N") << card("3.0", "N:Doe;John;;;\nFN:Johnny D") << cp1252 << int(Name)
                                 << "Johnny D";
    QTest::newRow("no name: the company")
        << card("3.0", "ORG:Acme;Sales\nTEL:1") << cp1252 << int(Name) << "Acme, Sales";
    QTest::newRow("no name: the e-mail")
        << card("4.0", "EMAIL:a@b.example") << cp1252 << int(Name) << "a@b.example";
    QTest::newRow("second name kept")
        << card("3.0", "FN:Ann\nFN:Annie") << cp1252 << int(Comments) << "Name: Annie";
    QTest::newRow("tel URI") << card("4.0", "FN:A\nTEL;VALUE=uri;TYPE=work:tel:+1-555-0100;ext=12") << cp1252
                             << int(WorkNumber) << "+1-555-0100 ext. 12";
    QTest::newRow("tel: as text is a number as written")
        << card("4.0", "FN:A\nTEL;TYPE=work:tel:1") << cp1252 << int(WorkNumber) << "tel:1";
    QTest::newRow("group prefix, lower-case names")
        << card("3.0", "fn:A\nitem1.email;type=home:a@b.example\nitem1.X-ABLabel:Home") << cp1252
        << int(Email) << "a@b.example";
    QTest::newRow("quoted parameter holding ; and :")
        << card("4.0", "FN:A\nADR;LABEL=\"1 Main; Town: here\":;;1 Main;Town;;;") << cp1252 << int(Suburb)
        << "Town";
    QTest::newRow("multi-line street in one line") << card("3.0", "FN:A\nADR:;;14 Strand Road\\nFlat 2;;;;")
                                                   << cp1252 << int(Address) << "14 Strand Road, Flat 2";
    QTest::newRow("post office box without street")
        << card("3.0", "FN:A\nADR:12;;;Town;;;") << cp1252 << int(Address) << "PO Box 12";
    QTest::newRow("what has no field goes to Comments")
        << card("4.0", "FN:A\nNOTE:note first\nNICKNAME:Al\nBDAY:19700101\nTITLE:Boss\nX-SKYPE:al.skype\n"
                       "X-CUSTOM-THING:kept\nX-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Al;1;;;;\n"
                       "PHOTO;ENCODING=b:AAAA\nUID:123\nREV:2020")
        << cp1252 << int(Comments)
        << "note first\nNickname: Al\nBirthday: 19700101\nTitle: Boss\nSkype: al.skype\nCustom thing: kept";
    QTest::newRow("second address to Comments")
        << card("3.0", "FN:A\nADR;TYPE=work:;;1 Work Rd;Worktown;WS;1111;Workland\nADR;TYPE=home:;;2 Home "
                       "St;Hometown;HS;2222;Homeland")
        << cp1252 << int(Comments) << "Work address: 1 Work Rd, Worktown, WS, 1111, Workland";
}

void TestVCard::read_valueEncodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, codePage);
    QFETCH(int, field);
    QFETCH(QString, expected);
    const ImportedContacts read = parseVCards(bytes, LegacyCodePage(codePage));
    QCOMPARE(read.unreadable, 0);
    QCOMPARE(read.contacts.size(), size_t(1));
    QCOMPARE(read.contacts[0][size_t(field)], expected);
}

void TestVCard::read_numbersGoToTheirFields_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<Contact>("expected");
    auto numbers = [](std::initializer_list<std::pair<Field, QString>> values) {
        Contact contact = contactWith(values);
        contact[Name] = QStringLiteral("N");
        return contact;
    };
    QTest::newRow("2.1 bare types") << QByteArray("VERSION:2.1\nFN:N\nTEL;HOME;VOICE:1\nTEL;WORK;VOICE:2\n"
                                                  "TEL;CELL:3\nTEL;FAX:4\nTEL;WORK;FAX:5\nTEL;PAGER:6\nTEL:7")
                                    << numbers({{Phone, "1"},
                                                {WorkNumber, "2"},
                                                {Mobile, "3"},
                                                {Fax, "4"},
                                                {WorkFax, "5"},
                                                {Phone2, "7"},
                                                {Comments, "Pager: 6"}});
    QTest::newRow("3.0 repeated TYPE") << QByteArray("VERSION:3.0\nFN:N\nTEL;type=WORK;type=FAX:5\n"
                                                     "TEL;type=HOME;type=FAX:4\nTEL;type=IPHONE:3")
                                       << numbers({{WorkFax, "5"}, {Fax, "4"}, {Mobile, "3"}});
    QTest::newRow("4.0 TYPE lists") << QByteArray("VERSION:4.0\nFN:N\nTEL;TYPE=\"work,voice\":2\n"
                                                  "TEL;TYPE=work,fax:5\nTEL;TYPE=\"cell\":3")
                                    << numbers({{WorkNumber, "2"}, {WorkFax, "5"}, {Mobile, "3"}});
    QTest::newRow("a third home number goes to Comments")
        << QByteArray("VERSION:3.0\nFN:N\nTEL;TYPE=home:1\nTEL;TYPE=home:2\nTEL;TYPE=home:3")
        << numbers({{Phone, "1"}, {Phone2, "2"}, {Comments, "Phone: 3"}});
    QTest::newRow("other fills Phone 2 first")
        << QByteArray("VERSION:3.0\nFN:N\nTEL;TYPE=other:9\nTEL;TYPE=home:1")
        << numbers({{Phone, "1"}, {Phone2, "9"}});
    QTest::newRow("the preferred number first")
        << QByteArray("VERSION:4.0\nFN:N\nTEL;TYPE=cell:1\nTEL;TYPE=cell;PREF=1:2")
        << numbers({{Mobile, "2"}, {Comments, "Mobile: 1"}});
    QTest::newRow("the same number twice kept once")
        << QByteArray(
               "VERSION:2.1\nFN:N\nTEL;VOICE:03-1234-5678\nTEL;HOME:03 1234 5678\nTEL;CELL:03-1234-5678")
        << numbers({{Phone, "03-1234-5678"}, {Mobile, "03-1234-5678"}});
}

void TestVCard::read_numbersGoToTheirFields()
{
    QFETCH(QByteArray, lines);
    QFETCH(Contact, expected);
    const ImportedContacts read =
        parseVCards("BEGIN:VCARD\n" + lines + "\nEND:VCARD\n", LegacyCodePage::Windows1252);
    const QString diff = differences(read.contacts, {expected});
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestVCard::read_oddLinesAreCountedAndTheCardKept_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<int>("unreadableLines");
    const QByteArray good = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Good\r\nTEL:1\r\nEND:VCARD\r\n";
    QTest::newRow("cut short at the end")
        << good + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cut\r\nTEL:2" << QStringList{"Good", "Cut"} << 0 << 1;
    QTest::newRow("BEGIN before END")
        << "BEGIN:VCARD\nFN:Open\nTEL:2\n" + good << QStringList{"Open", "Good"} << 0 << 1;
    QTest::newRow("a line that is not a property")
        << "BEGIN:VCARD\nFN:Bad\nnot a property\nTEL:2\nEND:VCARD\n" + good << QStringList{"Bad", "Good"} << 0
        << 1;
    QTest::newRow("a property without a name") << good + "BEGIN:VCARD\nFN:Bad\n:value\nEND:VCARD\n"
                                               << QStringList{"Good", "Bad"} << 0 << 1;
    QTest::newRow("a name with a space") << good + "BEGIN:VCARD\nFN:Bad\nT EL:1\nEND:VCARD\n"
                                         << QStringList{"Good", "Bad"} << 0 << 1;
    QTest::newRow("parameters without a value") << good + "BEGIN:VCARD\nFN:Bad\nTEL;TYPE=cell\nEND:VCARD\n"
                                                << QStringList{"Good", "Bad"} << 0 << 0;
    QTest::newRow("nothing readable") << "BEGIN:VCARD\nnot a property\nEND:VCARD\n" + good + "BEGIN:VCARD\n"
                                      << QStringList{"Good"} << 2 << 0;
    QTest::newRow("text between cards is ignored")
        << "From: someone\r\n\r\n" + good + "-- \r\nsignature\r\n" + good << QStringList{"Good", "Good"} << 0
        << 0;
    QTest::newRow("an empty card is no contact")
        << "BEGIN:VCARD\nVERSION:4.0\nEND:VCARD\n" + good << QStringList{"Good"} << 0 << 0;
    QTest::newRow("a group card is no contact")
        << "BEGIN:VCARD\nVERSION:4.0\nKIND:group\nFN:Club\nMEMBER:urn:uuid:1\nEND:VCARD\n" + good
        << QStringList{"Good"} << 0 << 0;
    QTest::newRow("no card at all") << QByteArray("name,phone\nAnn,1\n") << QStringList{} << 0 << 0;
    QTest::newRow("nothing") << QByteArray() << QStringList{} << 0 << 0;
}

void TestVCard::read_oddLinesAreCountedAndTheCardKept()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QFETCH(int, unreadable);
    QFETCH(int, unreadableLines);
    const ImportedContacts read = parseVCards(bytes, LegacyCodePage::Windows1252);
    QStringList actual;
    for (const Contact &contact : read.contacts)
        actual << contact[Name];
    QCOMPARE(actual, names);
    QCOMPARE(read.unreadable, unreadable);
    QCOMPARE(read.unreadableLines, unreadableLines);
}

void TestVCard::read_losesNoValue_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("unreadableLines");
    QTest::newRow("CR CR LF line ends, a lone CR inside a value")
        << QByteArray(
               "BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nFN:Bob Smith\r\r\nNOTE:one\r\r\n two\r\nTITLE:a\rb\r\n"
               "END:VCARD\r\r\n")
        << int(Comments) << "onetwo\nTitle: a b" << 0;
    QTest::newRow("X- properties a person typed")
        << card("3.0",
                "FN:Ann Lee\nitem1.X-ABRELATEDNAMES:Bob\nitem1.X-ABLabel:_$!<Spouse>!$_\n"
                "X-MS-ANNIVERSARY:20110113\nX-EVOLUTION-SPOUSE:Maria\nX-PHONETIC-FIRST-NAME:Jon\n"
                "X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;Eve;8;;;\nX-ABUID:1\nX-ABShowAs:COMPANY\n"
                "X-MS-OL-DEFAULT-POSTAL-ADDRESS:2\nX-MOZILLA-HTML:FALSE")
        << int(Comments)
        << "Spouse: Bob\nAnniversary: 20110113\nSpouse: Maria\nPhonetic first name: Jon\nMother: Eve" << 0;
    QTest::newRow("LABEL without ADR") << card("2.1", "LABEL;QUOTED-PRINTABLE;WORK:401 Park Drive=0ABoston")
                                       << int(Address) << "401 Park Drive, Boston" << 0;
    QTest::newRow("LABEL saying more than ADR")
        << card("3.0",
                "FN:A\nADR:;;1 Main St;Town;;;\nLABEL:1 Main St\\nTown\nLABEL;TYPE=work:c/o Acme\\n1 Main St")
        << int(Comments) << "Work address label: c/o Acme 1 Main St" << 0;
    QTest::newRow("declared UTF-8 with a bad byte")
        << card("2.1", "ORG;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=91=C3=91=80") << int(Work)
        << QStringLiteral("ÑÑ\uFFFD") << 0;
    QTest::newRow("odd lines")
        << card("2.1", "FN:A\n# a comment\nNOTE:one\\\ntwo\nTITLE:\nX-FOO\nAGENT:\nBEGIN:VCARD\nFN:Agent\n"
                       "END:VCARD\nIMPP;TYPE=X-messaging/twitter-All:@a\nX-Ä@B:c\nnot a property\nROLE:r")
        << int(Comments) << "one\ntwo\nInstant messaging: @a\nÄ@b: c\nRole: r" << 1;
    for (const auto encoding : {QStringEncoder::Utf16LE, QStringEncoder::Utf16BE}) {
        QStringEncoder utf16(encoding);
        const QByteArray text = utf16(QStringLiteral("BEGIN:VCARD\r\nFN:Zoë Ωmega\r\nEND:VCARD\r\n"));
        QTest::newRow(encoding == QStringEncoder::Utf16LE ? "UTF-16 LE without a mark"
                                                          : "UTF-16 BE without a mark")
            << text << int(Name) << QStringLiteral("Zoë Ωmega") << 0;
    }
}

void TestVCard::read_losesNoValue()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, field);
    QFETCH(QString, expected);
    QFETCH(int, unreadableLines);
    // Told from the bytes alone, as a file without a suffix.
    const ContactFileKind kind = detectContactFile(QStringLiteral("dropped"), bytes);
    QCOMPARE(kind, ContactFileKind::VCard);
    const ImportedContacts read = importContacts(kind, bytes, LegacyCodePage::Windows1252);
    QCOMPARE(read.unreadable, 0);
    QVERIFY(!read.contacts.empty());
    QCOMPARE(read.contacts[0][size_t(field)], expected);
    QCOMPARE(read.unreadableLines, unreadableLines);
}

void TestVCard::write_foldsLinesWithoutSplittingCharacters()
{
    QString longName;
    for (int i = 0; i < 30; ++i)
        longName += QStringLiteral("é日😀,;\\");
    Contact contact = filledContact(longName);
    contact[Comments] = longName + QStringLiteral("\n") + longName;
    const QByteArray bytes = encodeVCard(contact);
    QVERIFY(bytes.startsWith("BEGIN:VCARD\r\nVERSION:4.0\r\n"));
    QVERIFY(bytes.endsWith("END:VCARD\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
    QList<QByteArray> lines = bytes.split('\n');
    QVERIFY(lines.takeLast().isEmpty());
    for (const QByteArray &line : lines) {
        const QByteArray content = line.chopped(1); // without its CR
        QVERIFY2(content.size() <= 75, content.constData());
        QVERIFY2(QByteArrayView(content).isValidUtf8(), content.constData());
    }
    QVERIFY(lines.size() > 20);
}

void TestVCard::read_bigFileReportsProgressAndStopsWhenTold_data()
{
    constexpr int kCount = 5000;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QByteArray vcf, csv = "Name,Mobile\r\n";
    for (int i = 0; i < kCount; ++i) {
        vcf += card("3.0",
                    "FN:Person " + QByteArray::number(i) + "\nTEL;TYPE=CELL:0400 " + QByteArray::number(i));
        csv += "Person " + QByteArray::number(i) + ",0400 " + QByteArray::number(i) + "\r\n";
    }
    QTest::newRow("vCard") << int(ContactFileKind::VCard) << vcf;
    QTest::newRow("CSV") << int(ContactFileKind::Csv) << csv;
}

void TestVCard::read_bigFileReportsProgressAndStopsWhenTold()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    std::vector<std::pair<qint64, qint64>> reports;
    const ImportedContacts all = importContacts(ContactFileKind(kind), bytes, LegacyCodePage::Windows1252,
                                                [&](qint64 done, qint64 total) {
                                                    reports.emplace_back(done, total);
                                                    return true;
                                                });
    QCOMPARE(all.contacts.size(), size_t(5000));
    QVERIFY(!all.cancelled);
    QVERIFY(reports.size() >= 3);
    for (size_t i = 0; i < reports.size(); ++i) {
        QCOMPARE(reports[i].second, qint64(bytes.size()));
        QVERIFY(reports[i].first > (i == 0 ? 0 : reports[i - 1].first));
        QVERIFY(reports[i].first < reports[i].second);
    }
    // Stopped at the first report: nothing, not even the contacts read before it.
    int calls = 0;
    const ImportedContacts stopped = importContacts(ContactFileKind(kind), bytes, LegacyCodePage::Windows1252,
                                                    [&](qint64, qint64) { return ++calls > 1; });
    QCOMPARE(calls, 1);
    QVERIFY(stopped.cancelled);
    QVERIFY(stopped.contacts.empty());
}

QTEST_MAIN(TestVCard)
#include "tst_vcard.moc"
