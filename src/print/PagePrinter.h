// A line printer on top of QPainter: the few operations a one-page printout needs (font changes,
// text with or without a line break, print zones), with a print position that moves like a pen
// across the printable area. Any failure of the device throws StepFailure.
#pragma once

#include <QFont>
#include <QPainter>
#include <QString>

#include <functional>
#include <memory>

class QFontMetricsF;
class QPagedPaintDevice;
class QPrinter;

namespace larkspan {

class PagePrinter
{
public:
    // A print zone is this many columns wide; a column is the average character width of the
    // font in use.
    static constexpr int kZoneColumns = 14;

    // `device` is painted on from the first text on; `deviceLabel` names it in failure reports
    // (e.g. `the printer "Office"`). `afterEnd` runs once the painter has finished the document,
    // for the failures that the device's engine does not report itself.
    PagePrinter(std::unique_ptr<QPagedPaintDevice> device, const QString &deviceLabel,
                std::function<void()> afterEnd = {});
    ~PagePrinter();
    PagePrinter(const PagePrinter &) = delete;
    PagePrinter &operator=(const PagePrinter &) = delete;

    void setFontName(const QString &family);
    void setFontSize(qreal points);
    void setBold(bool on);
    void setUnderline(bool on);

    // Prints `text` and moves to the start of the next line. In all three, a line break inside
    // `text` (CR LF, CR, LF, U+2028, U+2029) starts a new line at the left edge.
    void printLine(const QString &text);
    // Prints `text` and moves to the start of the next print zone.
    void printToNextZone(const QString &text);
    // Prints `text` and stays on the line, right after it.
    void printText(const QString &text);

    // Finishes the page and hands it to the device.
    void endDocument();

private:
    enum class State { NotStarted, Printing, Ended };

    QFontMetricsF metrics() const;
    void ensurePrinting();
    void checkDevice() const;
    // Draws `text` from the print position; a line break in it moves to the next line.
    void draw(const QString &text);
    void newLine();
    void drawOnLine(const QString &piece);

    std::unique_ptr<QPagedPaintDevice> device_;
    QPrinter *printer_ = nullptr; // device_, when it is a QPrinter
    QString deviceLabel_;
    std::function<void()> afterEnd_;
    QPainter painter_;
    QFont font_;
    State state_ = State::NotStarted;
    qreal x_ = 0;
    qreal y_ = 0;
};

} // namespace larkspan
