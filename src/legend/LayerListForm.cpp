#include "legend/LayerListForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QStyleOptionTitleBar>
#include <QTextLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/Twips.h"
#include "layout/LegendGeometry.h"
#include "layout/LegendText.h"

namespace pelagon {

namespace {

// A line swatch has no height of its own; the widget is this tall so that its line shows.
constexpr int kLineSwatchPixels = 4;

// A width to ask a style for a title bar's parts with: wide enough for every button and some
// title.
constexpr int kTitleProbeWidth = 1000;
// The frame a style draws around a child window that has a border.
constexpr int kChildWindowBorder = 4;

// The font of the captions of the classes listed under a row.
QFont classCaptionFont() {
    QFont font = legend::nameFont();
    font.setItalic(true);
    return font;
}

QColor colourOf(qint32 value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// The legend's scroll bar. Some styles (Fusion among them) draw the thumb lighter than the track
// around it, so that on a long list the track's short end reads as the thumb: the thumb seems to
// sit at the wrong end and to move the wrong way. Its thumb is drawn over in a darker shade with
// an outline, so it is the one thing on the bar that looks like a thumb in every style.
class LegendScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* event) override {
        QScrollBar::paintEvent(event);
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect thumb = style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                                    QStyle::SC_ScrollBarSlider, this);
        if (thumb.isEmpty()) {
            return;
        }
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool pressed = isSliderDown();
        p.setPen(QPen(palette().color(QPalette::Dark), 1));
        p.setBrush(palette().color(pressed ? QPalette::Dark : QPalette::Mid));
        p.drawRoundedRect(QRectF(thumb).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    }
};

}  // namespace

LayerListForm::LayerListForm(SwatchPainter swatchPainter, QWidget* parent)
    : QWidget(parent), swatchPainter_(std::move(swatchPainter)) {
    setObjectName(QStringLiteral("LayerListForm"));
    setWindowTitle(QStringLiteral("Form1"));
    setAutoFillBackground(true);
    rows_ = new QWidget(this);
    rows_->setObjectName(QStringLiteral("rows"));
    LayerListScroll = new LegendScrollBar(Qt::Vertical, this);
    LayerListScroll->setObjectName(QStringLiteral("LayerListScroll"));
    LayerListScroll->setRange(0, 0);
    LayerListScroll->hide();
    connect(LayerListScroll, &QScrollBar::valueChanged, this, [this] { LayerListScroll_Change(); });
    Form_Load();
}

void LayerListForm::Form_Load() {
    RowSpacing = legend::kRowSpacing;
    LegendWidth = 0;
}

int LayerListForm::rowSlots() const {
    return rowPlace(static_cast<int>(LayerVisCheck.size()));
}

int LayerListForm::rowPlace(int c) const {
    int place = 0;
    for (int i = 0; i < std::min<int>(c, static_cast<int>(LayerVisCheck.size())); ++i) {
        if (LayerVisCheck[i] != nullptr) {
            place += 1 + (classes_[i] != nullptr ? classes_[i]->rowCount() : 0);
        }
    }
    return place;
}

double LayerListForm::rowTopTwips(int c) const {
    return (rowPlace(c) * RowSpacing - scrollOffsetRows_) * legend::kTwipsPerRowUnit;
}

