#include "app/Mapform.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QTimer>

#include "app/PositionsController.h"
#include "app/TheMDIform.h"
#include "app/TimeBar.h"
#include "common/MessageSink.h"
#include "common/Twips.h"
#include "help/HelpBrowser.h"
#include "help/HelpCommand.h"
#include "layout/LegendGeometry.h"
#include "layout/LegendText.h"
#include "layout/MapWindowLayout.h"
#include "mapdef/MapDefinition.h"
#include "mapdef/PlaceList.h"
#include "mapdef/ProjPars.h"
#include "render/LoadLayers.h"
#include "render/MapDecorations.h"
#include "render/MapLayer.h"
#include "render/Symbology.h"
#include "reports/TheBrowserForm.h"
#include "tools/MapPictureBox.h"
#include "tools/MapToolbar.h"
#include "tools/PlaceComboBox.h"

namespace pelagon {

namespace {

// The heading over the map.
const QString& mapHeading() {
    static const QString text =
        QStringLiteral("Ziriv Uridor Izirizoder Ezadi rur Ivediv Erazozozez Urozurav");
    return text;
}

// Places of the controls inside the button frame, in twips.
struct FramedControl {
    double left, top, width, height;
};
constexpr FramedControl kRegsButton{60, 60, 1155, 375};
constexpr FramedControl kInfoButton{1275, 60, 735, 375};
constexpr FramedControl kSiteLabel{2070, 105, 1380, 255};
constexpr FramedControl kSiteList{3480, 60, 2520, 375};
constexpr FramedControl kRegionLabel{6060, 105, 1620, 255};
constexpr FramedControl kRegionList{7710, 60, 2520, 375};
constexpr FramedControl kStatusLabel{10320, 105, 3120, 315};

}  // namespace

Mapform::Mapform(MapformContext context, QWidget* parent)
    : QWidget(parent), ctx_(std::move(context)) {
    setObjectName(QStringLiteral("Mapform"));
    setWindowTitle(QStringLiteral("Map"));
    createControls();
    positions_ = new PositionsController(*this, *ctx_.messages);
}

Mapform::~Mapform() {
    delete positions_;
    delete legendWindow_;
    delete results_;
    delete RegsWindow;
    delete help_;
}

QMdiSubWindow* Mapform::subWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void Mapform::placeFixed(QWidget* w, double left, double top, double width, double height) {
    w->setGeometry(twipsToPixelsX(*this, left), twipsToPixelsY(*this, top),
                   twipsToPixelsX(*this, width), twipsToPixelsY(*this, height));
}

void Mapform::createControls() {
    theToolbar = new MapToolbar(mapwindow::kToolbarWidth, this);
    theToolbar->setObjectName(QStringLiteral("theToolbar"));
    connect(theToolbar, &MapToolbar::ButtonClick, this,
            [this](const QString& key, int index) { theToolbar_ButtonClick(key, index); });

    Picture1 = new MapPictureBox(QSizeF(mapwindow::kPictureWidth, mapwindow::kPictureHeight), this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    placeFixed(Picture1, mapwindow::kPictureLeft, mapwindow::kPictureTop, mapwindow::kPictureWidth,
               mapwindow::kPictureHeight);

    Title = new QLabel(mapHeading(), this);
    Title->setObjectName(QStringLiteral("Title"));
    QFont titleFont(QStringLiteral("Comic Sans MS"));
    titleFont.setPointSizeF(15.75);
    titleFont.setStyleHint(QFont::SansSerif);
    Title->setFont(titleFont);
    placeFixed(Title, mapwindow::kTitleLeft, mapwindow::kTitleTop, mapwindow::kTitleWidth,
               mapwindow::kTitleHeight);

    theMap = new MapCanvas(this);
    theMap->setObjectName(QStringLiteral("theMap"));
    theMap->setFocusPolicy(Qt::StrongFocus);
    connect(theMap, &MapCanvas::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF pos) {
                theMap_MouseDown(button, shift, pos.x(), pos.y());
            });
    connect(theMap, &MapCanvas::mouseMove, this,
            [this](Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, QPointF pos) {
                theMap_MouseMove(buttons, shift, pos.x(), pos.y());
            });
    connect(theMap, &MapCanvas::mouseLeave, this, [this] { theMap_MouseLeave(); });
    // Wheel and key navigation: one history entry per gesture, saved before it changes the map.
    connect(theMap, &MapCanvas::aboutToNavigate, this, [this] { pushExtent(); });

    ButtonFrame = new QFrame(this);
    ButtonFrame->setObjectName(QStringLiteral("ButtonFrame"));
    ButtonFrame->setFixedSize(twipsToPixels(mapwindow::kButtonFrameWidth, logicalDpiX()),
                              twipsToPixels(mapwindow::kButtonFrameHeight, logicalDpiY()));
    auto place = [this](QWidget* w, const FramedControl& c) {
        placeFixed(w, c.left, c.top, c.width, c.height);
    };

    CmdShowRegs = new QPushButton(QStringLiteral("Regulations"), ButtonFrame);
    CmdShowRegs->setObjectName(QStringLiteral("CmdShowRegs"));
    CmdShowRegs->setToolTip(QStringLiteral("Show fishing regulations"));
    place(CmdShowRegs, kRegsButton);
    connect(CmdShowRegs, &QPushButton::clicked, this, [this] { ShowRegs(); });

    HelpCmd = new QPushButton(QStringLiteral("Info"), ButtonFrame);
    HelpCmd->setObjectName(QStringLiteral("HelpCmd"));
    HelpCmd->setToolTip(QStringLiteral("Help on using the program"));
    place(HelpCmd, kInfoButton);
    connect(HelpCmd, &QPushButton::clicked, this, [this] { HelpCmd_Click(); });

    lblSite = new QLabel(QStringLiteral("Zoom to site:"), ButtonFrame);
    lblSite->setObjectName(QStringLiteral("lblSite"));
    lblSite->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(lblSite, kSiteLabel);
    SiteComboBox = new PlaceComboBox(ButtonFrame);
    SiteComboBox->setObjectName(QStringLiteral("SiteComboBox"));
    place(SiteComboBox, kSiteList);

    lblRegion = new QLabel(QStringLiteral("Zoom to region:"), ButtonFrame);
    lblRegion->setObjectName(QStringLiteral("lblRegion"));
    lblRegion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(lblRegion, kRegionLabel);
    RegionComboBox =
        new PlaceComboBox(QStringLiteral("Zoom to region"),
                          QStringLiteral("Click here to select a region to zoom to"), ButtonFrame);
    RegionComboBox->setObjectName(QStringLiteral("RegionComboBox"));
    place(RegionComboBox, kRegionList);

    LblStatus = new StatusLabel(QStringLiteral("Welcome to the program!"), ButtonFrame);
    LblStatus->setObjectName(QStringLiteral("LblStatus"));
    place(LblStatus, kStatusLabel);

    connect(SiteComboBox, &PlaceComboBox::placeChosen, this,
            [this](int k) { SiteComboBox_Click(k); });
    connect(RegionComboBox, &PlaceComboBox::placeChosen, this,
            [this](int k) { RegionComboBox_Click(k); });
    createPrintCommand();
    createPositionControls();

    ArrangeMapWindow();
}

void Mapform::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeMapWindow();
}

