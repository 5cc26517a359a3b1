#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <QStringList>

#include "tools/ToolbarSymbols.h"

class QPainter;

namespace pelagon {

// The toolbar's image list: 22 faces. Image i (1..11) is the normal face of button i, image i + 11
// its selected face. Faces are drawn in code as vectors, so they stay sharp at any size and device
// pixel ratio; their design size is 40 x 39 pixels at a device pixel ratio of 1.
constexpr int kToolbarFaceCount = 22;
constexpr int kToolbarFaceButtons = 11;
constexpr int kToolbarFaceWidth = 40;
constexpr int kToolbarFaceHeight = 39;

inline QSize toolbarFaceSize() {
    return {kToolbarFaceWidth, kToolbarFaceHeight};
}
inline bool isToolbarFaceNumber(int imageNumber) {
    return imageNumber >= 1 && imageNumber <= kToolbarFaceCount;
}

// The colours of a face.
QColor toolbarFaceGround();             // dark blue
QColor toolbarCaptionColour();          // white, on normal faces
QColor toolbarSelectedCaptionColour();  // yellow, on selected faces

// What one face shows.
struct ToolbarFace {
    FaceSymbol symbol = FaceSymbol::Magnifier;
    QStringList captionLines;  // one or two lines
    bool selected = false;     // the selected face of its button: a yellow caption
    bool halo = false;         // a light halo behind the symbol
};

// The face of an image number (1..22); image numbers outside that range give the face of image 1.
ToolbarFace toolbarFace(int imageNumber);

// Paints a face into target (any size; the design is stretched to fill it). A disabled face is
// dimmed. The painter's state is restored afterwards.
void paintToolbarFace(QPainter& painter, const QRectF& target, int imageNumber,
                      bool enabled = true);

// A face as a pixmap of logicalSize (the design size when empty) at devicePixelRatio.
QPixmap toolbarFacePixmap(int imageNumber, qreal devicePixelRatio = 1.0,
                          const QSize& logicalSize = QSize(), bool enabled = true);

}  // namespace pelagon
