#include "tools/PlaceComboBox.h"

namespace pelagon {

PlaceComboBox::PlaceComboBox(QWidget* parent) : QComboBox(parent) {
    setPlaceholderText(QStringLiteral("Zoom to site"));
    setToolTip(QStringLiteral("Click here to select a site to zoom to"));
    setInsertPolicy(QComboBox::NoInsert);
    // activated, not currentIndexChanged: only the user's choices count, and every one of them,
    // the same place twice included.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) {
            emit placeChosen(index);
        }
    });
    setPlaces({});
}

void PlaceComboBox::setPlaces(const QStringList& names) {
    clear();
    addItems(names);
    showPrompt();
    setEnabled(!names.isEmpty());
}

void PlaceComboBox::showPrompt() {
    setCurrentIndex(-1);
}

}  // namespace pelagon
