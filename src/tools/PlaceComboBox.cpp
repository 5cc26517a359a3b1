#include "tools/PlaceComboBox.h"

#include <QWheelEvent>

namespace pelagon {

PlaceComboBox::PlaceComboBox(QWidget* parent)
    : PlaceComboBox(QStringLiteral("Zoom to site"),
                    QStringLiteral("Click here to select a site to zoom to"), parent) {}

PlaceComboBox::PlaceComboBox(const QString& prompt, const QString& toolTip, QWidget* parent)
    : QComboBox(parent) {
    // Focus by click or Tab only: the wheel passing over a closed list changes nothing.
    setFocusPolicy(Qt::StrongFocus);
    setPlaceholderText(prompt);
    setToolTip(toolTip);
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

void PlaceComboBox::wheelEvent(QWheelEvent* event) {
    // The wheel over a closed list would jump the map to another place; it scrolls only the open
    // list.
    event->ignore();
}

void PlaceComboBox::showPrompt() {
    setCurrentIndex(-1);
}

}  // namespace pelagon
