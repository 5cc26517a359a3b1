// The map window's work with positions and views: going to a typed position, copying a position,
// the map's menu and saving the view to a file.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "app/Mapform.h"
#include "app/PositionsController.h"
#include "common/FileWrite.h"
#include "common/MessageSink.h"
#include "geo/PositionText.h"
#include "layout/MapWindowLayout.h"
#include "render/ExportFormat.h"
#include "render/MapDecorations.h"
#include "render/MapExport.h"

namespace pelagon {

namespace {

const char* const kPositionHelp =
    "Go to a position: latitude and longitude as you write them, for example\n"
    "57° 30.2' N, 152° 10.5' W   or   57 30.2N 152 10.5W   or   57.5033 -152.175\n"
    "(Enter goes there and lists the layers present; Ctrl+G comes back here)";

}  // namespace

void Mapform::createPositionControls() {
    txtPosition = new QLineEdit(this);
    txtPosition->setObjectName(QStringLiteral("txtPosition"));
    txtPosition->setPlaceholderText(QStringLiteral("Go to position"));
    txtPosition->setToolTip(QString::fromUtf8(kPositionHelp));
    txtPosition->setClearButtonEnabled(true);
    // After a Go to the keys belong to the map again: Ctrl+C there copies the position gone to
    // (the field would take it for its own text), the arrows pan. A failed Go to leaves the
    // focus in the field to correct the text.
    connect(txtPosition, &QLineEdit::returnPressed, this, [this] {
        if (goToPosition(txtPosition->text())) {
            theMap->setFocus(Qt::OtherFocusReason);
        }
    });
    // Editing the text again takes back the complaint about the last one.
    connect(txtPosition, &QLineEdit::textEdited, this, [this] {
        txtPosition->setToolTip(QString::fromUtf8(kPositionHelp));
        txtPosition->setStyleSheet(QString());
    });

    // Ctrl+C over the map copies the last position pressed or gone to; elsewhere it copies as
    // usual.
    auto* copy = new QShortcut(QKeySequence::Copy, theMap, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] {
        if (lastPosition_) {
            copyPosition(*lastPosition_);
        }
    });
    theMap->installEventFilter(this);
}

void Mapform::focusPositionField() {
    txtPosition->setFocus(Qt::ShortcutFocusReason);
    txtPosition->selectAll();
}

void Mapform::showPositionProblem(const QString& text) {
    txtPosition->setToolTip(text);
    txtPosition->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #c00000; }"));
    statusShowsPosition_ = false;
    LblStatus->setText(text);
    QToolTip::showText(txtPosition->mapToGlobal(QPoint(0, txtPosition->height())), text,
                       txtPosition);
}

bool Mapform::goToPosition(const QString& text) {
    // On the map: placed by the projection inside the layers' full extent.
    const MapRect full = theMap->fullExtent();
    const PositionParse parsed = parsePositionForMap(text, [&](const GeoPosition& g) {
        MapPoint at;
        return projection.LatLongToAlbers(g.lon, g.lat, at.x, at.y) && full.contains(at);
    });
    if (!parsed.ok()) {
        showPositionProblem(parsed.error);
        return false;
    }
    MapPoint point;
    if (!projection.LatLongToAlbers(parsed.position->lon, parsed.position->lat, point.x, point.y)) {
        showPositionProblem(QStringLiteral("The position %1 is outside the map's projection.")
                                .arg(positionHemisphereText(*parsed.position)));
        return false;
    }
    txtPosition->setToolTip(QString::fromUtf8(kPositionHelp));
    txtPosition->setStyleSheet(QString());

    pushExtent();
    // About kGoToAcrossNm nautical miles across the shorter side, measured along the parallel;
    // a view that already shows less keeps its scale.
    const MapRect shown = theMap->extent();
    const double k = parallelScale(projection, point).value_or(1.0);
    const double across = kGoToAcrossNm * kMetresPerNauticalMile * k;
    const double shorter = std::min(shown.width(), shown.height());
    const double factor = shorter > across ? across / shorter : 1.0;
    const double halfWidth = shown.width() * factor / 2;
    const double halfHeight = shown.height() * factor / 2;
    theMap->setExtent(
        {point.x - halfWidth, point.x + halfWidth, point.y - halfHeight, point.y + halfHeight});
    theMap->setMarker(point);
    positions_->clearMark();  // one mark on the map at a time
    lastPosition_ = point;
    queryAtPoint(point);
    return true;
}

