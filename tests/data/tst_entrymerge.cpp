// The three-way merge of a save that finds the file changed elsewhere. An entry is written
// "name:phone:email"; a list is entries separated by spaces.
#include "data/EntryMerge.h"

#include <QTest>

using namespace larkspan;

namespace {

std::vector<PackedEntry> entries(const QString &list)
{
    std::vector<PackedEntry> result;
    for (const QString &item : list.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(QLatin1Char(':'));
        Contact contact;
        contact[Name] = parts.value(0);
        contact[Phone] = parts.value(1);
        contact[Email] = parts.value(2);
        result.emplace_back(contact);
    }
    return result;
}

QString written(const std::vector<PackedEntry> &list)
{
    QStringList items;
    for (const PackedEntry &entry : list) {
        QString item = entry.text(Name);
        if (!entry.utf8(Phone).isEmpty() || !entry.utf8(Email).isEmpty())
            item += QLatin1Char(':') + entry.text(Phone);
        if (!entry.utf8(Email).isEmpty())
            item += QLatin1Char(':') + entry.text(Email);
        items << item;
    }
    return items.join(QLatin1Char(' '));
}

} // namespace

class TestEntryMerge : public QObject
{
    Q_OBJECT
private slots:
    void merge_keepsWhatEitherSideDid_data();
    void merge_keepsWhatEitherSideDid();
};

void TestEntryMerge::merge_keepsWhatEitherSideDid_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("ours");
    QTest::addColumn<QString>("merged");
    // added, removed, changed, kept twice, kept changed
    QTest::addColumn<QList<int>>("counts");

    QTest::newRow("nothing changed there") << "A B C"
                                           << "A B C"
                                           << "C B A D"
                                           << "C B A D" << QList{0, 0, 0, 0, 0};
    QTest::newRow("added there, at the end") << "A B"
                                             << "A B Carol"
                                             << "B A Dan"
                                             << "B A Dan Carol" << QList{1, 0, 0, 0, 0};
    QTest::newRow("removed there, unchanged here") << "A B C"
                                                   << "A C"
                                                   << "C A B"
                                                   << "C A" << QList{0, 1, 0, 0, 0};
    QTest::newRow("removed there, changed here") << "A:1 B:2"
                                                 << "A:1"
                                                 << "A:1 B:9"
                                                 << "A:1 B:9" << QList{0, 0, 0, 0, 1};
    QTest::newRow("removed here, changed there") << "A:1 B:2"
                                                 << "A:1 B:7"
                                                 << "A:1"
                                                 << "A:1 B:7" << QList{0, 0, 0, 0, 1};
    QTest::newRow("changed there, in place here") << "A:1 B:2"
                                                  << "A:1 B:7"
                                                  << "B:2 A:1"
                                                  << "B:7 A:1" << QList{0, 0, 1, 0, 0};
    QTest::newRow("changed on both sides, other fields") << "B:2:b@x"
                                                         << "B:7:b@x"
                                                         << "B:2:new@x"
                                                         << "B:7:new@x" << QList{0, 0, 1, 0, 0};
    QTest::newRow("the same field changed on both sides") << "B:2"
                                                          << "B:4"
                                                          << "B:3"
                                                          << "B:3 B:4" << QList{0, 0, 0, 1, 0};
    QTest::newRow("the same change on both sides") << "B:2"
                                                   << "B:3"
                                                   << "B:3"
                                                   << "B:3" << QList{0, 0, 0, 0, 0};
    QTest::newRow("renamed there") << "Ann:1:a@x"
                                   << "Anne:1:a@x"
                                   << "Ann:1:a@x"
                                   << "Anne:1:a@x" << QList{0, 0, 1, 0, 0};
    // Not one entry changed: what replaced X there is not taken for X changed here.
    QTest::newRow("another entry in the place of one changed here")
        << "A:1 X:2 C:3"
        << "A:1 Y:9 C:3"
        << "A:1 X:5 C:3"
        << "A:1 X:5 C:3 Y:9" << QList{1, 0, 0, 0, 1};
    QTest::newRow("one of two equal entries removed there") << "A A B"
                                                            << "A B"
                                                            << "A A B"
                                                            << "A B" << QList{0, 1, 0, 0, 0};
    QTest::newRow("one of two equal entries changed there") << "A:1 A:1"
                                                            << "A:1 A:5"
                                                            << "A:1 A:1"
                                                            << "A:1 A:5" << QList{0, 0, 1, 0, 0};
    QTest::newRow("the same entry added on both sides") << "A"
                                                        << "A N"
                                                        << "N A"
                                                        << "N A" << QList{0, 0, 0, 0, 0};
    QTest::newRow("everything removed there") << "A B"
                                              << ""
                                              << "A B C"
                                              << "C" << QList{0, 2, 0, 0, 0};
    QTest::newRow("written there from nothing") << ""
                                                << "E F"
                                                << "A"
                                                << "A E F" << QList{2, 0, 0, 0, 0};
}

void TestEntryMerge::merge_keepsWhatEitherSideDid()
{
    QFETCH(QString, base);
    QFETCH(QString, theirs);
    QFETCH(QString, ours);
    QFETCH(QString, merged);
    QFETCH(QList<int>, counts);

    const std::vector<PackedEntry> list = entries(ours);
    const MergeResult result = mergeEntries(entries(base), entries(theirs), list);
    QCOMPARE(written(result.entries), merged);
    const MergeCounts &c = result.counts;
    QCOMPARE((QList{c.added, c.removed, c.changed, c.keptTwice, c.keptChanged}), counts);
    // Each row of the list is found again where the merge put it, or is gone.
    QCOMPARE(result.rowOfOurs.size(), list.size());
    for (size_t row = 0; row < list.size(); ++row) {
        const int now = result.rowOfOurs[row];
        QVERIFY(now >= -1 && now < static_cast<int>(result.entries.size()));
        if (now < 0)
            continue;
        const PackedEntry &there = result.entries[static_cast<size_t>(now)];
        QVERIFY(there.utf8(Name) == list[row].utf8(Name) || there.utf8(Phone) == list[row].utf8(Phone));
    }
}

QTEST_GUILESS_MAIN(TestEntryMerge)
#include "tst_entrymerge.moc"
