#include "app/Mapform.h"

#include <QDir>
#include <QMdiSubWindow>

#include "app/TheMDIform.h"
#include "common/MessageSink.h"
#include "common/Twips.h"
#include "geo/ProjPars.h"
#include "legend/LayerListForm.h"
#include "legend/LegendGeometry.h"
#include "map/MapWindowLayout.h"
#include "mapdef/MapDefinition.h"

namespace pelagon {

Mapform::Mapform(MapformContext context, QWidget* parent)
    : QWidget(parent), ctx_(std::move(context)) {
    setObjectName(QStringLiteral("Mapform"));
    setWindowTitle(QStringLiteral("Map"));
}

Mapform::~Mapform() {
    if (legendWindow_) {
        delete legendWindow_;
    }
}

QMdiSubWindow* Mapform::subWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

bool Mapform::Form_Load() {
    BaseDir = QDir::currentPath() + QLatin1Char('/');
    RegsOpened = false;
    if (!getLayerInfo()) {
        return false;
    }
    if (!ReadProjPars()) {
        return false;
    }
    return true;
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

bool Mapform::getLayerInfo() {
    TheMDIform* frame = ctx_.frame;
    const QSizeF frameTwips = frame->outerSizeTwips();
    const double dpiX = frame->logicalDpiXF();
    const double dpiY = frame->logicalDpiYF();

    // 1. Size the legend (created here, on first use) and the map window for the frame's height.
    if (!legend_) {
        legend_ = new LayerListForm;
        legendWindow_ = frame->addChild(legend_);
    }
    legend_->setWindowTitle(QStringLiteral("Available Layers"));
    FramePlacement placement = placeInFrame(frameTwips.width(), frameTwips.height(), 0);
    legend_->AvailRows = legend::availRows(placement.legendHeight, legend_->RowSpacing);

    // 2.-4. Read the definition; caption the frame and close the chooser once it has opened.
    const MapDefinition def = readMapDefinition(ctx_.theMapFile);
    if (def.error && def.error->line == 0) {
        ctx_.messages->error(QString(), QStringLiteral("The map definition cannot be opened.\n\n") +
                                            def.error->message());
        return false;
    }
    frame->setWindowTitle(QStringLiteral("Dudadiruz Pelagon: ") + ctx_.theMapFile);
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
    legend_->LegendWidth = std::max(legend_->LegendWidth, def.longestName);
    legend_->LegendCols = 1;
    legend_->LegendWidth = legend_->LegendWidth + legend::kSwatchWidth + 2;
    const double legendWidth = legend::panelWidthTwips(legend_->LegendCols, legend_->LegendWidth);
    placement = placeInFrame(frameTwips.width(), frameTwips.height(), legendWidth);
    if (QMdiSubWindow* sub = subWindow()) {
        sub->setGeometry(0, 0, twipsToPixels(placement.mapWidth, dpiX),
                         twipsToPixels(placement.mapHeight, dpiY));
    }
    legendWindow_->setGeometry(
        twipsToPixels(placement.legendLeft, dpiX), twipsToPixels(placement.legendTop, dpiY),
        twipsToPixels(placement.legendWidth, dpiX), twipsToPixels(placement.legendHeight, dpiY));
    return true;
}

}  // namespace pelagon
