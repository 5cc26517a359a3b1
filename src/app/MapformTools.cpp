// The map window's toolbar commands, map tools, extent history, place lists, location query,
// measuring and printing.
#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include "app/Mapform.h"
#include "app/TheMDIform.h"
#include "common/MessageSink.h"
#include "geo/AngleText.h"
#include "geo/Measure.h"
#include "geo/PositionText.h"
#include "query/LayerQuery.h"
#include "query/PositionQuery.h"
#include "reports/DrillIdPage.h"
#include "reports/DrillIdPageFile.h"
#include "reports/DrillIdQuery.h"
#include "tools/MapToolbar.h"
#include "tools/PrinterDialogQt.h"
#include "tools/PrinterPlatformLinux.h"

namespace pelagon {

void Mapform::theToolbar_ButtonClick(const QString& key, int index) {
    // Any button ends a measure path, rectangle or pan in progress as Esc does: no message, no
    // history entry, and the next press on the map belongs to the tool chosen now.
    theMap->cancelTool();
    const ToolbarClickResult result = tools.buttonClick(key, index, theToolbar->buttonCount());
    switch (result.command) {
        case ToolbarCommand::ZoomToExtent:
            pushExtent();
            theMap->setExtent(theMap->fullExtent());
            break;
        case ToolbarCommand::ZoomOut:
            pushExtent();
            theMap->setExtent(theMap->extent().scaled(zoomOutFactor));
            break;
        case ToolbarCommand::PreviousExtent:
            previousExtent();
            break;
        case ToolbarCommand::PrintTheMap:
            printCurrentExtent();
            break;
        case ToolbarCommand::PresetRegion:
            zoomToPresetRegion(result.key);
            break;
        case ToolbarCommand::SelectTool:
            break;
    }
    for (const ButtonImageChange& change : result.imageChanges) {
        theToolbar->setButtonImage(change.index, change.imageNumber);
    }
}

void Mapform::theMap_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double Y) {
    lastPress_ = QPointF(x, Y);
    lastPosition_ = theMap->toMapPoint(lastPress_);
    switch (tools.pressAction()) {
        case MapPressAction::ZoomRectangle:
            // The extent shown while dragging is saved once the rectangle is known.
            theMap->trackRectangle(lastPress_, [this](MapRect dragged) {
                pushExtent();
                theMap->setExtent(dragged);
            });
            break;
        case MapPressAction::Pan: {
            // The extent shown before the pan is saved when the pan ends; a pan abandoned (Esc,
            // another tool) puts the map back and saves nothing.
            const MapRect before = theMap->extent();
            theMap->pan(lastPress_, [this, before] { extentHistory.push(before); });
            break;
        }
        case MapPressAction::Query:
            doDrillID(x, Y);
            break;
        case MapPressAction::Measure:
            DoMeasure();
            break;
        case MapPressAction::None:
            break;
    }
}

QString Mapform::noPositionText() {
    return QStringLiteral("Outside the map's projection");
}

void Mapform::theMap_MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, double x, double y) {
    const MapPoint p = theMap->toMapPoint(QPointF(x, y));
    double MapLon = 0;
    double MapLat = 0;
    statusShowsPosition_ = true;
    if (!projection.AlbersToLatLong(p.x, p.y, MapLon, MapLat)) {
        LblStatus->setText(noPositionText());
        return;
    }
    LblStatus->setText(Ddec_to_DMdec(MapLon) + QLatin1Char(',') + Ddec_to_DMdec(MapLat));
}

void Mapform::theMap_MouseLeave() {
    // A position read-out belongs to the pointer over the map; other texts stay.
    if (statusShowsPosition_) {
        LblStatus->clear();
        statusShowsPosition_ = false;
    }
}

void Mapform::pushExtent() {
    extentHistory.push(theMap->extent());
}

void Mapform::previousExtent() {
    if (const std::optional<MapRect> previous = extentHistory.previous()) {
        theMap->setExtent(*previous);
    }
}

void Mapform::zoomToPresetRegion(const QString& key) {
    const std::optional<MapRect> preset = presetExtents.extent(key);
    if (!preset) {
        return;  // the region list has no row for this key; its button is disabled
    }
    pushExtent();
    theMap->setExtent(*preset);
}

void Mapform::SiteComboBox_Click(int k) {
    // After a choice the keys and the wheel move the map again, not the list.
    theMap->setFocus(Qt::OtherFocusReason);
    if (k < 0 || k >= siteExtents.size()) {
        return;
    }
    pushExtent();
    theMap->setExtent(siteExtents[k]);
}

void Mapform::RegionComboBox_Click(int k) {
    theMap->setFocus(Qt::OtherFocusReason);
    if (k < 0 || k >= regionExtents.size()) {
        return;
    }
    pushExtent();
    theMap->setExtent(regionExtents[k]);
}

