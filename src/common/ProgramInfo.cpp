#include "common/ProgramInfo.h"

namespace pelagon {

QString programName() {
    return QStringLiteral("Dudadiruz Pelagon");
}

QString programVersion() {
    return QStringLiteral(PELAGON_VERSION);
}

}  // namespace pelagon
