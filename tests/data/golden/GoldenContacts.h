// The golden samples of contact files and the entries each must give.
//
// Next to every sample "name.vcf" or "name.csv" lies "name.vcf.json": the entries in order, each
// an object keyed by column header holding the fields that are not empty, the number of cards or
// rows that cannot be read (and of lines left out of kept cards, "unreadableLines"), and the
// legacy code page to read the sample in ("Windows-1252" unless given).
#pragma once

#include "data/Contact.h"
#include "data/LegacyCodec.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace larkspan::test {

inline QString goldenPath(const QString &name = {})
{
    return QDir(QStringLiteral(CARDINDEX_GOLDEN_DIR)).filePath(name);
}

inline Contact contactWith(std::initializer_list<std::pair<Field, QString>> values)
{
    Contact contact;
    for (const auto &[field, value] : values)
        contact[static_cast<size_t>(field)] = value;
    return contact;
}

struct GoldenExpected
{
    LegacyCodePage codePage = LegacyCodePage::Windows1252;
    int unreadable = -1;
    int unreadableLines = 0;
    QString encoding; // the character set the reader must name, for files that are not UTF-8
    std::vector<Contact> contacts;
};

inline GoldenExpected goldenExpected(const QString &sample)
{
    const QJsonObject root =
        QJsonDocument::fromJson(readBytes(goldenPath(sample + QStringLiteral(".json")))).object();
    GoldenExpected expected;
    if (root.value(QStringLiteral("codePage")).toString() == QStringLiteral("Windows-1251"))
        expected.codePage = LegacyCodePage::Windows1251;
    expected.unreadable = root.value(QStringLiteral("unreadable")).toInt(-1);
    expected.unreadableLines = root.value(QStringLiteral("unreadableLines")).toInt(0);
    expected.encoding = root.value(QStringLiteral("encoding")).toString();
    for (const QJsonValue &value : root.value(QStringLiteral("contacts")).toArray()) {
        const QJsonObject object = value.toObject();
        Contact contact;
        for (int f = 0; f < kFieldCount; ++f)
            contact[size_t(f)] = object.value(fieldHeader(Field(f))).toString();
        // A misspelt header in the expectations would silently expect an empty field.
        for (const QString &key : object.keys())
            if (std::none_of(kColumnFields.begin(), kColumnFields.end(),
                             [&](Field f) { return fieldHeader(f) == key; }))
                expected.unreadable = -1;
        expected.contacts.push_back(contact);
    }
    return expected;
}

// Every difference, field by field, so that a failure names the entry and the field.
inline QString differences(const std::vector<Contact> &actual, const std::vector<Contact> &expected)
{
    QStringList out;
    if (actual.size() != expected.size())
        out << QStringLiteral("%1 entries, expected %2").arg(actual.size()).arg(expected.size());
    for (size_t i = 0; i < std::min(actual.size(), expected.size()); ++i)
        for (int f = 0; f < kFieldCount; ++f)
            if (actual[i][size_t(f)] != expected[i][size_t(f)])
                out << QStringLiteral("entry %1 (%2), %3:\n   actual: \"%4\"\n expected: \"%5\"")
                           .arg(i)
                           .arg(expected[i][Name], fieldHeader(Field(f)), actual[i][size_t(f)],
                                expected[i][size_t(f)]);
    return out.join(QLatin1Char('\n'));
}

} // namespace larkspan::test
