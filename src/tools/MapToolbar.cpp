#include "tools/MapToolbar.h"

#include <QAction>
#include <QToolButton>

#include "common/Twips.h"
#include "tools/ToolbarButtons.h"
#include "tools/ToolbarFaceIconEngine.h"
#include "tools/ToolbarFaces.h"

namespace pelagon {

MapToolbar::MapToolbar(double widthTwips, QWidget* parent)
    : QToolBar(parent), widthTwips_(widthTwips) {
    setObjectName(QStringLiteral("theToolbar"));
    setOrientation(Qt::Vertical);
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(toolbarFaceSize());
    for (const ToolbarButton& b : toolbarButtons()) {
        QAction* action = addAction(toolbarFaceIcon(b.normalImage), b.key);
        action->setObjectName(b.key);
        action->setToolTip(b.toolTip);
        const int index = b.index;
        const QString key = b.key;
        connect(action, &QAction::triggered, this,
                [this, key, index] { emit ButtonClick(key, index); });
        actions_.append(action);
        images_.append(b.normalImage);
    }
    applyWidth();
}

QAction* MapToolbar::actionAt(int index) const {
    if (index < 1 || index > buttonCount()) {
        return nullptr;
    }
    return actions_[index - 1];
}

bool MapToolbar::setButtonImage(int index, int imageNumber) {
    QAction* action = actionAt(index);
    if (!action || !isToolbarFaceNumber(imageNumber)) {
        return false;
    }
    if (images_[index - 1] != imageNumber) {
        images_[index - 1] = imageNumber;
        action->setIcon(toolbarFaceIcon(imageNumber));
    }
    return true;
}

int MapToolbar::buttonImage(int index) const {
    return actionAt(index) ? images_[index - 1] : 0;
}

QString MapToolbar::key(int index) const {
    const QAction* action = actionAt(index);
    return action ? action->objectName() : QString();
}

int MapToolbar::indexOfKey(const QString& key) const {
    for (int i = 0; i < buttonCount(); ++i) {
        if (actions_[i]->objectName() == key) {
            return i + 1;
        }
    }
    return 0;
}

bool MapToolbar::setButtonEnabled(int index, bool enabled) {
    QAction* action = actionAt(index);
    if (!action) {
        return false;
    }
    action->setEnabled(enabled);
    return true;
}

bool MapToolbar::isButtonEnabled(int index) const {
    const QAction* action = actionAt(index);
    return action && action->isEnabled();
}

QToolButton* MapToolbar::button(int index) const {
    QAction* action = actionAt(index);
    return action ? qobject_cast<QToolButton*>(widgetForAction(action)) : nullptr;
}

void MapToolbar::showEvent(QShowEvent* event) {
    // The screen, and with it the logical DPI, is known for certain only once the window shows.
    applyWidth();
    QToolBar::showEvent(event);
}

void MapToolbar::applyWidth() {
    setFixedWidth(twipsToPixels(widthTwips_, logicalDpiX()));
}

}  // namespace pelagon
