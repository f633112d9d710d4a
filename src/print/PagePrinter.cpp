// The line printer: keeps the print position and the font, and turns QPainter's and QPrinter's
// quiet failures into StepFailure.
#include "print/PagePrinter.h"

#include "common/ErrorReport.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPrinter>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace larkspan {

PagePrinter::PagePrinter(std::unique_ptr<QPagedPaintDevice> device, const QString &deviceLabel,
                         std::function<void()> afterEnd)
    : device_(std::move(device)), printer_(dynamic_cast<QPrinter *>(device_.get())),
      deviceLabel_(deviceLabel), afterEnd_(std::move(afterEnd))
{
}

PagePrinter::~PagePrinter()
{
    // Qt's PDF-based print engines cannot withdraw a page once painting has begun, so a page left
    // open by a failure is finished here rather than leaving QPainter on a device about to go away.
    if (painter_.isActive())
        painter_.end();
}

void PagePrinter::setFontName(const QString &family)
{
    font_.setFamily(family);
}

void PagePrinter::setFontSize(qreal points)
{
    if (!(points > 0))
        fail(QStringLiteral("The font size %1 is not valid for printing.").arg(points));
    font_.setPointSizeF(points);
}

void PagePrinter::setBold(bool on)
{
    font_.setBold(on);
}

void PagePrinter::setUnderline(bool on)
{
    font_.setUnderline(on);
}

void PagePrinter::printLine(const QString &text)
{
    draw(text);
    newLine();
}

void PagePrinter::printToNextZone(const QString &text)
{
    draw(text);
    const qreal zone = kZoneColumns * metrics().averageCharWidth();
    x_ = (std::floor(x_ / zone) + 1) * zone;
}

void PagePrinter::printText(const QString &text)
{
    draw(text);
}

void PagePrinter::endDocument()
{
    if (state_ == State::Ended)
        fail(QStringLiteral("The page has already been sent to %1.").arg(deviceLabel_));
    const bool started = state_ == State::Printing;
    state_ = State::Ended;
    if (!started)
        return; // nothing was printed, so there is no page to send
    if (!painter_.isActive())
        fail(QStringLiteral("Printing on %1 was interrupted.").arg(deviceLabel_));
    if (!painter_.end())
        fail(QStringLiteral("The page could not be finished on %1.").arg(deviceLabel_));
    checkDevice();
    if (afterEnd_)
        afterEnd_();
}

QFontMetricsF PagePrinter::metrics() const
{
    // Measured at the device's resolution: a column must be as wide on paper as it is in the
    // painted text, which screen metrics would not give.
    return QFontMetricsF(font_, device_.get());
}

void PagePrinter::ensurePrinting()
{
    switch (state_) {
    case State::Ended:
        fail(QStringLiteral("The page has already been sent to %1; nothing more can be printed on it.")
                 .arg(deviceLabel_));
    case State::Printing:
        if (!painter_.isActive())
            fail(QStringLiteral("Printing on %1 was interrupted.").arg(deviceLabel_));
        return;
    case State::NotStarted:
        if (!painter_.begin(device_.get()))
            fail(QStringLiteral("Printing could not start on %1.").arg(deviceLabel_));
        state_ = State::Printing;
        checkDevice();
        return;
    }
}

void PagePrinter::checkDevice() const
{
    if (printer_ &&
        (printer_->printerState() == QPrinter::Error || printer_->printerState() == QPrinter::Aborted))
        fail(QStringLiteral("Printing on %1 failed: the printer reported an error.").arg(deviceLabel_));
}

void PagePrinter::draw(const QString &text)
{
    ensurePrinting();
    // QPainter lays a string out on one line, so a value that holds line breaks (a multi-line
    // comment) is drawn piece by piece: each break starts a new line at the left edge, as the end
    // of a printed line does. A piece longer than the paper is wide still runs off its edge.
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|[\\r\\n\\x{2028}\\x{2029}]"));
    const QStringList pieces = text.split(lineBreak);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            newLine();
        drawOnLine(pieces[i]);
    }
}

void PagePrinter::newLine()
{
    // lineSpacing (height plus the font's leading) rather than height, so that consecutive lines
    // are as far apart as the font designer meant for running text.
    y_ += metrics().lineSpacing();
    x_ = 0;
}

void PagePrinter::drawOnLine(const QString &piece)
{
    if (piece.isEmpty())
        return;
    painter_.setFont(font_);
    const QFontMetricsF fm = metrics();
    // The print position is the top of the line; QPainter places text by its baseline.
    painter_.drawText(QPointF(x_, y_ + fm.ascent()), piece);
    x_ += fm.horizontalAdvance(piece);
    checkDevice();
}

} // namespace larkspan
