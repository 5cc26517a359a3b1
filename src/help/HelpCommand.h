#pragma once

#include <QString>

namespace pelagon {

class HelpBrowser;

// The help start page of a map: BaseDir (the map folder with its trailing separator), then
// "HTML/MapHelp.htm#FishTool", joined as they are.
QString helpStartAddress(const QString& BaseDir);

// What the map window's "Info" button does: the help window's StartingAddress becomes the start
// page; a closed help window opens on it, an open one is only repainted (it keeps its page and its
// place among the windows; the address is loaded the next time it opens).
void showHelp(HelpBrowser& help, const QString& BaseDir);

}  // namespace pelagon
