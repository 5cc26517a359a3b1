#pragma once

#include <QWidget>

namespace pelagon {

// The fixed picture of the map window (`Picture1`) at the size in twips the map window gives it,
// no behaviour. It paints the picture of MapPicture.h in vectors, so it is
// sharp at any device pixel ratio.
class MapPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit MapPictureBox(QSizeF sizeTwips, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QSize sizeAtDpi() const;

    QSizeF sizeTwips_;
};

}  // namespace pelagon
