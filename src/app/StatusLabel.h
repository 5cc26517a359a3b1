#pragma once

#include <QLabel>

namespace pelagon {

// The map window's status line: one line of plain text. A message longer than the label is
// shown cut at a word boundary and ended with "…", the whole message then being the label's
// tooltip. text() is always the whole message.
class StatusLabel : public QLabel {
    Q_OBJECT
public:
    explicit StatusLabel(const QString& text, QWidget* parent = nullptr);

    // Hide QLabel's: the shown text and the tooltip follow every message.
    void setText(const QString& text);
    void clear();

    // The text as shown at the label's present width.
    QString shownText() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitText();

    QString shown_;
};

}  // namespace pelagon
