#include "app/PositionsController.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMimeData>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <limits>
#include <optional>
#include <utility>

#include "app/Mapform.h"
#include "app/PositionsWindow.h"
#include "app/TheMDIform.h"
#include "app/TimeBar.h"
#include "app/VisitsWindow.h"
#include "common/FileWrite.h"
#include "common/MessageSink.h"
#include "query/LayerQuery.h"
#include "query/PositionSet.h"

namespace pelagon {

// One file being read: what the loading thread and the window share.
struct PositionsController::Task {
    QString path;
    std::atomic<double> progress{0};
    std::atomic<bool> cancel{false};
    PositionSetLoad result;  // written by the loading thread before it reports back
    std::shared_ptr<std::vector<qint64>> times;  // the positions' times, sorted (same thread)
    std::shared_ptr<const TrackPicture::Prepared> tracks;  // for drawing (same thread)
    std::optional<MapRect> placed;  // the box of the positions on the map (same thread)
};

PositionsController::PositionsController(Mapform& map, MessageSink& messages)
    : QObject(&map), map_(map), messages_(messages) {
    map_.theMap->addOverlay(&overlay_);
    timeBar_ = new TimeBar(&map_);
    timeBar_->hide();
    timeBar_->setFrameReady([this] { return !map_.theMap->isRendering(); });
    connect(timeBar_, &TimeBar::cutChanged, this, [this] {
        if (overlay_.timeCut() != timeBar_->cut()) {
            overlay_.setTimeCut(timeBar_->cut());
            map_.theMap->refreshPictures();
            map_.theMap->update();
        }
    });
    map_.theMap->setAcceptDrops(true);
    map_.theMap->installEventFilter(this);
}

PositionsController::~PositionsController() {
    for (const std::shared_ptr<Task>& task : running_) {
        task->cancel = true;
    }
    // The windows go without telling this controller, which is going too.
    const QList<QPointer<PositionsWindow>> windows = std::exchange(windows_, {});
    for (const QPointer<PositionsWindow>& window : windows) {
        if (window) {
            window->disconnect(this);
            delete window.data();
        }
    }
    map_.theMap->removeOverlay(&overlay_);
    takeShadingOff();
}

QList<PositionsWindow*> PositionsController::windows() const {
    QList<PositionsWindow*> open;
    for (const QPointer<PositionsWindow>& window : windows_) {
        if (window) {
            open.append(window);
        }
    }
    return open;
}

double PositionsController::fullExtentTolerance() const {
    const Viewport full(QSizeF(map_.theMap->size()), map_.theMap->fullExtent());
    return queryTolerance(full.isValid() ? full.mapUnitsPerPixel() : 0.0);
}

void PositionsController::openDialog() {
    const QString folder = lastFolder_.isEmpty() ? QDir::homePath() : lastFolder_;
    const QString path = QFileDialog::getOpenFileName(
        map_.window(), QStringLiteral("Open positions"), folder,
        QStringLiteral("Positions (*.csv *.txt *.gpx);;CSV files (*.csv *.txt);;GPX files "
                       "(*.gpx);;All files (*)"));
    if (!path.isEmpty()) {
        openFile(path);
    }
}

void PositionsController::openFile(const QString& path) {
    lastFolder_ = QFileInfo(path).absolutePath();
    auto* window = new PositionsWindow(path);
    QMdiArea* area = map_.subWindow() != nullptr ? map_.subWindow()->mdiArea() : nullptr;
    if (area != nullptr) {
        area->addSubWindow(window);
    }
    // A child window like the results windows: the map window stays beneath the others, so a
    // click on the map leaves it in view, and the Window menu brings it back when it is covered.
    windows_.append(window);
    placeWindow(window);
    window->show();
    window->raise();

    auto task = std::make_shared<Task>();
    task->path = path;
    running_.push_back(task);
    auto* timer = new QTimer(window);
    timer->setInterval(100);
    connect(timer, &QTimer::timeout, window,
            [window, task] { window->showProgress(task->progress.load()); });
    timer->start();

    // The loading thread works on its own copies: the layers' stores are shared and immutable.
    PositionQuery::Options options;
    options.tolerance = fullExtentTolerance();
    options.distances = true;
    const QVector<LayerInfo> infos = map_.LayerInfos;
    const std::vector<std::shared_ptr<MapLayer>> layers = map_.MapLayers;
    const std::optional<AlbersProjection> projection =
        map_.projection.ConeN != 0 ? std::optional(map_.projection) : std::nullopt;
    QPointer<PositionsController> self(this);
    QPointer<PositionsWindow> shownIn(window);
    QThreadPool::globalInstance()->start([=] {
        task->result =
            loadPositionSet(task->path, infos, layers, projection ? &*projection : nullptr, options,
                            &task->progress, &task->cancel);
        if (task->result.set) {
            task->times = std::make_shared<std::vector<qint64>>();
            for (const PositionSet::Row& row : task->result.set->rows) {
                if (row.placed && row.timeMs) {
                    task->times->push_back(*row.timeMs);
                }
                if (row.placed) {
                    if (!task->placed) {
                        task->placed = MapRect{row.xy.x, row.xy.x, row.xy.y, row.xy.y};
                    }
                    MapRect& box = *task->placed;
                    box.left = std::min(box.left, row.xy.x);
                    box.right = std::max(box.right, row.xy.x);
                    box.bottom = std::min(box.bottom, row.xy.y);
                    box.top = std::max(box.top, row.xy.y);
                }
            }
            std::sort(task->times->begin(), task->times->end());
            task->tracks = TrackPicture::Prepared::of(*task->result.set);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, shownIn, task] {
                if (self) {
                    self->finished(shownIn, task);
                }
            },
            Qt::QueuedConnection);
    });
}

