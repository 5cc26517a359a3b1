#include "app/QtMessageSink.h"

#include <QMessageBox>

#include "common/ProgramInfo.h"

namespace pelagon {

std::unique_ptr<QMessageBox> QtMessageSink::makeBox(QMessageBox::Icon icon, const QString& title,
                                                    const QString& text) const {
    auto box = std::make_unique<QMessageBox>(icon, title.isEmpty() ? programName() : title, text,
                                             QMessageBox::Ok, parent_);
    // Texts come from files and command lines: they are shown as written, never as markup.
    box->setTextFormat(Qt::PlainText);
    return box;
}

void QtMessageSink::information(const QString& title, const QString& text) {
    makeBox(QMessageBox::Information, title, text)->exec();
}

void QtMessageSink::error(const QString& title, const QString& text) {
    makeBox(QMessageBox::Warning, title, text)->exec();
}

}  // namespace pelagon
