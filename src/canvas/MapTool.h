#pragma once

#include <QCursor>

class QKeyEvent;
class QMouseEvent;
class QPainter;

namespace pelagon {

// An interactive operation on the map canvas (dragging a rectangle, panning, drawing a line):
// a small state machine fed with the canvas's events while it is active. When it has finished,
// the canvas lets go of it and then calls complete(), which hands the result to whoever asked.
class MapTool {
public:
    virtual ~MapTool() = default;

    virtual void press(QMouseEvent&) {}
    virtual void move(QMouseEvent&) {}
    virtual void release(QMouseEvent&) {}
    virtual void doubleClick(QMouseEvent&) {}
    // Returns true when the tool used the key.
    virtual bool key(QKeyEvent&) { return false; }
    // Abandons the operation, as Esc does.
    virtual void cancel() = 0;

    // Draws the tool's feedback (rubber band) over the map, in window coordinates.
    virtual void paint(QPainter&) const {}
    virtual QCursor cursor() const { return Qt::CrossCursor; }
    // Whether the wheel and the keys may move the map while the tool is active.
    virtual bool allowsNavigation() const { return false; }

    bool finished() const { return finished_; }
    // Delivers the result; called once, after the tool has finished and been released.
    virtual void complete() = 0;

protected:
    void finish() { finished_ = true; }

private:
    bool finished_ = false;
};

}  // namespace pelagon
