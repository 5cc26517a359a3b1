// Positions files in the viewer: the File menu, dropping a file on the map, the tracks drawn over
// the map, the Positions window and what its rows do, and files that cannot be used.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegion>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QUrl>

#include <atomic>
#include <cmath>
#include <limits>

#include "app/FileMenu.h"
#include "app/MapWindowFixture.h"
#include "app/AppController.h"
#include "app/PositionsController.h"
#include "app/PositionsOverlay.h"
#include "app/TrackPicture.h"
#include "app/PositionsWindow.h"
#include "app/VisitsWindow.h"
#include "positions/Csv.h"
#include "geo/AngleText.h"
#include "query/PositionSet.h"
#include "render/Viewport.h"
#include "reports/TheBrowserForm.h"

using namespace pelagon;

namespace {

class PositionsViewerTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        open();
        // At sea east of the Marmot Island rookery, inside its trawl closure (a document layer).
        marmot = {126009.277 + 4500, 913108.001};
    }

    // A track of two vessels in degrees: Aurora steams east past Marmot Island (its positions
    // given out of time order), Borealis lies far to the west.
    QString writeTrack() {
        QByteArray csv = "id,vessel,time,lon,lat\n";
        for (int i = 0; i < 6; ++i) {
            const MapPoint p{marmot.x - 15000 + i * 6000, marmot.y};
            double lon = 0, lat = 0;
            EXPECT_TRUE(map->projection.AlbersToLatLong(p.x, p.y, lon, lat));
            csv += "A" + QByteArray::number(i) + ",Aurora,2024-05-01T0" +
                   QByteArray::number(9 - i) + ":00:00Z," + QByteArray::number(lon, 'f', 8) + "," +
                   QByteArray::number(lat, 'f', 8) + "\n";
        }
        csv += "B1,Borealis,2024-05-01T06:00:00Z,-170.5,52.5\n";
        csv += "B2,Borealis,2024-05-01T07:00:00Z,-170.0,52.6\n";
        csv += "broken,Borealis,soon,-170\n";
        csv += "B3,Borealis,soon,-169.5,52.7\n";
        writeFile("track.csv", csv);
        return sample.folder() + "/track.csv";
    }

    PositionsWindow* openAndWait(const QString& path) {
        QSignalSpy shown(map->positions(), &PositionsController::fileShown);
        map->positions()->openFile(path);
        EXPECT_TRUE(shown.wait(20000)) << path.toStdString();
        const QList<PositionsWindow*> windows = map->positions()->windows();
        return windows.isEmpty() ? nullptr : windows.last();
    }

    int rowOfId(PositionsWindow* window, const QString& id) {
        PositionsModel* model = window->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->data(model->index(r, PositionsModel::IdColumn), Qt::DisplayRole) == id) {
                return model->fileRow(r);
            }
        }
        return -1;
    }

    MapPoint marmot;
};

TEST_F(PositionsViewerTest, TheFileMenuOpensPositions) {
    QAction* action = controller->fileMenu()->openPositionsAction();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "Open &positions…");
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    EXPECT_TRUE(controller->fileMenu()->menu()->actions().contains(action));
}

