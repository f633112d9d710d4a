// Finds the url() pictures of a skin as Qt reads them and gives Qt copies of its own instead.
#include "common/SkinPictures.h"

#include "common/OptionalFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace larkspan {

namespace {

constexpr qint64 kMaxPictureSize = 16 * 1024 * 1024;

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Qt replaces the hex escapes of a sheet ("\41" for "A", up to six digits) before it reads
// anything else, even inside names, so that "\75rl(" opens a picture as "url(" does. This is the
// same replacement, to find url() in the text Qt finds it in.
QString withHexEscapesReplaced(QString text)
{
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'\\') {
            ++i;
            continue;
        }
        const qsizetype digits = ++i;
        while (i < text.size() && i - digits < 7 && isHexDigit(text[i]))
            ++i;
        const qsizetype count = std::min<qsizetype>(i - digits, 6);
        if (count == 0)
            continue;
        bool ok = false;
        const ushort code = QStringView(text).mid(digits, count).toUShort(&ok, 16);
        if (ok)
            text.replace(digits - 1, count + 1, QChar(code));
        i = digits;
    }
    return text;
}

// The text back as a sheet that Qt's replacement turns into exactly this text: every backslash
// as the escape of a backslash, which Qt does not read again.
QString escapedBackslashes(QString text)
{
    return text.replace(u'\\', QStringLiteral("\\00005c"));
}

// Where the name of a url() starts when `at` opens one: "url(", any letter in either case or
// escaped ("u\rl(" is url( to Qt). -1 when it does not.
qsizetype urlNameStart(const QString &text, qsizetype at)
{
    for (const char16_t letter : {u'u', u'r', u'l'}) {
        if (at < text.size() && text[at] == u'\\')
            ++at;
        if (at >= text.size() || text[at].toLower() != letter)
            return -1;
        ++at;
    }
    return at < text.size() && text[at] == u'(' ? at + 1 : -1;
}

qsizetype afterComment(const QString &text, qsizetype at)
{
    const qsizetype end = text.indexOf(QLatin1String("*/"), at + 2);
    return end < 0 ? text.size() : end + 2;
}

// A string ends at its closing quote, or where a line ends inside it.
qsizetype afterString(const QString &text, qsizetype at)
{
    const QChar quote = text[at];
    for (++at; at < text.size(); ++at) {
        if (text[at] == u'\\')
            ++at;
        else if (text[at] == quote)
            return at + 1;
        else if (text[at] == u'\n' || text[at] == u'\r' || text[at] == u'\f')
            return at;
    }
    return at;
}

struct UrlName
{
    qsizetype start = 0;
    qsizetype end = 0; // at the closing ")", or at the brace or end of text that cut the call short
    bool closed = false;
};

// As Qt reads it: white space and comments after "(" are skipped, and everything from there to
// the ")" that closes the call, comments and all, is the name.
UrlName findName(const QString &text, qsizetype at)
{
    while (at < text.size()) {
        if (text[at] == u' ' || text[at] == u'\t' || text[at] == u'\n' || text[at] == u'\r' ||
            text[at] == u'\f')
            ++at;
        else if (text.mid(at, 2) == QLatin1String("/*"))
            at = afterComment(text, at);
        else
            break;
    }
    UrlName name;
    name.start = at;
    int depth = 0;
    while (at < text.size()) {
        const QChar c = text[at];
        if (c == u'"' || c == u'\'') {
            at = afterString(text, at);
        } else if (c == u'/' && text.mid(at, 2) == QLatin1String("/*")) {
            at = afterComment(text, at);
        } else if (c == u'\\') {
            at += 2;
        } else if (c == u'{' || c == u'}') {
            break;
        } else {
            if (c == u'(')
                ++depth;
            else if (c == u')' && depth-- == 0) {
                name.closed = true;
                break;
            }
            ++at;
        }
    }
    name.end = std::min(at, text.size());
    return name;
}

// Qt takes one quote off each end when the name starts with one.
QString withoutQuotes(QString name)
{
    if (name.startsWith(u'"') || name.startsWith(u'\''))
        name = name.mid(1).chopped(1);
    return name;
}

