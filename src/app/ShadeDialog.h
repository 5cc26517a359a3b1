#pragma once

#include <QDialog>
#include <QtGlobal>

#include <vector>

#include "app/AreaShading.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

namespace pelagon {

struct PositionSet;

// "Shade areas by hours": the layer of areas (the file's query columns that are loaded layers
// of areas), an optional speed range in knots, and the period: the whole file or one UTC day or
// month among those its times (sorted) span.
class ShadeDialog : public QDialog {
    Q_OBJECT
public:
    ShadeDialog(const PositionSet& set, const std::vector<qint64>& times,
                QWidget* parent = nullptr);

    // What the dialog's fields ask for now.
    ShadeRequest request() const;

    QComboBox* layerBox() const { return layer_; }
    QComboBox* periodBox() const { return period_; }
    QCheckBox* speedBox() const { return speed_; }
    QDoubleSpinBox* minKnotsBox() const { return minKnots_; }
    QDoubleSpinBox* maxKnotsBox() const { return maxKnots_; }

private:
    QComboBox* layer_;
    QCheckBox* speed_;
    QDoubleSpinBox* minKnots_;
    QDoubleSpinBox* maxKnots_;
    QComboBox* period_;
};

}  // namespace pelagon