void PositionsController::finished(QPointer<PositionsWindow> window, std::shared_ptr<Task> task) {
    std::erase(running_, task);
    if (!window) {
        return;  // closed while the file was read
    }
    const PositionSetLoad& result = task->result;
    if (!result.set) {
        windows_.removeAll(window);
        window->close();
        if (!result.error.isEmpty()) {
            messages_.error(QString(), result.error);
        }
        emit fileShown(task->path, false);
        return;
    }
    std::shared_ptr<const PositionSet> set = result.set;
    const int firstColour = nextColour_;
    nextColour_ += std::max<int>(1, static_cast<int>(set->vessels.size()));
    overlay_.add(set, firstColour, task->tracks);
    window->showPositions(set, firstColour);

    connect(window, &PositionsWindow::rowChosen, this,
            [this, set](int row) { chooseRow(set, row); });
    connect(window, &PositionsWindow::rowActivated, this, [this, set](int row) {
        const PositionSet::Row& r = set->rows[static_cast<std::size_t>(row)];
        if (r.placed) {
            map_.queryAtPoint(r.xy);
        }
    });
    connect(window, &PositionsWindow::exportRequested, this,
            [this, window = window.data(), set] { exportTable(window, set); });
    connect(window, &PositionsWindow::visitsRequested, this, [this, set] { openVisits(set); });
    connect(window, &PositionsWindow::shadeRequested, this,
            [this, window = window.data(), set] { shadeDialog(window, set); });
    connect(window, &PositionsWindow::clearShadeRequested, this, [this] { clearShading(); });
    connect(window, &PositionsWindow::aboutToBeDestroyed, this,
            [this, raw = set.get(), gone = window.data()] {
        windows_.removeAll(gone);
        for (auto& [of, visits] : visits_) {
            if (of == raw && visits) {
                visits->close();
            }
        }
        std::erase_if(visits_, [raw](const auto& v) { return v.first == raw; });
        if (shadeSet_ == raw) {
            clearShading();
        }
        overlay_.remove(raw);
        std::erase_if(times_, [raw](const auto& t) { return t.first == raw; });
        updateTimes();
        map_.theMap->refresh();
    });
    times_.emplace_back(set.get(), task->times);
    updateTimes();

    // Positions out of sight are brought into view: the box was found while the file was read,
    // and a position in view is usually among the first looked at.
    if (const std::optional<MapRect>& box = task->placed) {
        const MapRect shown = map_.theMap->extent();
        const auto inView = [&](MapPoint p) {
            return p.x >= shown.left && p.x <= shown.right && p.y >= shown.bottom &&
                   p.y <= shown.top;
        };
        const bool anyVisible = std::any_of(
            task->tracks->vessels.begin(), task->tracks->vessels.end(),
            [&](const TrackPicture::Prepared::Vessel& v) {
                return std::any_of(v.xy.begin(), v.xy.end(), inView);
            });
        if (!anyVisible) {
            const double margin =
                std::max({box->right - box->left, box->top - box->bottom, 2000.0}) / 10;
            map_.pushExtent();
            map_.theMap->setExtent({box->left - margin, box->right + margin,
                                    box->bottom - margin, box->top + margin});
        }
        keepPositionsInSight(window, *box);
    }
    map_.theMap->refresh();
    emit fileShown(task->path, true);
}

