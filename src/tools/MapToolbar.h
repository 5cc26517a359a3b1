#pragma once

#include <QString>
#include <QToolBar>
#include <QVector>

class QAction;
class QToolButton;

namespace pelagon {

// The map window's toolbar (`theToolbar`): eleven picture buttons in one column, top to bottom as
// in toolbarButtons(). A button is known by its key and its 1-based index; its face is an image
// number of the toolbar's image list (1..22, see ToolbarFaces.h). A click reports the key and the
// index through ButtonClick; what it does is up to the map window. Its width is fixed at the
// width in twips the map window gives it, converted at the widget's logical DPI.
class MapToolbar : public QToolBar {
    Q_OBJECT
public:
    explicit MapToolbar(double widthTwips, QWidget* parent = nullptr);

    int buttonCount() const { return static_cast<int>(actions_.size()); }

    // Shows image imageNumber (1..22) on the button at index (1..buttonCount()). Returns false,
    // changing nothing, when either is out of range.
    bool setButtonImage(int index, int imageNumber);

    // The image number the button shows; 0 for an index out of range.
    int buttonImage(int index) const;

    // The key of the button at index; empty for an index out of range.
    QString key(int index) const;

    // The 1-based index of the button with this key (exact, case-sensitive); 0 when there is none.
    int indexOfKey(const QString& key) const;

    // Enables or disables a button (a preset region without a region row is disabled). Returns
    // false for an index out of range.
    bool setButtonEnabled(int index, bool enabled);
    bool isButtonEnabled(int index) const;

    // The button widget at index, for focus handling and tests; nullptr when out of range.
    QToolButton* button(int index) const;

signals:
    // A button was clicked: its key and its 1-based index.
    void ButtonClick(const QString& key, int index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyWidth();
    QAction* actionAt(int index) const;

    double widthTwips_;
    QVector<QAction*> actions_;
    QVector<int> images_;
};

}  // namespace pelagon
