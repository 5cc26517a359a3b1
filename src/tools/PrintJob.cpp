#include "tools/PrintJob.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPrinter>

#include "tools/PrintLayout.h"

namespace pelagon {

namespace {

constexpr int kTitlePointSize = 14;
constexpr double kTitleBandLines = 1.5;  // the title line's band, in lines of the title font
constexpr int kFooterPointSize = 9;

// Keeps the painter's state for the duration of one page's drawing, also when a drawing callback
// throws, so later pages start from a clean state.
class PainterStateGuard {
public:
    explicit PainterStateGuard(QPainter& painter) : painter_(painter) { painter_.save(); }
    ~PainterStateGuard() { painter_.restore(); }
    PainterStateGuard(const PainterStateGuard&) = delete;
    PainterStateGuard& operator=(const PainterStateGuard&) = delete;

private:
    QPainter& painter_;
};

}  // namespace

PrintJob::PrintJob(QPrinter& printer) : printer_(printer) {}

PrintJob::~PrintJob() {
    if (state_ == State::Open) {
        abandon();
    }
}

bool PrintJob::startMapPage(const QString& jobName) {
    // The job takes the name of its first page.
    if (pages_ == 0 && state_ == State::Open) {
        printer_.setDocName(jobName);
    }
    return startPage();
}

bool PrintJob::startPage() {
    if (state_ != State::Open) {
        return false;
    }
    if (pages_ == 0) {
        if (!painter_.begin(&printer_)) {
            return false;
        }
    } else if (!printer_.newPage()) {
        return false;
    }
    ++pages_;
    return true;
}

QRectF PrintJob::printableArea() const {
    // Without full-page mode the painter's origin is the printable area's top-left corner.
    return {0.0, 0.0, static_cast<double>(printer_.width()),
            static_cast<double>(printer_.height())};
}

QRectF PrintJob::drawTitle(const QString& title, const QRectF& area) {
    QFont font = painter_.font();
    font.setPointSize(kTitlePointSize);
    font.setBold(true);
    const double band = QFontMetricsF(font, &printer_).height() * kTitleBandLines;
    const QRectF titleRect(area.left(), area.top(), area.width(), band);
    painter_.setFont(font);
    painter_.setPen(Qt::black);
    painter_.drawText(titleRect, Qt::AlignCenter | Qt::TextSingleLine, title);
    return area.adjusted(0.0, band, 0.0, 0.0);
}

bool PrintJob::printMap(const MapPainter& paintMap, const QString& jobName, const QString& title,
                        bool fitToPage, const std::function<QSizeF()>& screenSizeInches) {
    if (!paintMap || !startMapPage(jobName)) {
        return false;
    }
    const PainterStateGuard guard(painter_);
    QRectF area = printableArea();
    if (!title.isEmpty()) {
        area = drawTitle(title, area);
    }
    QRectF target = area;
    if (!fitToPage && screenSizeInches) {
        const QSizeF inches = screenSizeInches();
        if (inches.isValid() && !inches.isEmpty()) {
            target = placeWithin(inches * printer_.resolution(), area);
        }
    }
    const bool drawn = paintMap(painter_, target);
    return drawn && printer_.printerState() != QPrinter::Error;
}

bool PrintJob::printMapPage(const MapPainter& paintMap, const QString& jobName, double aspect,
                            const QString& mapName, const QDate& date) {
    if (!paintMap || !startMapPage(jobName)) {
        return false;
    }
    const PainterStateGuard guard(painter_);
    const QRectF area = printableArea();
    QFont font = painter_.font();
    font.setPointSize(kFooterPointSize);
    const QFontMetricsF metrics(font, &printer_);
    const double footer = metrics.height() * kTitleBandLines;
    const QRectF mapArea = area.adjusted(0, 0, 0, -footer);
    const QRectF target = fitAspect(aspect, mapArea);
    const bool drawn = paintMap(painter_, target);
    painter_.setPen(QPen(Qt::black, std::max(1.0, printer_.resolution() / 144.0)));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(target);
    painter_.setFont(font);
    const QRectF footerRect(target.left(), target.bottom(), target.width(), footer);
    painter_.drawText(footerRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, mapName);
    painter_.drawText(footerRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                      date.toString(Qt::ISODate));
    return drawn && printer_.printerState() != QPrinter::Error;
}

bool PrintJob::printLegend(const LegendPainter& paintLegend) {
    if (!paintLegend) {
        return false;
    }
    int row = 0;
    while (row >= 0) {
        if (!startPage()) {
            return false;
        }
        const PainterStateGuard guard(painter_);
        painter_.fillRect(printableArea(), Qt::white);
        const int next = paintLegend(painter_, printableArea(), row);
        if (next >= 0 && next <= row) {
            return false;  // not even one row fits the page
        }
        row = next;
        if (printer_.printerState() == QPrinter::Error) {
            return false;
        }
    }
    return true;
}

bool PrintJob::printPicture(const QImage& image) {
    if (image.isNull()) {
        return false;
    }
    const QSizeF inches = pictureSizeInches(image.size(), image.devicePixelRatio(),
                                            image.dotsPerMeterX(), image.dotsPerMeterY());
    if (!startPage()) {
        return false;
    }
    const PainterStateGuard guard(painter_);
    const QRectF target = placeWithin(inches * printer_.resolution(), printableArea());
    // The target already accounts for the ratio: draw every pixel of the image into it.
    QImage pixels = image;
    pixels.setDevicePixelRatio(1.0);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
    painter_.drawImage(target, pixels);
    return printer_.printerState() != QPrinter::Error;
}

bool PrintJob::finish() {
    if (state_ != State::Open) {
        return false;
    }
    state_ = State::Finished;
    if (pages_ == 0) {
        return false;
    }
    const bool ended = painter_.end();
    return ended && printer_.printerState() != QPrinter::Error;
}

void PrintJob::abandon() {
    if (state_ != State::Open) {
        return;
    }
    state_ = State::Abandoned;
    if (!painter_.isActive()) {
        return;
    }
    // Qt's PDF-based engines cannot cancel a run; ending it and removing the file they wrote is
    // what abandoning can do for output to a file.
    printer_.abort();
    painter_.end();
    if (printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty()) {
        QFile::remove(printer_.outputFileName());
    }
}

}  // namespace pelagon