TEST_F(PositionsViewerTest, WindowListsEveryPositionWithTheFishToolsAnswers) {
    PositionsWindow* window = openAndWait(writeTrack());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->progressBar()->isHidden());
    EXPECT_TRUE(window->exportButton()->isEnabled());
    PositionsModel* model = window->model();
    ASSERT_EQ(model->rowCount(), 9);
    // Id, vessel, time, position; 9 queryable layers; 7 of them hold areas.
    ASSERT_EQ(model->columnCount(), 4 + 9 + 7);
    EXPECT_EQ(model->headerData(4, Qt::Horizontal, Qt::DisplayRole), "Statistical areas");
    EXPECT_EQ(model->headerData(13, Qt::Horizontal, Qt::DisplayRole),
              "Statistical areas (distance)");
    EXPECT_EQ(window->summary()->text(),
              "track.csv: 9 positions, 2 vessels; 1 row could not be read and is left out");
    EXPECT_EQ(window->problems()->text(),
              "line 10: it has 4 fields where 5 are needed\n"
              "line 11: the time 'soon' is not an ISO 8601 date and time; the position is kept "
              "without it");
    // Every heading and cell shows whole, up to the widest a column is made.
    for (int c = 0; c < model->columnCount(); ++c) {
        QTableView* table = window->table();
        int widest = table->horizontalHeader()->sectionSizeHint(c);
        for (int r = 0; r < model->rowCount(); ++r) {
            widest = std::max(widest, table->sizeHintForIndex(model->index(r, c)).width());
        }
        EXPECT_GE(table->columnWidth(c), std::min(widest, 320)) << "column " << c;
    }

    // The position in the closure: its answers as the Fish Tool gives them, its distances.
    const int a3 = rowOfId(window, "A3");
    ASSERT_GE(a3, 0);
    const auto cell = [&](int row, int column) {
        return model->data(model->index(row, column), Qt::DisplayRole).toString();
    };
    const PositionSet::Row& row = model->positions()->rows[static_cast<std::size_t>(a3)];
    EXPECT_EQ(cell(a3, PositionsModel::PositionColumn),
              Ddec_to_DMdec(row.lonLat->x) + ", " + Ddec_to_DMdec(row.lonLat->y));
    EXPECT_EQ(cell(a3, 4 + 5), "docs\\TrawlClosures.pdf");
    EXPECT_TRUE(row.inDocumentArea);
    EXPECT_TRUE(cell(a3, 13 + 5).contains(" nm inside")) << cell(a3, 13 + 5).toStdString();
    EXPECT_EQ(cell(a3, PositionsModel::VesselColumn), "Aurora");

    // Aurora's track runs in time order, the reverse of the file's.
    const PositionSet& set = *model->positions();
    ASSERT_EQ(set.tracks.size(), 2u);
    EXPECT_EQ(set.tracks[0], (std::vector<int>{5, 4, 3, 2, 1, 0}));

    // Sorting the distance column orders the rows by the signed distance.
    window->table()->sortByColumn(13 + 5, Qt::AscendingOrder);
    double previous = -1e300;
    for (int r = 0; r < model->rowCount(); ++r) {
        const QModelIndex shown = window->table()->model()->index(r, 0);
        const int source = rowOfId(window, shown.data().toString());
        const PositionQuery::Distance d = set.distancesOf(static_cast<std::size_t>(source))[5];
        const double key = d.area == PositionQuery::kNothing ? -1e299 : d.metres;
        EXPECT_GE(key, previous);
        previous = key;
    }
}

TEST_F(PositionsViewerTest, TracksAreDrawnOverTheMap) {
    canvas->setExtent({marmot.x - 30000, marmot.x + 30000, marmot.y - 30000, marmot.y + 30000});
    PositionsWindow* window = openAndWait(writeTrack());
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(map->positions()->overlay().empty());
    QTRY_VERIFY_WITH_TIMEOUT(!canvas->isRendering(), 5000);
    const QImage image = canvas->grab().toImage();
    // A red ring round the position in the closure, the vessel's colour at its centre.
    const PositionSet& set = *window->model()->positions();
    const PositionSet::Row& row = set.rows[static_cast<std::size_t>(rowOfId(window, "A3"))];
    const QPoint centre = canvas->toWindowPoint(row.xy).toPoint();
    const QColor aurora = PositionsOverlay::vesselColour(0);
    EXPECT_LT(std::abs(image.pixelColor(centre).hue() - aurora.hue()), 8);
    bool ring = false;
    for (int dx = 3; dx <= 7; ++dx) {
        const QColor c = image.pixelColor(centre + QPoint(dx, 0));
        ring = ring || (c.red() > 180 && c.green() < 60 && c.blue() < 60);
    }
    EXPECT_TRUE(ring);
    // The line between two positions in the vessel's colour.
    const QPoint between = (centre + canvas->toWindowPoint(set.rows[2].xy).toPoint()) / 2;
    bool line = false;
    for (int dy = -1; dy <= 1; ++dy) {
        const QColor c = image.pixelColor(between + QPoint(0, dy));
        line = line || (std::abs(c.hue() - aurora.hue()) < 10 && c.saturation() > 150);
    }
    EXPECT_TRUE(line);

    // Closing the window takes the positions off the map.
    window->close();
    QTRY_VERIFY(map->positions()->windows().isEmpty());
    EXPECT_TRUE(map->positions()->overlay().empty());
}

