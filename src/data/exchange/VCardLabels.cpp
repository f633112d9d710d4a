// Labels for what a vCard holds beyond the sixteen fields.
#include "data/exchange/VCardLabels.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <iterator>
#include <utility>

namespace larkspan::vcard {

namespace {

template <size_t N>
const char *lookUp(const std::pair<const char *, const char *> (&table)[N], QByteArrayView key)
{
    const auto found = std::find_if(std::begin(table), std::end(table),
                                    [&](const auto &entry) { return key == entry.first; });
    return found == std::end(table) ? nullptr : found->second;
}

// "X-CUSTOM-THING" reads as "Custom thing", "contact_event" as "Contact event".
QString readable(QByteArrayView name)
{
    if (name.startsWith("X-") || name.startsWith("x-"))
        name = name.sliced(2);
    QString label = QString::fromUtf8(name).toLower();
    label.replace(QLatin1Char('-'), QLatin1Char(' ')).replace(QLatin1Char('_'), QLatin1Char(' '));
    label = label.simplified();
    if (!label.isEmpty())
        label[0] = label[0].toUpper();
    return label;
}

} // namespace

bool isBookkeeping(const QByteArray &name)
{
    // X-ABLABEL is read with the property of its group. X-EVOLUTION-FILE-AS, SORT-STRING and the phonetic
    // sort keys of Outlook only order the list by the name the card has already; AGENT in 2.1 is the card
    // that follows it.
    static const QSet<QByteArray> names = {"BEGIN",
                                           "END",
                                           "VERSION",
                                           "PRODID",
                                           "REV",
                                           "UID",
                                           "PHOTO",
                                           "LOGO",
                                           "SOUND",
                                           "KEY",
                                           "CLIENTPIDMAP",
                                           "KIND",
                                           "SOURCE",
                                           "NAME",
                                           "PROFILE",
                                           "SORT-STRING",
                                           "CLASS",
                                           "MEMBER",
                                           "XML",
                                           "X-ABLABEL",
                                           "X-ABUID",
                                           "X-ABSHOWAS",
                                           "X-ABADR",
                                           "X-ABPERSONFLAGS",
                                           "X-ABEXTERNALID",
                                           "X-MOZILLA-HTML",
                                           "X-MOZILLA-PROPERTY",
                                           "X-EVOLUTION-FILE-AS",
                                           "X-EVOLUTION-LIST",
                                           "X-EVOLUTION-LIST-SHOW-ADDRESSES",
                                           "X-EVOLUTION-BOOK-URI",
                                           "X-EVOLUTION-WEBDAV-ETAG",
                                           "X-EVOLUTION-WEBDAV-HREF",
                                           "X-EVOLUTION-CONTACT-LIST-INFO",
                                           "X-EVOLUTION-PARENT-UID",
                                           "X-EVOLUTION-ETAG",
                                           "X-EVOLUTION-DATAFILE",
                                           "X-ADDRESSBOOKSERVER-KIND",
                                           "X-ADDRESSBOOKSERVER-MEMBER",
                                           "X-SHARED-PHOTO-DISPLAY-PREF",
                                           "X-IMAGETYPE",
                                           "X-IMAGEHASH",
                                           "X-MS-CARDPICTURE",
                                           "X-MS-OL-DESIGN",
                                           "X-MS-OL-DEFAULT-POSTAL-ADDRESS",
                                           "X-WAB-GENDER",
                                           "X-RADICALE-NAME",
                                           "X-GOOGLE-ETAG",
                                           "X-ANDROID-ACCOUNT",
                                           "X-ID",
                                           "AGENT"};
    if (names.contains(name))
        return true;
    // Outlook's own flags and form data, the revisions that Evolution's CouchDB store keeps, and
    // the identifiers and etags of any other.
    return name.startsWith("X-MS-OL-") || name.startsWith("X-COUCHDB-") || name.endsWith("-UID") ||
           name.endsWith("ETAG") || name.endsWith("-GUID");
}

QString propertyLabel(const QByteArray &name)
{
    static const std::pair<const char *, const char *> labels[] = {
        {"BDAY", "Birthday"},
        {"ANNIVERSARY", "Anniversary"},
        {"NICKNAME", "Nickname"},
        {"TITLE", "Title"},
        {"ROLE", "Role"},
        {"IMPP", "Instant messaging"},
        {"GEO", "Location"},
        {"TZ", "Time zone"},
        {"CATEGORIES", "Categories"},
        {"GENDER", "Gender"},
        {"LANG", "Language"},
        {"RELATED", "Related"},
        {"FBURL", "Free/busy"},
        {"CALURI", "Calendar"},
        {"CALADRURI", "Calendar requests"},
        {"EXPERTISE", "Expertise"},
        {"HOBBY", "Hobby"},
        {"INTEREST", "Interest"},
        {"ORG-DIRECTORY", "Directory"},
        {"BIRTHPLACE", "Birthplace"},
        {"DEATHDATE", "Date of death"},
        {"MAILER", "Mail program"},
        // Extensions that address books have long written for what 4.0 later named.
        {"X-ANNIVERSARY", "Anniversary"},
        {"X-MS-ANNIVERSARY", "Anniversary"},
        {"X-EVOLUTION-ANNIVERSARY", "Anniversary"},
        {"X-ABDATE", "Date"},
        {"X-ABRELATEDNAMES", "Related name"},
        {"X-GENDER", "Gender"},
        {"X-SPOUSE", "Spouse"},
        {"X-MS-SPOUSE", "Spouse"},
        {"X-EVOLUTION-SPOUSE", "Spouse"},
        {"X-ASSISTANT", "Assistant"},
        {"X-MS-ASSISTANT", "Assistant"},
        {"X-EVOLUTION-ASSISTANT", "Assistant"},
        {"X-MANAGER", "Manager"},
        {"X-MS-MANAGER", "Manager"},
        {"X-EVOLUTION-MANAGER", "Manager"},
        {"X-MS-IMADDRESS", "Instant messaging"},
        {"X-MS-TEL", "Phone"},
        {"X-EVOLUTION-BLOG-URL", "Blog"},
        {"X-EVOLUTION-VIDEO-URL", "Video chat"},
        {"X-SOCIALPROFILE", "Social profile"},
        {"X-AIM", "AIM"},
        {"X-ICQ", "ICQ"},
        {"X-JABBER", "Jabber"},
        {"X-MSN", "MSN"},
        {"X-YAHOO", "Yahoo"},
        {"X-SKYPE", "Skype"},
        {"X-SKYPE-USERNAME", "Skype"},
        {"X-GOOGLE-TALK", "Google Talk"},
        {"X-GADUGADU", "Gadu-Gadu"},
        {"X-GROUPWISE", "GroupWise"},
        {"X-TWITTER", "Twitter"},
        // KAddressBook's, after its prefix X-KADDRESSBOOK-.
        {"X-SPOUSESNAME", "Spouse"},
        {"X-MANAGERSNAME", "Manager"},
        {"X-ASSISTANTSNAME", "Assistant"},
        {"X-IMADDRESS", "Instant messaging"},
        {"BLOGFEED", "Blog"}};
    if (const char *label = lookUp(labels, name))
        return QLatin1String(label);
    // FullContact writes the name of a property in hex: X-FCENCODED-<hex of
    // "X-FC-RelatedNames:Mother">, the label the person chose after the colon.
    if (name.startsWith("X-FCENCODED-")) {
        const QString decoded = QString::fromUtf8(QByteArray::fromHex(name.sliced(12)));
        const QString chosen = decoded.section(QLatin1Char(':'), 1).trimmed();
        return chosen.isEmpty() ? readable(decoded.toUtf8()) : chosen;
    }
    // Evolution's, Outlook's and KAddressBook's own names read without their prefix:
    // X-EVOLUTION-x is "x", X-KADDRESSBOOK-X-ANNIVERSARY is "Anniversary".
    for (const char *prefix : {"X-EVOLUTION-", "X-MS-", "X-KADDRESSBOOK-"})
        if (name.startsWith(prefix)) {
            const QByteArrayView rest = QByteArrayView(name).sliced(qstrlen(prefix));
            if (const char *label = lookUp(labels, rest))
                return QLatin1String(label);
            return readable(rest);
        }
    return readable(name);
}

QString appleLabel(const QString &label)
{
    const QString text = label.trimmed();
    if (text.startsWith(QLatin1String("_$!<")) && text.endsWith(QLatin1String(">!$_"))) {
        // Apple's own labels run their words together: "AssistantPhone" is "Assistant phone".
        QString words = text.mid(4, text.size() - 8);
        for (qsizetype i = words.size() - 1; i > 0; --i)
            if (words[i].isUpper() && words[i - 1].isLower())
                words.insert(i, QLatin1Char(' '));
        return readable(words.toUtf8());
    }
    return text;
}

LabelledValue androidCustom(const QStringList &columns)
{
    const QString kind = columns.value(0).section(QLatin1Char('/'), -1);
    const QString data = columns.value(1);
    const QString type = columns.value(2);
    const QString custom = columns.value(3); // the label the person typed, for type 0
    if (kind == QLatin1String("photo") || kind == QLatin1String("group_membership") ||
        kind == QLatin1String("identity"))
        return {};
    // The types Android gives events and relations, by number.
    static const std::pair<const char *, const char *> events[] = {
        {"1", "Anniversary"}, {"2", "Other date"}, {"3", "Birthday"}};
    static const std::pair<const char *, const char *> relations[] = {
        {"1", "Assistant"}, {"2", "Brother"},  {"3", "Child"},        {"4", "Domestic partner"},
        {"5", "Father"},    {"6", "Friend"},   {"7", "Manager"},      {"8", "Mother"},
        {"9", "Parent"},    {"10", "Partner"}, {"11", "Referred by"}, {"12", "Relative"},
        {"13", "Sister"},   {"14", "Spouse"}};
    const QByteArray typeKey = type.toLatin1();
    const char *known = kind == QLatin1String("contact_event") ? lookUp(events, typeKey)
                        : kind == QLatin1String("relation")    ? lookUp(relations, typeKey)
                                                               : nullptr;
    QString label = known                        ? QString::fromLatin1(known)
                    : type == QLatin1String("0") ? custom.trimmed()
                                                 : QString();
    if (label.isEmpty())
        label = kind == QLatin1String("contact_event") ? QStringLiteral("Date") : readable(kind.toUtf8());
    return {label.isEmpty() ? QStringLiteral("Android") : label, data};
}

} // namespace larkspan::vcard
