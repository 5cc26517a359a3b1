#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "app/AppController.h"
#include "app/QtMessageSink.h"
#include "app/ViewerApplication.h"
#include "reports/WebPageView.h"

int main(int argc, char* argv[]) {
    // --help and --version need no display.
    if (const std::optional<int> status = pelagon::answerCommandLine(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    pelagon::configureViewerApplication();

    const pelagon::ViewerCommandLine line =
        pelagon::parseViewerCommandLine(QApplication::arguments().mid(1));
    if (line.request == pelagon::ViewerCommandLine::Request::UsageError) {
        std::fputs(line.text.toLocal8Bit().constData(), stderr);
        return 2;
    }

    pelagon::QtMessageSink messages;
    pelagon::AppController controller(messages, pelagon::WebPageView::factory());

    if (line.request == pelagon::ViewerCommandLine::Request::OpenMap) {
        // pelagon PATH.mv opens that map directly, skipping the chooser.
        const QString path = line.mapFile;
        QTimer::singleShot(0, &controller, [&controller, path] { controller.openMapFile(path); });
    } else {
        controller.showChooser();
    }
    return QApplication::exec();
}