void PositionsController::chooseRow(const std::shared_ptr<const PositionSet>& set, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= set->rows.size()) {
        return;
    }
    overlay_.setMark(set.get(), row);
    // One mark on the map at a time: the chosen row's takes the place of a position gone to.
    map_.theMap->setMarker(std::nullopt);
    const PositionSet::Row& r = set->rows[static_cast<std::size_t>(row)];
    if (r.placed) {
        centreOn(r.xy);
    }
    map_.theMap->update();
}

void PositionsController::centreOn(MapPoint point) {
    // Going from row to row is one step of navigation: the extent before the first is kept.
    const MapRect now = map_.theMap->extent();
    if (!centred_ || !(*centred_ == now)) {
        map_.pushExtent();
    }
    const double halfWidth = now.width() / 2;
    const double halfHeight = now.height() / 2;
    map_.theMap->setExtent(
        {point.x - halfWidth, point.x + halfWidth, point.y - halfHeight, point.y + halfHeight});
    centred_ = map_.theMap->extent();
}

QList<VisitsWindow*> PositionsController::visitsWindows() const {
    QList<VisitsWindow*> open;
    for (const auto& [set, window] : visits_) {
        if (window) {
            open.append(window);
        }
    }
    return open;
}

VisitsWindow* PositionsController::openVisits(const std::shared_ptr<const PositionSet>& set) {
    for (const auto& [of, window] : visits_) {
        if (of == set.get() && window) {
            window->show();
            window->raise();
            return window;
        }
    }
    auto* window = new VisitsWindow(set->path);
    QMdiArea* area = map_.subWindow() != nullptr ? map_.subWindow()->mdiArea() : nullptr;
    if (area != nullptr) {
        area->addSubWindow(window);
        // Shown first, so that its least size is that of its laid-out, styled contents.
        window->show();
        // In a corner of the map, clear of the Positions windows and the scale bar, leaving the
        // positions in sight where it can (see placeClear).
        const QRect inside = mapArea(area);
        QList<QRect> windowsAndBar;
        for (const PositionsWindow* other : windows()) {
            if (other->isVisible()) {
                windowsAndBar.append(other->geometry());
            }
        }
        if (const std::optional<QRect> bar = scaleBarInArea(area)) {
            windowsAndBar.append(*bar);
        }
        std::optional<MapRect> box;
        for (const PositionSet::Row& row : set->rows) {
            if (row.placed) {
                box = box ? MapRect{std::min(box->left, row.xy.x), std::max(box->right, row.xy.x),
                                    std::min(box->bottom, row.xy.y), std::max(box->top, row.xy.y)}
                          : MapRect{row.xy.x, row.xy.x, row.xy.y, row.xy.y};
            }
        }
        const QRect placed =
            placeClear(inside,
                       QSize(std::max({inside.width() / 2, std::min(360, inside.width()),
                                       window->minimumSizeHint().width()}),
                             std::max(inside.height() / 3, window->minimumSizeHint().height())),
                       window->minimumSizeHint().width(), windowsAndBar,
                       box ? onScreen(area, *box) & inside : QRect());
        window->resize(placed.size());
        window->move(placed.topLeft());
    }
    visits_.emplace_back(set.get(), window);
    window->show();
    window->raise();
    const std::vector<std::shared_ptr<MapLayer>> layers = map_.MapLayers;
    const std::optional<AlbersProjection> projection =
        map_.projection.ConeN != 0 ? std::optional(map_.projection) : std::nullopt;
    QPointer<PositionsController> self(this);
    QPointer<VisitsWindow> shownIn(window);
    QThreadPool::globalInstance()->start([=] {
        std::shared_ptr<const VisitRows> rows =
            computeVisitRows(*set, layers, projection ? &*projection : nullptr);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, shownIn, set, rows] {
                if (!self || !shownIn) {
                    return;
                }
                VisitsWindow* w = shownIn.data();
                w->showRows(rows);
                connect(w, &VisitsWindow::visitChosen, self.data(),
                        [c = self.data(), set, rows](int row) { c->chooseVisit(set, *rows, row); });
                connect(w, &VisitsWindow::visitActivated, self.data(), [c = self.data(), rows](int row) {
                    c->map_.queryAtPoint(rows->visits[static_cast<std::size_t>(row)].enterXy);
                });
                connect(w, &VisitsWindow::exportRequested, self.data(), [c = self.data(), w, set, rows] {
                    const QFileInfo source(set->path);
                    const QString path = QFileDialog::getSaveFileName(
                        w, QStringLiteral("Export CSV"),
                        QDir(source.absolutePath())
                            .filePath(source.completeBaseName() + QStringLiteral("-visits.csv")),
                        QStringLiteral("CSV files (*.csv)"));
                    if (!path.isEmpty()) {
                        if (const QString problem = writeFileAtomically(path, rows->csv);
                            !problem.isEmpty()) {
                            c->messages_.error(QString(), problem);
                        }
                    }
                });
                connect(w, &QObject::destroyed, self.data(), [c = self.data()] {
                    c->overlay_.setVisitMark({});
                    c->map_.theMap->update();
                });
                emit self->visitsShown(set->path);
            },
            Qt::QueuedConnection);
    });
    return window;
}