QString Mapform::findingLayersText() {
    return QStringLiteral("Finding layers ...");
}

void Mapform::doDrillID(double x, double Y) {
    const MapPoint point = theMap->toMapPoint(QPointF(x, Y));
    // A query ends the marker of a position gone to.
    theMap->setMarker(std::nullopt);
    queryAtPoint(point);
}

void Mapform::queryAtPoint(MapPoint point) {
    statusShowsPosition_ = false;
    LblStatus->setText(findingLayersText());
    const DrillIdResult result =
        drillIdAt(LayerInfos, MapLayers, BaseDir, point, queryTolerance(theMap->mapUnitsPerPixel()),
                  [this](int) { LblStatus->repaint(); });
    const SavedPage saved = saveDrillIdResultsPage(result.page, QDir::currentPath());
    if (!saved.saved()) {
        LblStatus->setText(QString());
        ctx_.messages->error(QString(), saved.message());
        return;
    }

    // Each query gets a fresh results window.
    if (results_ && results_->isOpen()) {
        results_->close();
    }
    if (!results_) {
        results_ = new TheBrowserForm(ctx_.frame->mdiArea(), ctx_.makePageView);
        results_->setObjectName(QStringLiteral("TheBrowserForm"));
        // The working text goes once the page shows; a read-out or another text stays.
        connect(results_, &TheBrowserForm::pageShown, this, [this] {
            if (LblStatus->text() == findingLayersText()) {
                LblStatus->clear();
            }
        });
    }
    results_->StartingAddress = saved.path;
    results_->open();
    results_->setOuterSizeTwips(5000, 6000);
    // The page fills the window under the title strip and follows its size.
    results_->setPageMarginsTwips(120, 720, 120, 120);

    double MapLon = 0;
    double MapLat = 0;
    QString position = noPositionText();
    QString caption = position;
    if (projection.AlbersToLatLong(point.x, point.y, MapLon, MapLat)) {
        position = Ddec_to_DMdec(MapLon) + QStringLiteral(", ") + Ddec_to_DMdec(MapLat);
        caption = Ddec_to_DMdec(MapLon) + QLatin1Char(',') + Ddec_to_DMdec(MapLat);
    }
    // The window is titled with the position, as the status line writes it, so that windows of
    // several queries can be told apart; the strip shows the whole heading.
    results_->setFixedCaption(caption);
    results_->setTitle(QStringLiteral("Layers present at:  ") + position);
    results_->setCopyText(projection.AlbersToLatLong(point.x, point.y, MapLon, MapLat)
                              ? positionClipboardText({MapLon, MapLat})
                              : QString());
    // Under the page: the distances to the boundaries of the layers of areas, and where the
    // page went when the map folder could not take it; both readable until the next query.
    results_->setDetails(boundaryDistancesNotice(LayerInfos, MapLayers, point));
    results_->details()->setToolTip(boundaryDistancesHeading());
    results_->setNotice(saved.inFallbackFolder ? saved.message() : QString());
    placeOpenedWindow(results_, 0);
    bringToFront(results_);
    results_->repaint();

    // The features found stay outlined on the map until the next query or change of extent.
    theMap->setHighlight(result.query.features);
}

void Mapform::DoMeasure() {
    theMap->trackLine(lastPress_, [this](std::optional<std::vector<MapPoint>> path) {
        if (!path || path->empty()) {
            return;  // abandoned with Esc: no message
        }
        ctx_.messages->information(QString::fromLatin1(kMeasureTitle), measureMessage(*path));
    });
}

void Mapform::createPrintCommand() {
    PrintSources sources;
    sources.paintMap = [this](QPainter& painter, const QRectF& target) {
        theMap->renderTo(painter, target);
        return true;
    };
    sources.mapScreenSizeInches = [this] {
        return QSizeF(theMap->width() / static_cast<double>(theMap->logicalDpiX()),
                      theMap->height() / static_cast<double>(theMap->logicalDpiY()));
    };
    sources.legendImage = [this] { return legend_ ? legend_->printImage() : QImage(); };
    sources.paintLegend = [this](QPainter& painter, const QRectF& area, int firstRow) {
        return legend_ ? legend_->paintRows(painter, area, firstRow) : -1;
    };
    sources.mapName = QFileInfo(ctx_.theMapFile).fileName();
    std::unique_ptr<PrinterDialog> dialog = ctx_.makePrinterDialog
                                                ? ctx_.makePrinterDialog(this)
                                                : std::make_unique<PrinterDialogQt>(this);
    print_ = std::make_unique<PrintCommand>(std::make_unique<PrinterPlatformLinux>(),
                                            std::move(dialog), std::move(sources));
}

void Mapform::printCurrentExtent() {
    print_->printCurrentExtent();
}

}  // namespace pelagon
