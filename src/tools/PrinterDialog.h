#pragma once

class QPrinter;

namespace pelagon {

// The printer dialog of the print command: the user picks a printer and its settings, which the
// dialog writes into the printer.
class PrinterDialog {
public:
    virtual ~PrinterDialog() = default;

    // Shows the dialog for printer. Returns true when the user chose to print, false when they
    // cancelled. A dialog that cannot do its work throws.
    virtual bool choosePrinter(QPrinter& printer) = 0;
};

}  // namespace pelagon