// A Positions window placed over the positions it lists moves to the top of the frame, where it
// leaves them in sight.
TEST_F(PositionsViewerTest, TheWindowLeavesThePositionsInSight) {
    // Aurora's positions near the bottom of the map, where the window is placed first.
    canvas->setExtent({marmot.x - 60000, marmot.x + 60000, marmot.y - 8000, marmot.y + 112000});
    PositionsWindow* window = openAndWait(writeTrack());
    ASSERT_NE(window, nullptr);
    QMdiArea* area = window->mdiArea();
    ASSERT_NE(area, nullptr);
    QRect box;
    for (const PositionSet::Row& row : window->model()->positions()->rows) {
        if (row.placed && row.vessel == "Aurora") {
            const QPoint p =
                canvas->mapTo(area->viewport(), canvas->toWindowPoint(row.xy).toPoint());
            box = box.isNull() ? QRect(p, QSize(1, 1)) : box.united(QRect(p, QSize(1, 1)));
        }
    }
    ASSERT_FALSE(box.isEmpty());
    EXPECT_FALSE(window->geometry().intersects(box))
        << window->geometry().y() << " " << box.y() << " " << box.bottom();
    // Activating the map window (a click on the map) leaves the window above it.
    area->setActiveSubWindow(map->subWindow());
    // Siblings are stacked in the order of their parent's children, the last on top.
    const QObjectList stack = area->viewport()->children();
    EXPECT_GT(stack.indexOf(window), stack.indexOf(map->subWindow()));
    EXPECT_TRUE(window->isVisible());
}

struct PlaceCase {
    const char* name;
    QList<QRect> keep;
    QRect positions;
    QRect placed;
};

// A window of 300 x 200 placed on a map of 1000 x 600: in the first corner that covers nothing,
// narrowed to clear a window beside it while it keeps its least width of 250, else where it
// covers least of the windows and the positions.
TEST(PlaceClear, TakesTheCornerThatCoversLeast) {
    const QRect inside(0, 0, 1000, 600);
    const PlaceCase cases[] = {
        {"nothing in the way", {}, QRect(), QRect(0, 0, 300, 200)},
        {"a window 250 px right of the corner", {QRect(250, 0, 400, 100)}, QRect(),
         QRect(0, 0, 250, 200)},
        {"a window 249 px right of the corner", {QRect(249, 0, 400, 100)}, QRect(),
         QRect(0, 400, 300, 200)},
        {"windows across the top, the positions lower left",
         {QRect(200, 0, 800, 100)},
         QRect(0, 300, 400, 300),
         QRect(700, 400, 300, 200)},
        {"a window's edge covered rather than the positions",
         {QRect(240, 0, 400, 100), QRect(0, 500, 300, 100)},
         QRect(700, 0, 300, 600),
         QRect(0, 0, 300, 200)},
        {"every corner covered, the lower right least",
         {QRect(0, 0, 1000, 150), QRect(0, 450, 600, 150), QRect(760, 500, 240, 100)},
         QRect(),
         QRect(700, 400, 300, 200)},
    };
    for (const PlaceCase& c : cases) {
        EXPECT_EQ(placeClear(inside, QSize(300, 200), 250, c.keep, c.positions), c.placed)
            << c.name;
    }
}

