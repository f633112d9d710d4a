// The pointer of a window: mode 0 shows the default pointer, mode 99 the window's custom image
// (the hand). Moving over a push button switches to 99; moving over the window's background or
// one of its reset areas switches back to 0; moving over anything else changes nothing.
#pragma once

#include <QCursor>
#include <QList>
#include <QObject>

#include <optional>

class QWidget;

namespace larkspan {

class HoverPointer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefault = 0;
    static constexpr int kCustom = 99;

    // Watches the window and every control on it now.
    HoverPointer(QWidget &window, QList<QWidget *> resetAreas);

    int mode() const { return mode_; }
    void setMode(int mode);

    bool hasImage() const { return image_.has_value(); }
    const std::optional<QCursor> &image() const { return image_; }
    // The hand cursor step: loads "HAND-M.CUR" from the application folder when it is there as a
    // regular file; a file that is there but is no cursor throws StepFailure.
    void loadHandCursor(const QString &applicationFolder);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void hoverOver(QWidget *widget);

    QWidget &window_;
    QList<QWidget *> resetAreas_;
    int mode_ = kDefault;
    std::optional<QCursor> image_;
};

} // namespace larkspan
