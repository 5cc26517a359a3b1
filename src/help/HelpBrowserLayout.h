#pragma once

namespace pelagon {

// Sizes that follow the help window's client area, in twips.
struct HelpBrowserSizes {
    double addressWidth = 0;  // cboAddress
    double viewWidth = 0;     // brwWebBrowser
    double viewHeight = 0;
};

// The help window's layout for a client area W by H twips with the address strip at stripTop and
// stripHeight high: the address box and the page view are W - 100 wide and the view is
// H - (stripTop + stripHeight) - 100 high. A size that would come out negative is 0.
HelpBrowserSizes helpBrowserSizes(double W, double H, double stripTop = 540,
                                  double stripHeight = 675);

}  // namespace pelagon
