#include "legend/LayerListForm.h"

#include "legend/LegendGeometry.h"

namespace pelagon {

LayerListForm::LayerListForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LayerListForm"));
    setWindowTitle(QStringLiteral("Form1"));
    Form_Load();
}

void LayerListForm::Form_Load() {
    RowSpacing = legend::kRowSpacing;
    LegendWidth = 0;
}

}  // namespace pelagon
