#include "app/ViewerApplication.h"

#include <QApplication>

#include "common/ProgramInfo.h"
#include "tools/AppIcon.h"

namespace pelagon {

void configureViewerApplication() {
    QApplication::setApplicationName(QStringLiteral("pelagon"));
    QApplication::setApplicationVersion(programVersion());
    QApplication::setOrganizationName(QStringLiteral("Dudadiruz"));
    QApplication::setOrganizationDomain(QStringLiteral("dudadiruz.org"));
    // No application display name: the window system would append it to every window's title.
    // The desktop entry's name: the desktop matches the windows to the entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.dudadiruz.Pelagon"));
    QApplication::setWindowIcon(appIcon());
}

}  // namespace pelagon
