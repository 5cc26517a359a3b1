#pragma once

#include <QComboBox>
#include <QStringList>

namespace pelagon {

// A list of places to zoom to: the site list (`SiteComboBox`) and the region list
// (`RegionComboBox`) of the map window. Each shows its prompt ("Zoom to site", "Zoom to region")
// until a place is chosen and carries a tooltip that says what it lists ("Click here to select a
// site to zoom to", "Click here to select a region to zoom to"). A choice is reported on every
// choice, also when the same place is chosen again. An empty list (a list file that could not be
// read) is disabled.
//
// After a choice the list shows the chosen name, as drop-down lists do: it tells the user which
// place the map was zoomed to. Choosing the shown place again still zooms to it. The wheel over
// the closed list changes nothing, and the list takes the keyboard focus only by a click or Tab
// (the map window gives it back to the map after a choice).
class PlaceComboBox : public QComboBox {
    Q_OBJECT
public:
    // The site list: prompt "Zoom to site", tooltip "Click here to select a site to zoom to".
    explicit PlaceComboBox(QWidget* parent = nullptr);
    // A list with its own prompt and tooltip (the region list).
    PlaceComboBox(const QString& prompt, const QString& toolTip, QWidget* parent = nullptr);

    // Replaces the entries with names, in this order (not sorted: entry k belongs to rectangle k),
    // shows the prompt again and enables the list when it has entries.
    void setPlaces(const QStringList& names);

    // Shows the prompt with no place chosen.
    void showPrompt();

signals:
    // The user chose the place at this 0-based index.
    void placeChosen(int index);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

}  // namespace pelagon