// Positions windows are child windows like the others, not always on top, and leave the map in
// view: two of them cover at most a quarter of it, and neither the lower left corner where the
// scale bar is; the Visits window opened then covers neither of them.
TEST_F(PositionsViewerTest, WindowsLeaveTheMapAndItsScaleBarInView) {
    const QString track = writeTrack();
    ASSERT_NE(openAndWait(track), nullptr);
    ASSERT_NE(openAndWait(track), nullptr);
    const QList<PositionsWindow*> windows = map->positions()->windows();
    ASSERT_EQ(windows.size(), 2);
    QSignalSpy visitsShown(map->positions(), &PositionsController::visitsShown);
    VisitsWindow* visitsWindow = map->positions()->openVisits(windows[0]->model()->positions());
    const QRect visits = visitsWindow->geometry();
    EXPECT_GE(visits.height(), visitsWindow->minimumSizeHint().height());
    // At its least size it still shows three rows.
    ASSERT_TRUE(visitsShown.wait(20000));
    visitsWindow->resize(visitsWindow->minimumSizeHint());
    QApplication::processEvents();
    EXPECT_GE(visitsWindow->table()->viewport()->height(), 3 * visitsWindow->table()->rowHeight(0));
    QMdiArea* area = windows[0]->mdiArea();
    const QRect mapRect(canvas->mapTo(area->viewport(), QPoint(0, 0)), canvas->size());
    const QRect scaleCorner(mapRect.left(), mapRect.center().y(), mapRect.width() / 2,
                            mapRect.height() / 2);
    QRegion covered;
    for (PositionsWindow* window : windows) {
        EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(mapRect.contains(window->geometry()));
        EXPECT_FALSE(window->geometry().intersects(scaleCorner));
        EXPECT_FALSE(window->geometry().intersects(visits));
        covered += window->geometry();
    }
    qint64 coveredArea = 0;
    for (const QRect& r : covered) {
        coveredArea += qint64(r.width()) * r.height();
    }
    EXPECT_LE(coveredArea * 4, qint64(mapRect.width()) * mapRect.height());

    // However narrow the window, every button shows whole (on two rows where one is too narrow)
    // and the table shows three rows; wide, the buttons take one row.
    for (const int width : {0, 960}) {
        PositionsWindow* window = windows[0];
        if (width > 0) {
            window->resize(width, window->height());
        }
        QApplication::processEvents();
        const QRect body = window->widget()->rect();
        QSet<int> rows;
        for (QPushButton* button : {window->visitsButton(), window->shadeButton(),
                                    window->clearShadeButton(), window->exportButton()}) {
            EXPECT_TRUE(body.contains(button->geometry())) << width;
            EXPECT_GE(button->width(), button->sizeHint().width()) << width;
            rows.insert(button->y());
        }
        EXPECT_EQ(rows.size(), width > 0 ? 1 : 2);
        EXPECT_GE(window->table()->viewport()->height(),
                  3 * window->table()->verticalHeader()->defaultSectionSize());
    }
}

TEST_F(PositionsViewerTest, ChoosingARowCentresTheMapAndADoubleClickQueries) {
    PositionsWindow* window = openAndWait(writeTrack());
    ASSERT_NE(window, nullptr);
    const PositionSet& set = *window->model()->positions();
    const int before = static_cast<int>(map->extentHistory.size());
    for (const QString id : {"A1", "B2"}) {
        const int r = rowOfId(window, id);
        window->selectRow(r);
        const MapPoint centre = canvas->extent().center();
        EXPECT_NEAR(centre.x, set.rows[static_cast<std::size_t>(r)].xy.x, 1.0);
        EXPECT_NEAR(centre.y, set.rows[static_cast<std::size_t>(r)].xy.y, 1.0);
    }
    // Going from row to row is one navigation step.
    EXPECT_EQ(static_cast<int>(map->extentHistory.size()), before + 1);

    const int a3 = rowOfId(window, "A3");
    window->selectRow(a3);
    const QModelIndex current = window->table()->currentIndex();
    ASSERT_TRUE(current.isValid());
    emit window->table()->doubleClicked(current);
    TheBrowserForm* results = map->resultsWindow();
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(results->isOpen());
    const PositionSet::Row& row = set.rows[static_cast<std::size_t>(a3)];
    double lon = 0, lat = 0;
    ASSERT_TRUE(map->projection.AlbersToLatLong(row.xy.x, row.xy.y, lon, lat));
    EXPECT_EQ(results->DrillIDtitle()->text(),
              "Layers present at:  " + Ddec_to_DMdec(lon) + ", " + Ddec_to_DMdec(lat));
    // The distances under the page, the page itself as the Fish Tool writes it.
    EXPECT_FALSE(results->details()->isHidden());
    EXPECT_TRUE(results->details()->text().contains("nm inside Trawl closures (10 nm)"))
        << results->details()->text().toStdString();
    QFile page(sample.folder() + "/drillID_results.htm");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_FALSE(page.readAll().contains("nm inside"));
}

