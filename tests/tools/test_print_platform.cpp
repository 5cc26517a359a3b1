#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "tools/PrinterDialogQt.h"
#include "tools/PrinterPlatformLinux.h"

using namespace pelagon;

namespace {

// Works with or without printers installed: on a machine without them the description is empty.
TEST(PrinterPlatformLinuxTest, DescribesTheDefaultAndNeverChangesIt) {
    PrinterPlatformLinux platform;
    const QString before = platform.currentPrinterDevice();
    const QString defaultName = QPrinterInfo::defaultPrinterName();
    EXPECT_EQ(before.isEmpty(), defaultName.isEmpty());
    if (!defaultName.isEmpty()) {
        EXPECT_TRUE(before.startsWith(defaultName + u','));
        EXPECT_TRUE(before.endsWith(u',')) << "the port is not known through Qt";
    }
    EXPECT_FALSE(platform.skipsDefaultPrinterRestore());

    const struct {
        QString device;
        bool isDefault;
    } cases[] = {
        {before, true},
        {before + QStringLiteral("Other"), false},
        {QStringLiteral("Plotter,winspool,USB001"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform.setDefaultPrinter(c.device), c.isDefault) << c.device.toStdString();
        EXPECT_EQ(platform.currentPrinterDevice(), before);
    }
}

// Answers the modal printer dialog once it is shown.
void answerPrintDialog(bool accept) {
    QTimer::singleShot(0, [accept] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            answerPrintDialog(accept);  // not shown yet
            return;
        }
        if (accept) {
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
}

TEST(PrinterDialogQtTest, ReportsPrintOrCancel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    PrinterDialogQt dialog;
    for (const bool accept : {false, true}) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        answerPrintDialog(accept);
        EXPECT_EQ(dialog.choosePrinter(printer), accept);
        EXPECT_EQ(printer.outputFileName(), pdf) << "the dialog's print-to-file choice serves";
    }
}

}  // namespace