void PositionsController::chooseVisit(const std::shared_ptr<const PositionSet>& set,
                                      const VisitRows& rows, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows.visits.size()) {
        return;
    }
    const tracks::Visit& v = rows.visits[static_cast<std::size_t>(row)];
    overlay_.setVisitMark({set.get(), v.vessel, v.enterMs, v.exitMs, v.enterXy, v.exitXy,
                           rows.document[static_cast<std::size_t>(row)] != 0});
    overlay_.setMark(nullptr, -1);
    map_.theMap->setMarker(std::nullopt);
    timeBar_->setTime(v.enterMs);
    centreOn(v.enterXy);
    map_.theMap->update();
}

void PositionsController::updateTimes() {
    std::vector<TimeBar::Times> times;
    for (const auto& [set, t] : times_) {
        times.push_back(t);
    }
    timeBar_->setTimes(std::move(times));
    if (timeBar_->isHidden() == timeBar_->hasTimes()) {
        timeBar_->setVisible(timeBar_->hasTimes());
        map_.ArrangeMapWindow();
        // Windows at the bottom of the map stay clear of the bar that now takes its place.
        for (PositionsWindow* window : windows()) {
            if (QMdiArea* area = window->mdiArea(); area != nullptr && timeBar_->hasTimes()) {
                const QRect inside = mapArea(area);
                if (window->geometry().bottom() > inside.bottom()) {
                    window->move(window->x(), std::max(inside.top(), inside.bottom() + 1 -
                                                                        window->height()));
                }
            }
        }
    }
}

void PositionsController::clearMark() {
    overlay_.setMark(nullptr, -1);
    map_.theMap->update();
}

void PositionsController::exportTable(PositionsWindow* window,
                                      const std::shared_ptr<const PositionSet>& set) {
    const QFileInfo source(set->path);
    const QString suggested =
        QDir(lastFolder_.isEmpty() ? source.absolutePath() : lastFolder_)
            .filePath(source.completeBaseName() + QStringLiteral("-areas.csv"));
    const QString path = QFileDialog::getSaveFileName(
        window, QStringLiteral("Export CSV"), suggested, QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    if (const QString problem = writeFileAtomically(path, set->table()); !problem.isEmpty()) {
        messages_.error(QString(), problem);
    }
}

QStringList PositionsController::localFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
            files.append(url.toLocalFile());
        }
    }
    return files;
}

bool PositionsController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == map_.theMap) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDragMoveEvent*>(event);
                if (!localFiles(drag->mimeData()).isEmpty()) {
                    drag->acceptProposedAction();
                    return true;
                }
                break;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const QStringList files = localFiles(drop->mimeData());
                if (!files.isEmpty()) {
                    drop->acceptProposedAction();
                    for (const QString& file : files) {
                        openFile(file);
                    }
                    return true;
                }
                break;
            }
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pelagon