void Mapform::ArrangeMapWindow() {
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    // The heading keeps its place; in a window too narrow for it, it ends in "…" and its tooltip
    // holds it whole, rather than being cut off mid-word by the window's edge.
    {
        const QFontMetrics metrics(Title->font());
        const int room =
            std::max(0, width() - twipsToPixels(mapwindow::kControlGap, dpiX) - Title->x());
        const bool fits = metrics.horizontalAdvance(mapHeading()) <= room;
        Title->setText(fits ? mapHeading()
                            : metrics.elidedText(mapHeading(), Qt::ElideRight, room));
        Title->setToolTip(fits ? QString() : mapHeading());
    }
    // The arithmetic works on the window's outer size, frame and caption included.
    QSize outer = size();
    if (QMdiSubWindow* sub = subWindow()) {
        outer = sub->size();
    }
    const double toolbarTwips = pixelsToTwips(theToolbar->width(), dpiX);
    const MapWindowArrangement a = arrangeMapWindow(
        pixelsToTwips(outer.width(), dpiX), pixelsToTwips(outer.height(), dpiY), toolbarTwips);
    theToolbar->setGeometry(0, 0, theToolbar->width(), height());
    // Resized before it is moved; the button frame then stands directly under the map as placed.
    theMap->resize(twipsToPixels(a.mapWidth, dpiX), twipsToPixels(a.mapHeight, dpiY));
    theMap->move(twipsToPixels(a.mapLeft, dpiX), twipsToPixels(a.mapTop, dpiY));
    // The position field stands in the button row, right of the frame; in a window too narrow
    // for that (a small screen, a wide legend), the arrangement gives the status line and the
    // field a strip of their own under the map: the status line on the left, the field on the
    // right, so that neither is cut away.
    const int gap = twipsToPixels(mapwindow::kControlGap, dpiX);
    const int statusWidth = twipsToPixels(kStatusLabel.width, dpiX);
    const int fieldWidth = twipsToPixels(mapwindow::kPositionFieldWidth, dpiX);
    const int rowHeight = twipsToPixels(375, dpiY);
    const int right = width() - gap;
    const int frameLeft = theToolbar->width();
    const bool strip = a.statusStrip && txtPosition != nullptr;
    const int stripHeight = strip ? twipsToPixels(a.statusStripHeight, dpiY) : 0;
    // The time bar, while positions with times are open, takes the map's lowest strip.
    int barHeight = 0;
    if (QWidget* bar = positions_ != nullptr ? positions_->timeBar() : nullptr;
        bar != nullptr && !bar->isHidden()) {
        barHeight = std::min(bar->sizeHint().height(), theMap->height() / 2);
        theMap->resize(theMap->width(), theMap->height() - barHeight);
        bar->setGeometry(theMap->x(), theMap->y() + theMap->height(), theMap->width(), barHeight);
    }
    const int stripTop = theMap->y() + theMap->height() + barHeight;
    ButtonFrame->move(frameLeft, stripTop + stripHeight);
    QWidget* statusParent = strip ? static_cast<QWidget*>(this) : ButtonFrame;
    if (LblStatus->parentWidget() != statusParent) {
        LblStatus->setParent(statusParent);
        LblStatus->show();
    }
    if (strip) {
        const int stripLeft = theMap->x();
        const int stripField = std::min(fieldWidth, std::max(0, right - stripLeft) / 2);
        const int top = stripTop + (stripHeight - rowHeight) / 2;
        txtPosition->setGeometry(right - stripField, top, stripField, rowHeight);
        LblStatus->setGeometry(stripLeft, top, std::max(0, right - stripField - gap - stripLeft),
                               rowHeight);
        return;
    }
    const int statusLeft = twipsToPixels(kStatusLabel.left, dpiX);
    int statusRoom = statusWidth;
    if (txtPosition != nullptr) {
        const int fieldLeft =
            std::max(frameLeft + statusLeft,
                     std::min(frameLeft + ButtonFrame->width() + gap, right - fieldWidth));
        txtPosition->setGeometry(fieldLeft, ButtonFrame->y() + twipsToPixels(60, dpiY),
                                 std::clamp(fieldWidth, 0, std::max(0, right - fieldLeft)),
                                 rowHeight);
        statusRoom = std::clamp(fieldLeft - gap - frameLeft - statusLeft, 0, statusWidth);
    }
    LblStatus->setGeometry(statusLeft, twipsToPixels(kStatusLabel.top, dpiY), statusRoom,
                           twipsToPixels(kStatusLabel.height, dpiY));
}