// One mark on the map at a time: a chosen row takes the place of a position gone to, and a
// position gone to that of a chosen row.
TEST_F(PositionsViewerTest, ARowChosenAndAPositionGoneToMarkOneAtATime) {
    PositionsWindow* window = openAndWait(writeTrack());
    ASSERT_NE(window, nullptr);
    double lon = 0, lat = 0;
    ASSERT_TRUE(map->projection.AlbersToLatLong(marmot.x, marmot.y, lon, lat));
    const QString there = QString::number(lat, 'f', 5) + " " + QString::number(lon, 'f', 5);
    ASSERT_TRUE(map->goToPosition(there));
    ASSERT_TRUE(canvas->marker().has_value());
    window->selectRow(rowOfId(window, "A2"));
    EXPECT_TRUE(map->positions()->overlay().marked());
    EXPECT_FALSE(canvas->marker().has_value());
    ASSERT_TRUE(map->goToPosition(there));
    EXPECT_TRUE(canvas->marker().has_value());
    EXPECT_FALSE(map->positions()->overlay().marked());
}

TEST_F(PositionsViewerTest, FilesDroppedOnTheMapOpen) {
    const QString path = writeTrack();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QSignalSpy shown(map->positions(), &PositionsController::fileShown);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &drop);
    ASSERT_TRUE(shown.wait(20000));
    EXPECT_EQ(map->positions()->windows().size(), 1);
    // Another file beside it.
    openAndWait(path);
    EXPECT_EQ(map->positions()->windows().size(), 2);
    // Text that is no file is not taken.
    QMimeData text;
    text.setText("hello");
    QDragEnterEvent other(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    other.setAccepted(false);
    QCoreApplication::sendEvent(canvas, &other);
    EXPECT_FALSE(other.isAccepted());
}

TEST_F(PositionsViewerTest, AFileThatCannotBeUsedIsNamed) {
    writeFile("plain.csv", "a,b\n1,2\n");
    openAndWait(sample.folder() + "/plain.csv");
    EXPECT_TRUE(map->positions()->windows().isEmpty());
    ASSERT_FALSE(messages.messages.isEmpty());
    EXPECT_EQ(messages.messages.last().text,
              sample.folder() +
                  "/plain.csv, line 1: the header names neither the columns lon and lat nor x "
                  "and y.");
}

