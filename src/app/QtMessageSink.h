#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

#include "common/MessageSink.h"

namespace pelagon {

// Shows messages in modal message boxes with a single OK button. The texts are plain: a name
// from a file that looks like markup shows as it is written.
class QtMessageSink : public MessageSink {
public:
    // parent: the window the boxes belong to; may change while the program runs.
    void setParentWindow(QWidget* parent) { parent_ = parent; }

    void information(const QString& title, const QString& text) override;
    void error(const QString& title, const QString& text) override;

    // The box a message is shown in (titled with the program's name when title is empty).
    std::unique_ptr<QMessageBox> makeBox(QMessageBox::Icon icon, const QString& title,
                                         const QString& text) const;

private:
    QPointer<QWidget> parent_;
};

}  // namespace pelagon
