#include "tools/PrintCommand.h"

#include <QPrinter>

#include "tools/PrintJob.h"
#include "tools/PrinterDialog.h"
#include "tools/PrinterPlatform.h"

namespace pelagon {

namespace {

// The arguments of the map component's print operation: the run's name, no title line, and the
// map fitted to the page's printable area.
const QString kMapJobName = QStringLiteral("Map_Extent");
constexpr bool kMapFitToPage = true;

}  // namespace

PrintCommand::PrintCommand(std::unique_ptr<PrinterPlatform> platform,
                           std::unique_ptr<PrinterDialog> dialog, PrintSources sources)
    : platform_(std::move(platform)), dialog_(std::move(dialog)), sources_(std::move(sources)) {}

PrintCommand::~PrintCommand() = default;

void PrintCommand::printCurrentExtent() {
    try {
        savedPrinterDevice = platform_->currentPrinterDevice();
    } catch (...) {
        // Without the former default there is nothing to put back; printing anyway would leave
        // the dialog's choice as the default behind the user's back.
        return;
    }
    try {
        printPages();
    } catch (...) {
        // Every failure of the dialog, the map or the legend ends the printing silently.
    }
    RestoreDefaultPrinter();
}

void PrintCommand::printPages() {
    QPrinter printer(QPrinter::HighResolution);
    // The page's orientation follows the map's shape; the dialog shows it, and what the user
    // chooses there holds.
    double aspect = 0;
    if (sources_.mapScreenSizeInches) {
        const QSizeF inches = sources_.mapScreenSizeInches();
        if (inches.isValid() && inches.height() > 0) {
            aspect = inches.width() / inches.height();
        }
    }
    if (aspect > 0) {
        printer.setPageOrientation(aspect > 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
    }
    if (!dialog_->choosePrinter(printer)) {
        return;
    }
    PrintJob job(printer);
    if (!job.printMapPage(sources_.paintMap, kMapJobName, kMapFitToPage ? aspect : 0,
                          sources_.mapName, QDate::currentDate())) {
        return;  // the job abandons the run as it goes away
    }
    if (sources_.paintLegend) {
        job.printLegend(sources_.paintLegend);
        job.finish();
        return;
    }
    // The map page is good; a legend that cannot be had leaves the run with the map alone.
    QImage legend;
    try {
        if (sources_.legendImage) {
            legend = sources_.legendImage();
        }
    } catch (...) {
        legend = QImage();
    }
    if (!legend.isNull()) {
        job.printPicture(legend);
    }
    job.finish();
}

void PrintCommand::RestoreDefaultPrinter() {
    try {
        if (platform_->skipsDefaultPrinterRestore()) {
            return;
        }
        SetDefaultPrinter(savedPrinterDevice);
    } catch (...) {
        // Nothing more can be done about the default printer; the command stays silent.
    }
}

bool PrintCommand::SetDefaultPrinter(const QString& device) {
    return platform_->setDefaultPrinter(device);
}

}  // namespace pelagon