bool Mapform::Form_Load() {
    BaseDir = QDir::currentPath() + QLatin1Char('/');
    RegsOpened = false;
    if (!LoadLayers()) {
        return false;
    }
    ArrangeMapWindow();
    theMap->setExtent(theMap->fullExtent());
    if (!ReadProjPars()) {
        return false;
    }
    applyViewSettings();
    loadSiteList();
    loadRegionList();
    presetExtents = PresetExtents(regionExtents);
    applyPresetButtons();
    return true;
}

bool Mapform::LoadLayers() {
    if (!getLayerInfo()) {
        return false;
    }
    LegendCallbacks legendRows;
    legendRows.AddToLayerListForm = [this](qint16 Index, const QString& theName, qint16 Checked,
                                           qint32 theColor, qint32 theBorderColor, qint16 theStyle,
                                           qint16 ShapeType) {
        legend_->AddToLayerListForm(Index, theName, Checked, theColor, theBorderColor, theStyle,
                                    ShapeType);
    };
    legendRows.placeScrollbar = [this] { legend_->placeScrollbar(); };
    LoadedLayers built =
        pelagon::LoadLayers(LayerInfos, QDir::currentPath(), *theMap, *ctx_.messages, legendRows);
    MapLayers = std::move(built.MapLayers);
    LabelRenderers = std::move(built.LabelRenderers);
    LabelFont = std::move(built.LabelFont);
    return true;
}

