#include "tools/PrinterPlatformLinux.h"

#include <QPrinterInfo>

namespace pelagon {

QString PrinterPlatformLinux::currentPrinterDevice() const {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        return {};
    }
    return printerDeviceText(info.printerName(), info.makeAndModel(), QString());
}

bool PrinterPlatformLinux::setDefaultPrinter(const QString& device) {
    return device == currentPrinterDevice();
}

}  // namespace pelagon