void LayerListForm::AddToLayerListForm(int Index, const QString& theName, int Checked,
                                       qint32 theColor, qint32 theBorderColor, int theStyle,
                                       int ShapeType) {
    if (Index < 0) {
        return;
    }
    if (Legend.size() <= Index) {
        Legend.resize(Index + 1, nullptr);
        LayerVisCheck.resize(Index + 1, nullptr);
        names_.resize(Index + 1);
        classes_.resize(Index + 1, nullptr);
    }
    names_[Index] = theName;
    delete Legend[Index];
    delete LayerVisCheck[Index];

    auto* swatch = new LegendSwatch(swatchPainter_, rows_);
    swatch->setObjectName(QStringLiteral("Legend%1").arg(Index));
    swatch->fill = colourOf(theColor);
    swatch->border = colourOf(theBorderColor);
    swatch->style = theStyle;
    swatch->shapeType = ShapeType;
    swatch->name = theName;
    swatch->dropRows = ShapeType == kLineLayer ? RowSpacing / 4.0 : 0.0;
    swatch->setVisible(ShapeType != kPointLayer);
    Legend[Index] = swatch;

    // The name shows literally: an "&" in it is no keyboard mnemonic.
    auto* box = new QCheckBox(legend::checkBoxText(theName), rows_);
    box->setObjectName(QStringLiteral("LayerVisCheck%1").arg(Index));
    box->setFont(legend::nameFont());
    // Setting the mark is not a click: it never reaches changeLayerVisible.
    box->setChecked(Checked != 0);
    box->show();
    connect(box, &QCheckBox::clicked, this, [this, Index] { LayerVisCheck_Click(Index); });
    LayerVisCheck[Index] = box;

    // A row filled between others moves those below it down.
    for (int c = Index; c < LayerVisCheck.size(); ++c) {
        positionRow(c, scrollOffsetRows_);
    }
}

void LayerListForm::positionRow(int c, double offsetRows) {
    if (c >= LayerVisCheck.size() || LayerVisCheck[c] == nullptr) {
        return;
    }
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    const double rowTop = (rowPlace(c) * RowSpacing - offsetRows) * legend::kTwipsPerRowUnit;
    const double unitX = legend::kTwipsPerCellX;
    const double unitY = legend::kTwipsPerRowUnit;

    LegendSwatch* swatch = Legend[c];
    const int swatchLeft = 0;
    const int swatchWidth = twipsToPixels(legend::kSwatchWidth * unitX, dpiX);
    if (swatch->shapeType == kLineLayer) {
        const int lineY = twipsToPixels(rowTop + swatch->dropRows * unitY, dpiY);
        swatch->setGeometry(swatchLeft, lineY - kLineSwatchPixels / 2, swatchWidth,
                            kLineSwatchPixels);
    } else {
        swatch->setGeometry(swatchLeft, twipsToPixels(rowTop, dpiY), swatchWidth,
                            twipsToPixels(legend::kSwatchHeight * unitY, dpiY));
    }

    // As wide as the design gives it, and never narrower than its mark and its whole name.
    QCheckBox* box = LayerVisCheck[c];
    const int boxCells = std::max(1, LegendWidth - legend::kSwatchWidth - 2);
    int boxWidth =
        std::max({twipsToPixels(boxCells * unitX, dpiX), box->sizeHint().width(),
                  twipsToPixels(legend::checkBoxWidthTwips(names_.value(c), dpiX), dpiX)});
    const int boxLeft = twipsToPixels((legend::kSwatchWidth + 1) * unitX, dpiX);
    // A name longer than the legend is wide (the legend takes at most a share of the frame) ends
    // in "…" at the legend's edge, whole in the box's tooltip.
    const QString& name = names_.value(c);
    const int room = rows_->width() - boxLeft;
    if (room > 0 && boxWidth > room) {
        const QFontMetrics metrics(box->font());
        const int mark = box->sizeHint().width() - metrics.horizontalAdvance(box->text());
        // The box's hint may round a pixel or two past mark + text: the text is cut until the
        // whole box fits.
        for (int cut = 0; cut <= 8; cut += 2) {
            box->setText(legend::checkBoxText(
                metrics.elidedText(name, Qt::ElideRight, std::max(0, room - mark - cut))));
            if (box->sizeHint().width() <= room) {
                break;
            }
        }
        box->setToolTip(name);
        boxWidth = room;
    } else if (box->text() != legend::checkBoxText(name)) {
        box->setText(legend::checkBoxText(name));
        box->setToolTip(QString());
    }
    box->setGeometry(boxLeft, twipsToPixels(rowTop, dpiY), boxWidth, twipsToPixels(unitY, dpiY));

    // The classes under the row, from the check box's left to the scroll bar's place.
    if (LegendClassRows* classes = classes_[c]) {
        const double pitch = RowSpacing * unitY;
        classes->pitchPixels = pitch * dpiY / 1440.0;
        classes->rowPixels = twipsToPixels(unitY, dpiY);
        const int room = width() - twipsToPixels(legend::kScrollBarWidthTwips, dpiX) - boxLeft;
        classes->setGeometry(boxLeft, twipsToPixels(rowTop + pitch, dpiY), std::max(1, room),
                             twipsToPixels(classes->rowCount() * pitch, dpiY));
    }
}