void Mapform::changeLayerVisible(int Index, int V) {
    if (Index < 0 || Index >= LayerInfos.size()) {
        return;
    }
    LayerInfos[Index].Visible = V != 0 ? kTrue : kFalse;
    if (Index < static_cast<int>(MapLayers.size()) && MapLayers[Index]) {
        MapLayers[Index]->setVisible(V != 0);
    }
    theMap->refresh();
}

void Mapform::applyViewSettings() {
    const QSettings settings;
    MapDecorations decorations;
    decorations.scaleBar = settings.value(QLatin1String(kScaleBarSetting), true).toBool();
    decorations.graticule = settings.value(QLatin1String(kGraticuleSetting), false).toBool();
    decorations.projection = projection;
    theMap->setDecorations(decorations);
}

void Mapform::setScaleBarShown(bool shown) {
    QSettings().setValue(QLatin1String(kScaleBarSetting), shown);
    applyViewSettings();
}

void Mapform::setGraticuleShown(bool shown) {
    QSettings().setValue(QLatin1String(kGraticuleSetting), shown);
    applyViewSettings();
}

bool Mapform::ReadProjPars() {
    const ProjParsResult result = pelagon::ReadProjPars(QStringLiteral("ProjPars.alb"));
    if (result.projection) {
        projection = *result.projection;
        return true;
    }
    ctx_.messages->error(QString(), result.error->message());
    if (ctx_.endProgram) {
        ctx_.endProgram(1);
    }
    return false;
}

void Mapform::loadSiteList() {
    siteExtents = takePlaceList(readSiteList(QStringLiteral("SSL_Locs.csv")),
                                QStringLiteral("site"), SiteComboBox);
}

void Mapform::loadRegionList() {
    regionExtents = takePlaceList(readRegionList(QStringLiteral("Regions.csv")),
                                  QStringLiteral("region"), RegionComboBox);
}

QVector<MapRect> Mapform::takePlaceList(const PlaceList& list, const QString& what,
                                        PlaceComboBox* combo) {
    if (list.error) {
        ctx_.messages->error(
            QString(),
            QStringLiteral("The %1 list cannot be used.\n\n").arg(what) + list.error->message());
    }
    combo->setPlaces(list.names);
    return list.extents;
}

void Mapform::applyPresetButtons() {
    for (const QString& key : PresetExtents::keys()) {
        const int index = theToolbar->indexOfKey(key);
        if (index > 0) {
            theToolbar->setButtonEnabled(index, presetExtents.contains(key));
        }
    }
}

