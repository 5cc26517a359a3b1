#pragma once

#include <QString>

namespace pelagon {

// The program's name as users read it ("Dudadiruz Pelagon"): the title of its message boxes.
QString programName();

// The program's version, as the build was configured ("0.1.0").
QString programVersion();

}  // namespace pelagon
