#pragma once

#include <QString>

namespace pelagon {

// A printer's description as the print command saves and restores it: the device name, the
// driver name and the port, joined in this order with "," between them.
inline QString printerDeviceText(const QString& deviceName, const QString& driverName,
                                 const QString& port) {
    return deviceName + u',' + driverName + u',' + port;
}

// What the print command needs from the operating system: which printer is the current one, how
// to make a printer the default again after the printer dialog, and whether this platform keeps
// the printer chosen in the dialog as the default instead.
class PrinterPlatform {
public:
    virtual ~PrinterPlatform() = default;

    // The description of the application's current printer, normally the system's default
    // printer (see printerDeviceText). Empty when no printer is installed.
    virtual QString currentPrinterDevice() const = 0;

    // Makes the described printer the system's default printer. Returns true when it is the
    // default afterwards.
    virtual bool setDefaultPrinter(const QString& device) = 0;

    // True on the platform family where the printer chosen in the dialog stays the default, so
    // the former default is not put back.
    virtual bool skipsDefaultPrinterRestore() const = 0;
};

}  // namespace pelagon
