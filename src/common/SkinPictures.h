// The pictures a skin names with url(...). Qt's style sheet engine opens each named file itself,
// with a plain blocking open, whenever it first draws a control in a state (at start-up, or at
// the first hover): a FIFO there would hang the window. So each picture is read once, as the skin
// loads, through readOptionalFile into a folder of the program's own, and the sheet Qt is given
// names those copies. A url() that names anything but a regular file is emptied, and Qt draws it
// as it draws a missing picture.
#pragma once

#include <QHash>
#include <QString>

#include <memory>

class QTemporaryDir;

namespace larkspan {

class SkinPictures
{
public:
    SkinPictures();
    SkinPictures(SkinPictures &&) noexcept;
    SkinPictures &operator=(SkinPictures &&) noexcept;
    ~SkinPictures();

    // `sheet` with each url() naming this object's copy of the picture, or nothing. A relative
    // name is taken from `skinFolder`; a Qt resource (":/...") is left as it is. The copies last
    // as long as this object.
    QString localize(const QString &sheet, const QString &skinFolder);

private:
    QString copyOf(const QString &path);

    std::unique_ptr<QTemporaryDir> folder_;
    QHash<QString, QString> copies_; // picture -> its copy, empty when there is none
};

} // namespace larkspan
