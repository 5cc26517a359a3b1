#pragma once

// Helpers of the printing tests: inspecting PDF files with poppler's command-line tools, and
// fakes of the printer dialog, the platform and the map and legend sources.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <optional>

#include <stdexcept>

#include "tools/PrinterDialog.h"
#include "tools/PrinterPlatform.h"

namespace pelagon::test {

inline QString runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A field of pdfinfo's report ("Pages", "Title"); empty when the file cannot be read.
inline QString pdfInfoField(const QString& pdf, const QString& field) {
    const QString report = runTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(report);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

inline int pdfPageCount(const QString& pdf) {
    return pdfInfoField(pdf, QStringLiteral("Pages")).toInt();
}

// The number of raster images drawn on a page: pdfimages lists one per line after two lines of
// header.
inline int pdfImageCount(const QString& pdf, int page) {
    const QString list =
        runTool(QStringLiteral("pdfimages"),
                {QStringLiteral("-list"), QStringLiteral("-f"), QString::number(page),
                 QStringLiteral("-l"), QString::number(page), pdf});
    const QStringList lines = list.split(u'\n', Qt::SkipEmptyParts);
    return lines.size() < 2 ? -1 : static_cast<int>(lines.size()) - 2;
}

inline QString pdfText(const QString& pdf, int page) {
    return runTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                    QString::number(page), pdf, QStringLiteral("-")});
}

// Page `page` rendered at dpi dots per inch; at 72 dpi a pixel is one point of the page.
inline QImage renderPdfPage(const QString& pdf, int page, int dpi, const QString& outPrefix) {
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
             QString::number(page), QStringLiteral("-r"), QString::number(dpi),
             QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, outPrefix});
    return QImage(outPrefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

inline bool near(QColor a, QColor b, int tolerance = 8) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A platform whose default printer is a text the tests set and read.
class FakePlatform : public PrinterPlatform {
public:
    QString currentPrinterDevice() const override {
        if (failRead) {
            throw std::runtime_error("no printer object");
        }
        return current;
    }
    bool setDefaultPrinter(const QString& device) override {
        setCalls.append(device);
        if (failSet) {
            throw std::runtime_error("profile not writable");
        }
        current = device;
        return true;
    }
    bool skipsDefaultPrinterRestore() const override { return skipsRestore; }

    QString current = QStringLiteral("Office Laser,winspool,Ne00:");
    bool skipsRestore = false;
    bool failRead = false;
    bool failSet = false;
    QStringList setCalls;
};

// A printer dialog that answers at once. Like the system dialog of the platforms that need the
// restore, choosing a printer makes it the platform's default, also when the user then cancels.
class FakeDialog : public PrinterDialog {
public:
    enum class Answer { PrintToPdf, Cancel, Fail };

    bool choosePrinter(QPrinter& printer) override {
        ++shown;
        if (platform != nullptr && !chosenPrinter.isEmpty()) {
            platform->current = chosenPrinter;
        }
        switch (answer) {
            case Answer::Fail:
                throw std::runtime_error("printer dialog failed");
            case Answer::Cancel:
                return false;
            case Answer::PrintToPdf:
                break;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        offeredOrientation = printer.pageLayout().orientation();
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(userOrientation.value_or(offeredOrientation));
        printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        resolution = printer.resolution();
        printableSize = printer.pageLayout().paintRectPixels(resolution).size();
        return true;
    }

    Answer answer = Answer::PrintToPdf;
    // The orientation the dialog was opened with, and the one the user picks there (none: the
    // offered one is kept).
    QPageLayout::Orientation offeredOrientation = QPageLayout::Portrait;
    std::optional<QPageLayout::Orientation> userOrientation;
    QString pdfPath;
    FakePlatform* platform = nullptr;
    QString chosenPrinter;  // the printer the user picks; empty: the dialog's first choice
    int shown = 0;
    int resolution = 0;
    QSize printableSize;  // the page's printable area in device units
};

// The map as two vertical halves, red then blue, filling the target.
inline const QColor kMapLeft(220, 30, 30);
inline const QColor kMapRight(30, 30, 220);

struct FakeMap {
    enum class Outcome { Draw, Fail, Throw };

    bool paint(QPainter& painter, const QRectF& target) {
        ++calls;
        this->target = target;
        deviceIsPrinter =
            painter.device() != nullptr && painter.device()->devType() == QInternal::Printer;
        if (outcome == Outcome::Throw) {
            throw std::runtime_error("map renderer failed");
        }
        QRectF left = target;
        left.setWidth(target.width() / 2);
        QRectF right = target;
        right.setLeft(left.right());
        painter.fillRect(left, kMapLeft);
        painter.fillRect(right, kMapRight);
        return outcome == Outcome::Draw;
    }

    Outcome outcome = Outcome::Draw;
    int calls = 0;
    QRectF target;
    bool deviceIsPrinter = false;
};

// A legend picture: green with a yellow top-left quarter, at 96 dots per inch, so that
// 192 x 96 pixels are 2 x 1 inches.
inline const QColor kLegendGround(20, 160, 60);
inline const QColor kLegendMark(240, 220, 20);

inline QImage legendPicture(int width, int height, double dpi = 96.0) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kLegendGround);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, width / 2, height / 2), kLegendMark);
    p.end();
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    return image;
}

}  // namespace pelagon::test
