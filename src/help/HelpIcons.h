#pragma once

#include <QIcon>
#include <QString>

namespace pelagon {

// The help window's toolbar icons (the image list imlIcons), drawn in code: an icon for each key
// "Back", "Forward", "Stop", "Refresh", "Home" and "Search"; a null icon for any other key.
QIcon helpToolbarIcon(const QString& key);

}  // namespace pelagon
