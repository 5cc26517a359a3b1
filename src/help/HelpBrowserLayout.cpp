#include "help/HelpBrowserLayout.h"

#include <algorithm>

namespace pelagon {

namespace {
constexpr double kMargin = 100;
}

HelpBrowserSizes helpBrowserSizes(double W, double H, double stripTop, double stripHeight) {
    HelpBrowserSizes s;
    s.addressWidth = std::max(0.0, W - kMargin);
    s.viewWidth = std::max(0.0, W - kMargin);
    s.viewHeight = std::max(0.0, H - (stripTop + stripHeight) - kMargin);
    return s;
}

}  // namespace pelagon