// Qt looks for "pic@2x.png" beside "pic.png" on a screen of two device pixels per pixel, and
// inserts the "@2x" before the last dot, or before ".9.png".
qsizetype scaledNameAt(const QString &fileName)
{
    qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot >= 2 && fileName[dot - 1] == u'9' && fileName[dot - 2] == u'.')
        dot -= 2;
    return dot;
}

// The copies go into a sheet as a quoted url(): their folder's path must need no escapes.
bool isPlainPath(const QString &path)
{
    for (const QChar c : path)
        if (!c.isLetterOrNumber() && c != u'/' && c != u'.' && c != u'-' && c != u'_')
            return false;
    return true;
}

bool writeCopy(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && file.write(bytes) == bytes.size() &&
           file.flush();
}

} // namespace

SkinPictures::SkinPictures() = default;
SkinPictures::SkinPictures(SkinPictures &&) noexcept = default;
SkinPictures &SkinPictures::operator=(SkinPictures &&) noexcept = default;
SkinPictures::~SkinPictures() = default;

QString SkinPictures::localize(const QString &sheet, const QString &skinFolder)
{
    const QString text = withHexEscapesReplaced(sheet);
    QString out;
    qsizetype copied = 0; // text[0, copied) is in `out`
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype nameStart = urlNameStart(text, at);
        if (nameStart < 0) {
            // A url( in a comment or a string is none to Qt, and its ")" may never come.
            if (text[at] == u'"' || text[at] == u'\'')
                at = afterString(text, at);
            else if (text.mid(at, 2) == QLatin1String("/*"))
                at = afterComment(text, at);
            else
                at += text[at] == u'\\' ? 2 : 1;
            continue;
        }
        const UrlName name = findName(text, nameStart);
        if (!name.closed) {
            // Qt drops such a call, and so does this; the brace after it stays.
            out += text.mid(copied, at - copied);
            copied = at = name.end;
            continue;
        }
        const QString path = withoutQuotes(text.mid(name.start, name.end - name.start));
        out += text.mid(copied, nameStart - copied);
        if (path.startsWith(u':')) {
            out += text.mid(nameStart, name.end - nameStart);
        } else if (!path.isEmpty()) {
            const QString copy = copyOf(QDir(skinFolder).filePath(path));
            if (!copy.isEmpty())
                out += u'"' + copy + u'"';
        }
        out += u')';
        copied = at = name.end + 1;
    }
    out += text.mid(copied);
    return escapedBackslashes(out);
}

QString SkinPictures::copyOf(const QString &path)
{
    if (const auto known = copies_.constFind(path); known != copies_.cend())
        return *known;
    QString &copy = copies_[path];
    const OptionalFile picture = readOptionalFile(path, kMaxPictureSize);
    if (picture.status != OptionalFile::Read)
        return copy;
    if (!folder_)
        folder_ =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/cardindex-skin-XXXXXX"));
    if (!folder_->isValid() || !isPlainPath(folder_->path()))
        return copy;

    // Named by number, keeping what follows the insertion point of "@2x" (".png", ".9.png"),
    // from which Qt tells the picture's format.
    const QString fileName = QFileInfo(path).fileName();
    const qsizetype dot = scaledNameAt(fileName);
    const QString tail = dot < 0 || !isPlainPath(fileName.mid(dot)) ? QString() : fileName.mid(dot);
    const QString stem = folder_->filePath(QString::number(copies_.size()));
    if (!writeCopy(stem + tail, picture.bytes))
        return copy;
    if (!tail.isEmpty()) {
        const QString original = path.chopped(fileName.size() - dot);
        for (int scale = 2; scale <= 9; ++scale) {
            const QString at = QStringLiteral("@%1x").arg(scale);
            const OptionalFile scaled = readOptionalFile(original + at + fileName.mid(dot), kMaxPictureSize);
            if (scaled.status == OptionalFile::Read)
                writeCopy(stem + at + tail, scaled.bytes);
        }
    }
    copy = stem + tail;
    return copy;
}

} // namespace larkspan
