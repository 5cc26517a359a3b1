#include "app/StatusLabel.h"

#include <QPainter>
#include <QStyle>

namespace pelagon {

StatusLabel::StatusLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setText(text);
}

void StatusLabel::setText(const QString& text) {
    QLabel::setText(text);
    fitText();
}

void StatusLabel::clear() {
    QLabel::clear();
    fitText();
}

void StatusLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fitText();
}

void StatusLabel::fitText() {
    const QString whole = text();
    const QFontMetrics metrics = fontMetrics();
    const int room = contentsRect().width();
    if (metrics.horizontalAdvance(whole) <= room) {
        shown_ = whole;
        setToolTip(QString());
        return;
    }
    // The longest run of whole words that fits with the ellipsis; a first word too long for the
    // label is cut where it must be.
    const QString ellipsis(QChar(0x2026));
    shown_.clear();
    for (qsizetype end = whole.lastIndexOf(QLatin1Char(' ')); end > 0;
         end = whole.lastIndexOf(QLatin1Char(' '), end - 1)) {
        const QString words = whole.left(end).trimmed();
        if (!words.isEmpty() && metrics.horizontalAdvance(words + ellipsis) <= room) {
            shown_ = words + ellipsis;
            break;
        }
    }
    if (shown_.isEmpty()) {
        shown_ = metrics.elidedText(whole, Qt::ElideRight, room);
    }
    setToolTip(whole);
    update();
}

void StatusLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shown_, foregroundRole());
}

}  // namespace pelagon