int LayerListForm::visibleRows() const {
    // A row is visible when its whole box is: its top plus one row unit lies within the panel.
    const double pitch = RowSpacing * legend::kTwipsPerRowUnit;
    const double height = pixelsToTwips(this->height(), logicalDpiY());
    if (pitch <= 0 || height < legend::kTwipsPerRowUnit) {
        return 0;
    }
    return static_cast<int>(std::floor((height - legend::kTwipsPerRowUnit) / pitch)) + 1;
}

void LayerListForm::placeScrollbar() {
    wrapClasses();
    const int slotCount = rowSlots();
    const int visible = visibleRows();
    // A position p shows the list from row p; the largest position shows the last rows whole.
    // The thumb is the visible share of the list.
    const int maxPosition = std::max(0, slotCount - visible);
    LayerListScroll->setRange(0, maxPosition);
    LayerListScroll->setPageStep(std::max(1, visible));
    LayerListScroll->setSingleStep(1);
    LayerListScroll->setVisible(slotCount > visible);
    placeControls();
    LayerListScroll_Change();
}

void LayerListForm::placeControls() {
    const int barWidth = twipsToPixels(legend::kScrollBarWidthTwips, logicalDpiX());
    LayerListScroll->setGeometry(std::max(0, width() - barWidth), 0, barWidth, height());
    // The rows stand left of the scroll bar, which never covers them.
    const int rowsWidth = LayerListScroll->isVisibleTo(this) ? width() - barWidth : width();
    rows_->setGeometry(0, 0, std::max(0, rowsWidth), height());
    LayerListScroll->raise();
}

void LayerListForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The rows that fit follow the height: the scroll bar's range and thumb with them.
    if (rowSlots() > 0) {
        placeScrollbar();
    } else {
        placeControls();
    }
}

void LayerListForm::wheelEvent(QWheelEvent* event) {
    // The wheel scrolls the list by rows, as many per notch as the system says for lines; the
    // small steps of a touchpad add up to notches.
    if (!LayerListScroll->isVisibleTo(this)) {
        event->ignore();
        return;
    }
    wheelDelta_ += event->angleDelta().y();
    const int notches = wheelDelta_ / 120;
    wheelDelta_ -= notches * 120;
    const int rows = notches * std::max(1, QApplication::wheelScrollLines());
    LayerListScroll->setValue(LayerListScroll->value() - rows);
    event->accept();
}

void LayerListForm::LayerListScroll_Change() {
    scrollOffsetRows_ = LayerListScroll->value() * RowSpacing;
    for (int c = 0; c < LayerVisCheck.size(); ++c) {
        positionRow(c, scrollOffsetRows_);
    }
}

void LayerListForm::LayerVisCheck_Click(int Index) {
    const int V = LayerVisCheck[Index]->isChecked() ? 1 : 0;
    if (changeLayerVisible) {
        changeLayerVisible(Index, V);
    }
}

QImage LayerListForm::printImage() {
    return grab().toImage();
}

int legend::wholeTitleWidth(const QMdiSubWindow& window) {
    QStyle* style = window.style();
    QStyleOptionTitleBar option;
    option.initFrom(&window);
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = window.windowFlags();
    option.titleBarState = Qt::WindowActive;
    option.state |= QStyle::State_Active;
    option.text = window.windowTitle();
    const int border =
        style->styleHint(QStyle::SH_TitleBar_NoBorder, &option, &window) ? 0 : kChildWindowBorder;
    option.rect = QRect(border, border, kTitleProbeWidth - 2 * border,
                        style->pixelMetric(QStyle::PM_TitleBarHeight, &option, &window));
    const QRect label =
        style->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, &window);
    return wholeTitlePixels(option.text, QApplication::font("QMdiSubWindowTitleBar"),
                            kTitleProbeWidth - label.width());
}

LegendSwatch::LegendSwatch(const SwatchPainter& painter, QWidget* parent)
    : QWidget(parent), painter_(painter) {}

