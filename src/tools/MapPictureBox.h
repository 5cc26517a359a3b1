#pragma once

#include <QWidget>

namespace pelagon {

// The fixed picture of the map window (`Picture1`): mapwindow::kPictureWidth x kPictureHeight
// twips (2655 x 615), no behaviour. It paints the picture of MapPicture.h in vectors, so it is
// sharp at any device pixel ratio.
class MapPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit MapPictureBox(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QSize sizeAtDpi() const;
};

}  // namespace pelagon
