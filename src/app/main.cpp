#include <QApplication>
#include <QTimer>

#include "app/AppController.h"
#include "app/QtMessageSink.h"
#include "reports/WebPageView.h"
#include "tools/ToolbarFaceIconEngine.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pelagon"));
    QApplication::setApplicationDisplayName(QStringLiteral("Dudadiruz Pelagon"));
    QApplication::setOrganizationName(QStringLiteral("Dudadiruz"));
    // The Fish Tool's face doubles as the program's icon.
    QApplication::setWindowIcon(pelagon::toolbarFaceIcon(6));

    pelagon::QtMessageSink messages;
    pelagon::AppController controller(messages, pelagon::WebPageView::factory());

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        // pelagon PATH.mv opens that map directly, skipping the chooser.
        const QString path = args.at(1);
        QTimer::singleShot(0, &controller, [&controller, path] { controller.openMapFile(path); });
    } else {
        controller.showChooser();
    }
    return QApplication::exec();
}
