#include "help/HelpCommand.h"

#include "help/HelpBrowser.h"

namespace pelagon {

QString helpStartAddress(const QString& BaseDir) {
    return BaseDir + QStringLiteral("HTML/MapHelp.htm#FishTool");
}

void showHelp(HelpBrowser& help, const QString& BaseDir) {
    help.StartingAddress = helpStartAddress(BaseDir);
    if (!help.isOpen()) {
        help.open();
    } else {
        help.repaint();
    }
}

}  // namespace pelagon