bool Mapform::getLayerInfo() {
    TheMDIform* frame = ctx_.frame;
    const QSizeF frameTwips = frame->outerSizeTwips();
    const double dpiX = frame->logicalDpiXF();

    // 1. Size the legend (created here, on first use) and the map window for the frame's height.
    if (!legend_) {
        // Swatches are drawn by the map's own symbology, so they match the layers. A line
        // layer's swatch is its line in the border colour.
        legend_ = new LayerListForm([](QPainter& painter, const QRectF& rect, int shapeType,
                                       const QColor& fill, const QColor& border, int style) {
            const SymbolKind kind = symbology::kindForShapeType(shapeType);
            const QColor& colour = kind == SymbolKind::Line ? border : fill;
            symbology::drawSwatch(painter, rect, kind, symbology::valueFromColor(colour),
                                  symbology::valueFromColor(border), style);
        });
        legend_->changeLayerVisible = [this](int Index, int V) { changeLayerVisible(Index, V); };
        legendWindow_ = frame->addChild(legend_, !ctx_.hiddenUntilLoaded);
    }
    legend_->setWindowTitle(legend::legendTitle());
    const FramePlacement placement = placeInFrame(frameTwips.width(), frameTwips.height(), 0);
    legend_->AvailRows = legend::availRows(placement.legendHeight, legend_->RowSpacing);

    // 2.-4. Read the definition; caption the frame and close the chooser once it has opened.
    const MapDefinition def = readMapDefinition(ctx_.theMapFile);
    if (def.error && def.error->line == 0) {
        ctx_.messages->error(QString(), QStringLiteral("The map definition cannot be opened.\n\n") +
                                            def.error->message());
        return false;
    }
    // The path shows as it is: "[*]" would otherwise be taken for the modified-marker.
    QString path = ctx_.theMapFile;
    path.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    frameCaption_ = QStringLiteral("Dudadiruz Pelagon: ") + path;
    if (!ctx_.hiddenUntilLoaded) {
        frame->setWindowTitle(frameCaption_);
    }
    if (ctx_.closeChooser) {
        ctx_.closeChooser();
    }
    if (def.error) {
        ctx_.messages->error(QString(), QStringLiteral("The map definition cannot be read.\n\n") +
                                            def.error->message());
        return false;
    }
    LayerInfos = def.LayerInfos;
    LastLayer = def.LastLayer();
    if (LastLayer < 0) {
        ctx_.messages->error(
            QString(), QStringLiteral("The map definition %1 lists no layers: the line after its "
                                      "header line (line 2) must describe the first layer.")
                           .arg(ctx_.theMapFile));
        return false;
    }

    // 8. Size the legend's width from the longest name and place the two windows side by side.
    // The legend is never narrower than its swatches, boxes and whole names need.
    legend_->LegendWidth = std::max(legend_->LegendWidth, def.longestName);
    legend_->LegendCols = 1;
    legend_->LegendWidth = legend_->LegendWidth + legend::kSwatchWidth + 2;
    QStringList names;
    for (const LayerInfo& r : LayerInfos) {
        names.append(r.LayerName);
    }
    const QMargins frameMargins = legendWindow_->contentsMargins();
    // Nor narrower than its title bar needs for the whole title.
    legendWidthTwips_ =
        std::max(legend::fittedPanelWidthTwips(
                     legend::panelWidthTwips(legend_->LegendCols, legend_->LegendWidth),
                     legend::widestCheckBoxTwips(names, dpiX),
                     legend::mayNeedScrollBar(LastLayer + 1, legend_->AvailRows),
                     pixelsToTwips(frameMargins.left() + frameMargins.right(), dpiX)),
                 pixelsToTwips(legend::wholeTitleWidth(*legendWindow_), dpiX));
    if (QMdiSubWindow* sub = subWindow()) {
        sub->installEventFilter(this);
        // Activating another window while the map is maximized leaves that window as it is.
        frame->mdiArea()->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    }
    legendWindow_->installEventFilter(this);
    placeMapAndLegend();
    return true;
}

}  // namespace pelagon
