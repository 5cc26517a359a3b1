#include "app/TheMDIform.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include "common/Twips.h"

namespace pelagon {

TheMDIform::TheMDIform(QWidget* parent) : QMainWindow(parent), area_(new QMdiArea(this)) {
    setWindowTitle(QStringLiteral("MDIForm1"));
    setObjectName(QStringLiteral("TheMDIform"));
    area_->setObjectName(QStringLiteral("mdiArea"));
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(area_);
}

QMdiSubWindow* TheMDIform::addChild(QWidget* child, bool show) {
    QMdiSubWindow* sub = area_->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!show) {
        sub->hide();
        return sub;
    }
    sub->show();
    return sub;
}

double TheMDIform::logicalDpiXF() const {
    return logicalDpiX();
}
double TheMDIform::logicalDpiYF() const {
    return logicalDpiY();
}

QSizeF TheMDIform::outerSizeTwips() const {
    QSize px = frameGeometry().size();
    if ((windowState() & Qt::WindowMaximized) && screen() != nullptr) {
        px = screen()->availableGeometry().size();
    }
    return {pixelsToTwips(px.width(), logicalDpiXF()), pixelsToTwips(px.height(), logicalDpiYF())};
}

}  // namespace pelagon
