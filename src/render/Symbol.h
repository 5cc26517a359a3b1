#pragma once

#include <QtGlobal>

#include "render/Symbology.h"

namespace pelagon {

// How a layer's features are drawn: kind, colour, style code and outline colour. The kind
// follows the layer's geometry (markers for points, lines for lines, fills for areas); the style
// code's meaning depends on it (Symbology.h).
class Symbol {
public:
    SymbolKind kind() const { return kind_; }
    // The kind as a number: 0 marker, 1 line, 2 fill.
    int symbolType() const { return static_cast<int>(kind_); }
    void setKind(SymbolKind k) { kind_ = k; }

    // Colours are red + 256 * green + 65536 * blue.
    qint32 color() const { return color_; }
    void setColor(qint32 c) { color_ = c; }
    int style() const { return style_; }
    void setStyle(int s) { style_ = s; }
    // Drawn only by fill symbols.
    qint32 outlineColor() const { return outlineColor_; }
    void setOutlineColor(qint32 c) { outlineColor_ = c; }

    friend bool operator==(const Symbol&, const Symbol&) = default;

private:
    SymbolKind kind_ = SymbolKind::Fill;
    qint32 color_ = 0x808080;  // mid gray until the map definition sets it
    int style_ = style::Solid;
    qint32 outlineColor_ = 0;  // black
};

}  // namespace pelagon
