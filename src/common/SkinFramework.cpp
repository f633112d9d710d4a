#include "common/SkinFramework.h"

#include "common/OptionalFile.h"

#include <QFileInfo>
#include <QStyle>
#include <QWidget>

namespace larkspan {

namespace {

constexpr qint64 kMaxSkinSize = 1 << 20;

// A style sheet is text of balanced braces; anything else is not a skin. Qt itself ignores a
// sheet it cannot parse, so this only keeps binary junk away from it.
bool looksLikeStyleSheet(const QString &text)
{
    int depth = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('{'))
            ++depth;
        else if (c == QLatin1Char('}') && --depth < 0)
            return false;
        else if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\r') &&
                 c != QLatin1Char('\t'))
            return false;
    }
    return depth == 0 && text.contains(QLatin1Char('{'));
}

} // namespace

bool SkinFramework::loadSkin(const QString &path, const QString &)
{
    styleSheet_.clear();
    pictures_ = SkinPictures();
    const OptionalFile file = readOptionalFile(path, kMaxSkinSize);
    hasFile_ = file.status != OptionalFile::Absent;
    if (file.status != OptionalFile::Read || !QByteArrayView(file.bytes).isValidUtf8())
        return false;
    const QString text = QString::fromUtf8(file.bytes);
    if (!looksLikeStyleSheet(text))
        return false;
    styleSheet_ = pictures_.localize(text, QFileInfo(path).absolutePath());
    return true;
}

void SkinFramework::applyTo(QWidget &window) const
{
    if (!enabled_ || !(options_ & ApplyToWindow) || styleSheet_.isEmpty())
        return;
    window.setStyleSheet(styleSheet_);
    // Polishing is all that is needed: an unpolish would give each control the font it had before
    // the sheet as its own, so it would no longer take the window's font and captions would be cut.
    if (repolish_) {
        for (QWidget *child : window.findChildren<QWidget *>())
            child->ensurePolished();
    }
}

} // namespace larkspan
