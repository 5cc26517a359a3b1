#include "tools/PrinterDialogQt.h"

#include <QPrintDialog>
#include <QPrinter>

namespace pelagon {

PrinterDialogQt::PrinterDialogQt(QWidget* parent) : parent_(parent) {}

bool PrinterDialogQt::choosePrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, parent_);
    // The print run is always the map page and the legend page; a page range would cut one off.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace pelagon
