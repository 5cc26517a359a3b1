#pragma once

#include <QPointer>
#include <QWidget>

#include "common/MessageSink.h"

namespace pelagon {

// Shows messages in modal message boxes with a single OK button.
class QtMessageSink : public MessageSink {
public:
    // parent: the window the boxes belong to; may change while the program runs.
    void setParentWindow(QWidget* parent) { parent_ = parent; }

    void information(const QString& title, const QString& text) override;
    void error(const QString& title, const QString& text) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace pelagon
