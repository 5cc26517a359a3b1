#pragma once

#include <QPointer>
#include <QWidget>

#include "tools/PrinterDialog.h"

namespace pelagon {

// The system's printer dialog through Qt (QPrintDialog), modal over its parent window. On a
// machine without printers it still offers printing to a PDF file.
class PrinterDialogQt : public PrinterDialog {
public:
    explicit PrinterDialogQt(QWidget* parent = nullptr);

    bool choosePrinter(QPrinter& printer) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace pelagon
