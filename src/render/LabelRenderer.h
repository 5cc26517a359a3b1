#pragma once

#include <QFont>
#include <QString>

#include <memory>

namespace pelagon {

// The text symbol of a label renderer: text height in map units (the labels grow and shrink
// with the map) and a font shared with other renderers; only the font's family and style are
// used, its size comes from the height. A height of 0 or less draws at the font's own size.
struct TextSymbol {
    double height = 0.0;
    std::shared_ptr<QFont> font;
};

// Labels a layer's features with the values of one attribute. The four options, in order:
//   drawLabels      labels are drawn at all;
//   allowDuplicates a text that is already placed for this layer may be placed again; when
//                   false each distinct text shows once per layer;
//   splitText       texts are broken into lines at their spaces;
//   flip            labels of line layers, which run along the line, are turned to read from
//                   left to right; when false they follow the line's own direction.
// Labels stand at a point inside each area, at the middle of each line and beside each point;
// a label is never drawn over one placed before it (upper layers first), and labels smaller
// than 6 px are left out. An empty attribute name draws no labels.
class LabelRenderer {
public:
    LabelRenderer();

    const QString& field() const { return field_; }
    void setField(const QString& name) { field_ = name; }

    void setOptions(bool drawLabels, bool allowDuplicates, bool splitText, bool flip);
    bool drawLabels() const { return drawLabels_; }
    bool allowDuplicates() const { return allowDuplicates_; }
    bool splitText() const { return splitText_; }
    bool flip() const { return flip_; }

    TextSymbol& textSymbol() { return text_; }
    const TextSymbol& textSymbol() const { return text_; }

private:
    QString field_;
    bool drawLabels_ = true;
    bool allowDuplicates_ = false;
    bool splitText_ = false;
    bool flip_ = true;
    TextSymbol text_;
};

}  // namespace pelagon
