#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPair>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class QCheckBox;
class QMdiSubWindow;
class QScrollBar;
class QWheelEvent;

namespace pelagon {

class LegendClassRows;
class LegendSwatch;

// What a layer's legend entry lists under its row (the classes of a shading): a caption saying
// what the classes show, then one row per class with its swatch colour and its text.
struct LegendClasses {
    QString caption;
    QVector<QPair<QColor, QString>> rows;
};

// The shape types of a legend row whose swatch is drawn differently from an area's.
inline constexpr int kPointLayer = 21;
inline constexpr int kLineLayer = 22;

// Draws one legend swatch into a rectangle: the layer's geometry kind (21 points, 22 lines,
// other values areas), fill colour, border colour and style code. The map's own symbology
// provides it, so the swatches look exactly like the map's symbols.
using SwatchPainter = std::function<void(QPainter& painter, const QRectF& rect, int shapeType,
                                         const QColor& fill, const QColor& border, int style)>;

// The legend, "Available Layers": one row per layer of the map definition, a swatch drawn like
// the layer's symbol and a check box with the layer's name that shows or hides the layer.
//
// Inside the panel, one unit across is 120 twips and one row unit down is 240 twips; the row of
// place i (the i-th filled row) stands i * RowSpacing row units below the top, less the scroll
// offset.
class LayerListForm : public QWidget {
    Q_OBJECT
public:
    explicit LayerListForm(SwatchPainter swatchPainter, QWidget* parent = nullptr);

    // Panel state read and written by the map definition reader.
    int LegendWidth = 0;      // cell units; longest name, then + swatch width + 2
    int LegendCols = 1;       // legend columns
    double RowSpacing = 1.5;  // row pitch in row units
    int AvailRows = 0;        // rows that fit in the panel's height

    // Fills row Index: a swatch of the layer's symbol and a check box captioned theName, ticked
    // when Checked is not 0. Colours are red + 256 * green + 65536 * blue. Ticking the box here
    // never changes the layer's visibility.
    void AddToLayerListForm(int Index, const QString& theName, int Checked, qint32 theColor,
                            qint32 theBorderColor, int theStyle, int ShapeType);

    // Places the scroll bar against the right edge, full height, and hides it when every row
    // fits whole. Its range runs from the first rows to the last ones shown whole, and its thumb
    // is the visible share of the list; it follows later changes of the panel's height.
    void placeScrollbar();

    // Lists classes under row Index (its caption wrapped to the panel's width, then a row per
    // class), in place of any it listed; classes without rows take them away. The rows below
    // move down, the scroll bar follows, and the printed legend lists them too.
    void setLayerClasses(int Index, const LegendClasses& classes);
    // The classes listed under row Index; null for none.
    const LegendClassRows* layerClasses(int Index) const;

    // Called with (Index, V) when the user ticks (V = 1) or clears (V = 0) a row's box.
    std::function<void(int Index, int V)> changeLayerVisible;

    // An image of the panel in its current state, scroll position included, for printing.
    QImage printImage();

    // Draws the legend's rows as vectors into area (the painter's device units) for a printed
    // page: a heading on the first page, then from row firstRow (counting filled rows only) as
    // many rows as fit, each with its swatch and its name as on screen and its box ticked or
    // empty; a hidden layer's name is marked "(hidden)", and under a row its classes (the
    // caption wrapped to the page's width, a swatch and text per class). Returns the row to go
    // on with (a class or a line of a caption is a row), or -1 when the last row has been drawn.
    int paintRows(QPainter& painter, const QRectF& area, int firstRow) const;

    // Rows and controls, indexed by layer number; a layer that failed to load leaves nullptr.
    QVector<LegendSwatch*> Legend;
    QVector<QCheckBox*> LayerVisCheck;
    QScrollBar* LayerListScroll = nullptr;

    // Number of rows shown: the filled rows and the rows of the classes listed under them. A
    // layer that failed to load leaves no gap: the rows stand one under the other in the order
    // of their layers.
    int rowSlots() const;

    // Where row c stands in the list: the number of rows shown before it.
    int rowPlace(int c) const;

    // The top of row c, in twips, at the current scroll position.
    double rowTopTwips(int c) const;

    // The rows that the panel shows whole at its present height.
    int visibleRows() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Form_Load();
    // The scroll bar against the right edge, full height; the rows left of it.
    void placeControls();
    void LayerListScroll_Change();
    void LayerVisCheck_Click(int Index);
    void positionRow(int c, double offsetRows);
    // Wraps the classes' captions to the panel's width.
    void wrapClasses();

    SwatchPainter swatchPainter_;
    QWidget* rows_ = nullptr;  // holds the rows, left of the scroll bar
    QVector<QString> names_;   // the layers' names as given, by row
    QVector<LegendClassRows*> classes_;  // the classes listed under each row, or null
    int wheelDelta_ = 0;       // wheel turning not yet a whole notch
    double scrollOffsetRows_ = 0;
};

namespace legend {

// The width in pixels at which a child window of the frame shows its whole title in its title
// bar, beside the icon and the buttons, in the title bar's font as the style draws it (bold, for
// the styles that draw it so). Narrower, the style cuts the title short ("Available Lay…") or
// leaves it out.
int wholeTitleWidth(const QMdiSubWindow& window);

// Text broken into the lines that fit width (in the device's units) in font: after its commas
// where it can, else between words, within a word too long for a line.
QStringList wrapLines(const QString& text, const QFont& font, double width,
                      QPaintDevice* device = nullptr);

}  // namespace legend

// The classes listed under a legend row, painted in place: the caption's lines, then a swatch
// and the text of each class, a row pitch apart; the rows begin at the check box's left.
class LegendClassRows : public QWidget {
    Q_OBJECT
public:
    LegendClassRows(LegendClasses classes, QWidget* parent);

    const LegendClasses& classes() const { return classes_; }
    // The caption as wrapped for the width it was last given.
    const QStringList& captionLines() const { return lines_; }
    // Wraps the caption for a width in pixels.
    void wrap(int width);
    // The rows it takes: the caption's lines and the classes.
    int rowCount() const { return static_cast<int>(lines_.size() + classes_.rows.size()); }
    double pitchPixels = 0;  // the legend's row pitch
    int rowPixels = 0;       // a row's height (a check box's)

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LegendClasses classes_;
    QStringList lines_;
};

// One swatch of the legend.
class LegendSwatch : public QWidget {
    Q_OBJECT
public:
    LegendSwatch(const SwatchPainter& painter, QWidget* parent);

    int shapeType = 0;
    QColor fill;
    QColor border;
    int style = 0;
    QString name;         // the layer's name, as given
    double dropRows = 0;  // a line swatch stands a quarter of the row pitch below the row top

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const SwatchPainter& painter_;
};

}  // namespace pelagon