// The tracks go into the frame, drawn on the renderer's worker; over the frame, on the window's
// thread, only the chosen position's mark is drawn. A picture whose frame was cancelled stops.
TEST_F(PositionsViewerTest, TracksAreDrawnIntoTheFrameAndStopWhenCancelled) {
    PositionsWindow* window = openAndWait(writeTrack());
    ASSERT_NE(window, nullptr);
    const PositionsOverlay& overlay = map->positions()->overlay();
    const Viewport viewport = canvas->viewport();
    const auto drawn = [&](const auto& draw) {
        QImage image(viewport.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        draw(painter);
        painter.end();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_EQ(drawn([&](QPainter& p) { overlay.paint(p, viewport); }), 0);
    const auto picture = overlay.picture();
    ASSERT_NE(picture, nullptr);
    EXPECT_GT(drawn([&](QPainter& p) { EXPECT_TRUE(picture->draw(p, viewport, nullptr)); }), 50);
    const std::atomic<bool> cancel(true);
    EXPECT_EQ(drawn([&](QPainter& p) { EXPECT_FALSE(picture->draw(p, viewport, &cancel)); }), 0);
}

struct ClipCase {
    QPointF a, b;
    std::optional<std::pair<QPointF, QPointF>> part;  // within 1e-6
};

// Clipping to the box (0,0)-(100,50) before a segment is stroked.
TEST(TrackClipping, KeepsThePartInsideTheBox) {
    const QRectF box(0, 0, 100, 50);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const ClipCase cases[] = {
        {{10, 10}, {90, 40}, std::pair{QPointF(10, 10), QPointF(90, 40)}},
        // Across the whole map, far beyond the box on both sides.
        {{-1e9, 25}, {1e9, 25}, std::pair{QPointF(0, 25), QPointF(100, 25)}},
        {{50, -1e7}, {50, 1e7}, std::pair{QPointF(50, 0), QPointF(50, 50)}},
        {{-50, -25}, {150, 75}, std::pair{QPointF(0, 0), QPointF(100, 50)}},
        // From inside out.
        {{50, 25}, {250, 25}, std::pair{QPointF(50, 25), QPointF(100, 25)}},
        // Both ends beyond one edge; passing by a corner; parallel to an edge outside it.
        {{-10, 0}, {-20, 50}, std::nullopt},
        {{90, -20}, {120, 10}, std::nullopt},
        {{0, 60}, {100, 60}, std::nullopt},
        // Touching a corner: that point; lying on an edge: the edge.
        {{-10, 10}, {10, -10}, std::pair{QPointF(0, 0), QPointF(0, 0)}},
        {{-10, 50}, {110, 50}, std::pair{QPointF(0, 50), QPointF(100, 50)}},
        {{nan, 10}, {20, 20}, std::nullopt},
    };
    for (const ClipCase& c : cases) {
        const auto part = clipSegment(c.a, c.b, box);
        ASSERT_EQ(part.has_value(), c.part.has_value()) << c.a.x() << "," << c.a.y();
        if (part) {
            EXPECT_LT(QLineF(part->first, c.part->first).length(), 1e-6) << c.a.x();
            EXPECT_LT(QLineF(part->second, c.part->second).length(), 1e-6) << c.a.x();
        }
    }
}

// Ids that are all numbers sort as numbers (found on the first sort by id).
TEST_F(PositionsViewerTest, NumericIdsSortAsNumbers) {
    writeFile("ids.csv", "id,lon,lat\n10,-152,57\n9,-152.1,57\n100,-152.2,57\n");
    PositionsWindow* window = openAndWait(sample.folder() + "/ids.csv");
    ASSERT_NE(window, nullptr);
    window->table()->sortByColumn(PositionsModel::IdColumn, Qt::AscendingOrder);
    QStringList shown;
    for (int r = 0; r < 3; ++r) {
        shown << window->table()->model()->index(r, PositionsModel::IdColumn).data().toString();
    }
    EXPECT_EQ(shown, QStringList({"9", "10", "100"}));
    // Rows are chosen by the file's row whatever the order shown; the choice follows a sort.
    QList<int> chosen;
    QObject::connect(window, &PositionsWindow::rowChosen, [&](int row) { chosen.append(row); });
    window->selectRow(2);  // id 100
    EXPECT_EQ(window->table()->currentIndex().row(), 2);
    window->table()->sortByColumn(PositionsModel::IdColumn, Qt::DescendingOrder);
    EXPECT_EQ(window->table()->currentIndex().row(), 0);
    EXPECT_EQ(window->table()->currentIndex().data().toString(), "100");
    window->table()->setCurrentIndex(window->table()->model()->index(2, 0));  // id 9
    EXPECT_EQ(chosen.last(), 1);
}

// A map handed over with positions files (pelagon MAP.mv --positions FILE) opens them with it.
TEST_F(PositionsViewerTest, AMapOpenedWithPositionsShowsThem) {
    const QString track = writeTrack();
    controller->requestOpen(sample.definition(), {track});
    QTRY_VERIFY_WITH_TIMEOUT(controller->mapform() != nullptr && controller->mapform() != map &&
                                 controller->mapform()->positions()->windows().size() == 1,
                             20000);
    EXPECT_EQ(controller->mapform()->positions()->windows().first()->windowTitle(),
              QStringLiteral("Positions – track.csv"));
}

struct CutCase {
    const char* name;
    std::optional<qint64> atMs;  // nullopt: all times
    qint64 trailMs;
    bool points[3];    // a point (or the latest mark) drawn at each position
    bool lineAfterP1;  // the line from the second position to the third
};

// The time bar's cut of a track: positions after the time are not drawn, nor the line to them;
// the trail's points reach back exactly trailMs.
TEST(TrackPictureTest, TracksAreCutAtTheTime) {
    constexpr qint64 t0 = 1'700'000'000'000, hour = 3'600'000;
    const qint64 t1 = t0 + hour, t2 = t0 + 2 * hour;
    auto set = std::make_shared<PositionSet>();
    for (int i = 0; i < 3; ++i) {
        PositionSet::Row row;
        row.placed = true;
        row.xy = {100.0 + 100 * i, 150.0};
        row.timeMs = t0 + i * hour;
        set->rows.push_back(row);
    }
    set->vessels = QStringList{"A"};
    set->tracks = {{0, 1, 2}};
    const Viewport viewport(QSizeF(400, 300), {0, 400, 0, 300});
    const CutCase cases[] = {
        {"all times", std::nullopt, 0, {true, true, true}, true},
        {"at the second position", t1, 0, {true, true, false}, false},
        {"just before it", t1 - 1, 0, {true, false, false}, false},
        {"trail reaching the first", t2, t2 - t0, {true, true, true}, true},
        {"trail just short of it", t2, t2 - t0 - 1, {false, true, true}, true},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<TrackPicture::TimeCut> cut;
        if (c.atMs) {
            cut = TrackPicture::TimeCut{*c.atMs, c.trailMs};
        }
        const TrackPicture picture({{set, 0, nullptr}}, cut);
        QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        ASSERT_TRUE(picture.draw(painter, viewport, nullptr));
        painter.end();
        // Three pixels below a position: inside its point, clear of any line through it.
        for (int i = 0; i < 3; ++i) {
            const QPoint below = viewport.toPixel(set->rows[i].xy).toPoint() + QPoint(0, 3);
            EXPECT_EQ(qAlpha(image.pixel(below)) > 0, c.points[i]) << "position " << i;
        }
        EXPECT_EQ(qAlpha(image.pixel(250, 150)) > 0, c.lineAfterP1);
    }
}

// The Visits window lists, and exports, what pelagon-cli visits writes for the same file.
TEST_F(PositionsViewerTest, TheVisitsWindowListsWhatTheCommandLineWrites) {
    QByteArray csv = "vessel,time,lon,lat\n";
    for (int i = 0; i < 8; ++i) {
        const MapPoint p{marmot.x - 20000 + i * 6000, marmot.y};
        double lon = 0, lat = 0;
        ASSERT_TRUE(map->projection.AlbersToLatLong(p.x, p.y, lon, lat));
        csv += "Aurora,2024-05-01T0" + QByteArray::number(i) + ":00:00Z," +
               QByteArray::number(lon, 'f', 8) + "," + QByteArray::number(lat, 'f', 8) + "\n";
    }
    writeFile("visits.csv", csv);
    const QString path = sample.folder() + "/visits.csv";
    PositionsWindow* window = openAndWait(path);
    ASSERT_NE(window, nullptr);
    QSignalSpy shown(map->positions(), &PositionsController::visitsShown);
    VisitsWindow* visits = map->positions()->openVisits(window->model()->positions());
    ASSERT_TRUE(shown.wait(20000));

    QProcess cli;
    cli.start(PELAGON_CLI_EXE, {"visits", sample.definition(), "--csv", path});
    ASSERT_TRUE(cli.waitForFinished(60000));
    const QByteArray expected = cli.readAllStandardOutput();
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(visits->model()->rows()->csv, expected);  // what Export CSV… writes

    VisitsModel* model = visits->model();
    ASSERT_GT(model->rowCount(), 1);
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c) {
        header << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    QString shownTable = positions::csvLine(header);
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c) {
            cells << model->index(r, c).data().toString();
        }
        shownTable += positions::csvLine(cells);
    }
    EXPECT_EQ(shownTable.toUtf8(), expected);
}

}  // namespace
