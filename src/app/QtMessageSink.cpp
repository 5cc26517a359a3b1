#include "app/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>

namespace pelagon {

namespace {
QString titleOrAppName(const QString& title) {
    return title.isEmpty() ? QApplication::applicationDisplayName() : title;
}
}  // namespace

void QtMessageSink::information(const QString& title, const QString& text) {
    QMessageBox::information(parent_, titleOrAppName(title), text, QMessageBox::Ok);
}

void QtMessageSink::error(const QString& title, const QString& text) {
    QMessageBox::warning(parent_, titleOrAppName(title), text, QMessageBox::Ok);
}

}  // namespace pelagon
