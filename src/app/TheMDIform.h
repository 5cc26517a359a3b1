#pragma once

#include <QMainWindow>
#include <QSizeF>

class QMdiArea;
class QMdiSubWindow;

namespace pelagon {

// The main frame: a window holding an MDI area in which the map window, the legend and the
// browser windows live. It opens maximized; resizing it moves none of its children.
class TheMDIform : public QMainWindow {
    Q_OBJECT
public:
    explicit TheMDIform(QWidget* parent = nullptr);

    // Adds a child window and shows it (or leaves it hidden, for its owner to show). The
    // sub-window owns the widget.
    QMdiSubWindow* addChild(QWidget* child, bool show = true);

    QMdiArea* mdiArea() const { return area_; }

    // The frame's outer size in twips. While the frame is (about to be) maximized this is the
    // screen's available area, which is the size a maximized frame takes.
    QSizeF outerSizeTwips() const;

    // Logical DPI used for converting twips to pixels inside the frame.
    double logicalDpiXF() const;
    double logicalDpiYF() const;

private:
    QMdiArea* area_;
};

}  // namespace pelagon