bool Mapform::copyPosition(MapPoint point) {
    double lon = 0;
    double lat = 0;
    if (!projection.AlbersToLatLong(point.x, point.y, lon, lat)) {
        statusShowsPosition_ = false;
        LblStatus->setText(noPositionText());
        return false;
    }
    QGuiApplication::clipboard()->setText(positionClipboardText({lon, lat}));
    statusShowsPosition_ = false;
    LblStatus->setText(QStringLiteral("Copied: ") + positionHemisphereText({lon, lat}));
    return true;
}

void Mapform::showMapMenu(QPoint globalPos, QPointF mapPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mapMenu"));
    const MapPoint point = theMap->toMapPoint(mapPos);
    QAction* copy = menu.addAction(QStringLiteral("Copy position"), this,
                                   [this, point] { copyPosition(point); });
    double lon = 0;
    double lat = 0;
    copy->setEnabled(projection.AlbersToLatLong(point.x, point.y, lon, lat));
    menu.addSeparator();
    QAction* scaleBar = menu.addAction(QStringLiteral("Scale bar"));
    scaleBar->setCheckable(true);
    scaleBar->setChecked(theMap->decorations().scaleBar);
    connect(scaleBar, &QAction::toggled, this, [this](bool on) { setScaleBarShown(on); });
    QAction* graticule = menu.addAction(QStringLiteral("Graticule"));
    graticule->setCheckable(true);
    graticule->setChecked(theMap->decorations().graticule);
    connect(graticule, &QAction::toggled, this, [this](bool on) { setGraticuleShown(on); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Save view as…"), this, [this] { saveViewAs(); });
    menu.exec(globalPos);
}

QString Mapform::saveViewTo(const QString& path, int width) {
    const std::optional<ExportFormat> format = exportFormatForPath(path);
    QString problem;
    if (!format) {
        problem = QStringLiteral(
                      "The view cannot be saved as %1: the file's extension names no "
                      "supported format; use one of %2.")
                      .arg(QFileInfo(path).fileName(), exportFormatList());
    } else {
        QSize size = theMap->size();
        if (width > 0 && !isVectorFormat(*format) && size.width() > 0) {
            size = QSize(width,
                         std::max(1, static_cast<int>(std::lround(static_cast<double>(width) *
                                                                  size.height() / size.width()))));
        }
        const ExportedView view = exportView(
            [this](QPainter& painter, const QSizeF& surface) {
                // A view wider than the screen's has its scale bar and graticule as large
                // relative to the map as on screen.
                theMap->renderTo(painter, QRectF(QPointF(0, 0), surface),
                                 outputDecorationScale(surface, QSizeF(theMap->size())));
                // The view holds the map without the legend window: the classes of a shading
                // go on the map.
                if (positions_ != nullptr && positions_->shading()) {
                    paintShadeLegend(painter, surface, *positions_->shading());
                }
            },
            size, *format, QStringLiteral("Dudadiruz Pelagon"));
        problem = view.ok() ? writeFileAtomically(path, view.bytes) : view.error;
    }
    if (!problem.isEmpty()) {
        ctx_.messages->error(QString(), problem);
        return problem;
    }
    statusShowsPosition_ = false;
    LblStatus->setText(QStringLiteral("Saved: ") + QFileInfo(path).fileName());
    return {};
}

void Mapform::saveViewAs() {
    QStringList filters;
    for (const ExportFormat f : exportFormats()) {
        QStringList globs;
        for (const QString& suffix : exportFormatSuffixes(f)) {
            globs << QStringLiteral("*.") + suffix;
        }
        filters << QStringLiteral("%1 (%2)").arg(exportFormatName(f), globs.join(QLatin1Char(' ')));
    }
    QString chosenFilter = filters.front();
    const QString start = QFileInfo(ctx_.theMapFile).completeBaseName() + QStringLiteral(".png");
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save view as"), start,
                                                filters.join(QStringLiteral(";;")), &chosenFilter);
    if (path.isEmpty()) {
        return;
    }
    // A name without an extension takes that of the chosen type.
    if (!exportFormatForPath(path)) {
        const int k = static_cast<int>(filters.indexOf(chosenFilter));
        if (k >= 0 && QFileInfo(path).suffix().isEmpty()) {
            path += QLatin1Char('.') + exportFormatSuffixes(exportFormats().at(k)).front();
        }
    }
    int width = 0;
    if (const std::optional<ExportFormat> f = exportFormatForPath(path); f && !isVectorFormat(*f)) {
        bool ok = false;
        width = QInputDialog::getInt(this, QStringLiteral("Save view as"),
                                     QStringLiteral("Width of the image in pixels:"),
                                     theMap->width(), 16, 20000, 100, &ok);
        if (!ok) {
            return;
        }
    }
    saveViewTo(path, width);
}

}  // namespace pelagon
