#pragma once

#include <QString>

#include <memory>

#include "tools/PrintSources.h"

class QPrinter;

namespace pelagon {

class PrinterDialog;
class PrinterPlatform;

// The toolbar command "PrintTheMap": prints the displayed map and, on the next page, the legend
// window, on a printer the user picks in the printer dialog. Where the dialog makes the chosen
// printer the system's default (one platform family excepted), the former default is saved
// before and put back after, so printing from the map leaves the user's default printer as it
// was. The command shows no message of its own, whether it succeeds or fails; it neither changes
// the displayed extent nor adds to the extent history.
class PrintCommand {
public:
    PrintCommand(std::unique_ptr<PrinterPlatform> platform, std::unique_ptr<PrinterDialog> dialog,
                 PrintSources sources);
    ~PrintCommand();

    PrintCommand(const PrintCommand&) = delete;
    PrintCommand& operator=(const PrintCommand&) = delete;

    // Saves the current printer's description, shows the printer dialog, prints the map page
    // (job name "Map_Extent", no title line, fitted to the printable area) and the legend page,
    // then RestoreDefaultPrinter. A failure of the dialog, the map or the legend ends the
    // printing at once, silently; a failing map abandons the whole run, so no legend follows.
    // Cancelling the dialog prints nothing. Either way the default printer is restored. When
    // the current printer cannot even be read, nothing is printed and nothing restored.
    void printCurrentExtent();

    // Puts savedPrinterDevice back as the default printer, except on the platform family that
    // keeps the dialog's printer as the default. A failure of the platform is ignored.
    void RestoreDefaultPrinter();

    // Makes the described printer ("device,driver,port") the system's default printer. Returns
    // true when it is the default afterwards.
    bool SetDefaultPrinter(const QString& device);

    // The description of the current printer when the last command started.
    QString savedPrinterDevice;

    PrinterPlatform& platform() const { return *platform_; }

private:
    void printPages();

    std::unique_ptr<PrinterPlatform> platform_;
    std::unique_ptr<PrinterDialog> dialog_;
    PrintSources sources_;
};

}  // namespace pelagon
