#pragma once

#include <QWidget>

namespace pelagon {

// The legend, "Available Layers": one row per layer of the map definition, a swatch drawn like
// the layer's symbol and a check box with the layer's name that shows or hides the layer.
class LayerListForm : public QWidget {
    Q_OBJECT
public:
    explicit LayerListForm(QWidget* parent = nullptr);

    // Panel state read and written by the map definition reader.
    int LegendWidth = 0;      // cell units; longest name, then + swatch width + 2
    int LegendCols = 1;       // legend columns
    double RowSpacing = 1.5;  // row pitch in row units
    int AvailRows = 0;        // rows that fit in the panel's height

private:
    void Form_Load();
};

}  // namespace pelagon
