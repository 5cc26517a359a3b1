#pragma once

#include "tools/PrinterPlatform.h"

namespace pelagon {

// The printer platform on Linux: printers as the print system (CUPS) reports them through Qt.
//
// Qt's printer dialog on Linux sets up one print run only; it never changes the system's default
// printer, so after the dialog there is nothing to put back. Making a printer the default
// therefore never touches the user's settings: setDefaultPrinter changes nothing and reports
// whether the described printer is the system's default already. Choosing the default printer
// stays the business of the print system's own tools.
class PrinterPlatformLinux : public PrinterPlatform {
public:
    // "name,make and model," of the default printer: Qt does not expose the device URI, so the
    // port is empty. Empty when there is no printer, which is no failure: the printer dialog
    // still offers printing to a PDF file.
    QString currentPrinterDevice() const override;

    // Changes nothing; true when device describes the current default printer (an empty
    // description matches a machine without printers).
    bool setDefaultPrinter(const QString& device) override;

    // Linux never keeps the dialog's printer as the default.
    bool skipsDefaultPrinterRestore() const override { return false; }
};

}  // namespace pelagon