void LegendSwatch::paintEvent(QPaintEvent*) {
    if (!painter_) {
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    painter_(p, QRectF(rect()), shapeType, fill, border, style);
}

// The classes listed under a row.
QStringList legend::wrapLines(const QString& text, const QFont& font, double width,
                              QPaintDevice* device) {
    width = std::max(1.0, width);
    const QFontMetricsF metrics(font, device);
    // A piece too wide for a line alone is broken between its words, or within a word.
    const auto breakPiece = [&](const QString& piece, QStringList& lines) {
        QTextLayout layout(piece, font, device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << piece.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    };
    // The pieces between commas stay whole where they fit: "…, 2024-05-01," and "1–20 kn"
    // rather than "1–" and "20 kn".
    QStringList lines;
    const QStringList pieces = text.split(QStringLiteral(", "));
    for (qsizetype k = 0; k < pieces.size(); ++k) {
        const QString piece = pieces[k] + (k + 1 < pieces.size() ? QStringLiteral(",") : QString());
        if (!lines.isEmpty() && k > 0 &&
            metrics.horizontalAdvance(lines.back() + QLatin1Char(' ') + piece) <= width) {
            lines.back() += QLatin1Char(' ') + piece;
        } else if (metrics.horizontalAdvance(piece) <= width) {
            lines << piece;
        } else {
            breakPiece(piece, lines);
        }
    }
    return lines;
}

LegendClassRows::LegendClassRows(LegendClasses classes, QWidget* parent)
    : QWidget(parent), classes_(std::move(classes)) {}

void LegendClassRows::wrap(int width) {
    lines_ = classes_.caption.isEmpty() ? QStringList()
                                        : legend::wrapLines(classes_.caption, classCaptionFont(),
                                                            std::max(1, width), this);
}

void LegendClassRows::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor text = palette().color(QPalette::WindowText);
    p.setPen(text);
    p.setFont(classCaptionFont());
    int row = 0;
    const auto top = [&](int r) { return static_cast<int>(std::lround(r * pitchPixels)); };
    for (const QString& line : lines_) {
        p.drawText(QRect(0, top(row++), width(), rowPixels), Qt::AlignLeft | Qt::AlignVCenter,
                   line);
    }
    p.setFont(legend::nameFont());
    // A swatch as tall as a check box's mark, half as wide again.
    const int side = std::max(4, rowPixels * 3 / 4);
    const int swatchWidth = side * 3 / 2;
    for (const auto& [colour, label] : classes_.rows) {
        const int y = top(row++);
        const QRect swatch(0, y + (rowPixels - side) / 2, swatchWidth, side);
        p.fillRect(swatch, Qt::white);
        p.fillRect(swatch, colour);
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(swatch.adjusted(0, 0, -1, -1));
        p.setPen(text);
        p.drawText(QRect(swatchWidth + side / 2, y, width(), rowPixels),
                   Qt::AlignLeft | Qt::AlignVCenter, label);
    }
}

void LayerListForm::setLayerClasses(int Index, const LegendClasses& classes) {
    if (Index < 0 || Index >= LayerVisCheck.size() || LayerVisCheck[Index] == nullptr) {
        return;
    }
    delete classes_[Index];
    classes_[Index] = nullptr;
    if (!classes.rows.isEmpty()) {
        auto* rows = new LegendClassRows(classes, rows_);
        rows->setObjectName(QStringLiteral("LegendClasses%1").arg(Index));
        rows->setToolTip(classes.caption);
        rows->show();
        classes_[Index] = rows;
    }
    placeScrollbar();
}

const LegendClassRows* LayerListForm::layerClasses(int Index) const {
    return classes_.value(Index, nullptr);
}

void LayerListForm::wrapClasses() {
    // The width left of the scroll bar whether it shows or not, so that the rows the captions
    // take never depend on the bar, which shows by the rows.
    const double dpiX = logicalDpiX();
    const int width = this->width() - twipsToPixels(legend::kScrollBarWidthTwips, dpiX) -
                      twipsToPixels((legend::kSwatchWidth + 1) * legend::kTwipsPerCellX, dpiX);
    for (LegendClassRows* rows : classes_) {
        if (rows != nullptr) {
            rows->wrap(width);
        }
    }
}

}  // namespace pelagon
