#include "render/LabelRenderer.h"

namespace pelagon {

LabelRenderer::LabelRenderer() {
    text_.font = std::make_shared<QFont>(QStringLiteral("Arial"), 10);
}

void LabelRenderer::setOptions(bool drawLabels, bool allowDuplicates, bool splitText, bool flip) {
    drawLabels_ = drawLabels;
    allowDuplicates_ = allowDuplicates;
    splitText_ = splitText;
    flip_ = flip;
}

}  // namespace pelagon
