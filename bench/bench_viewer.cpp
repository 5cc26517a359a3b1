// The viewer with a file of positions: from the choice of a 100,000-position file on the bundled
// sample map until the Positions window's table is filled and drawn and the tracks are drawn on
// the map. Runs on Qt's offscreen platform; bench/run writes the figure into
// docs/performance.md.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTableView>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <random>

#include "app/AppController.h"
#include "app/Mapform.h"
#include "app/PositionsController.h"
#include "app/PositionsWindow.h"
#include "canvas/MapCanvas.h"
#include "reports/FakePageView.h"
#include "support/RecordingMessageSink.h"
#include "support/SampleMap.h"

using namespace pelagon;

namespace {

constexpr int kPositions = 100000;
constexpr int kVessels = 25;

// Vessel tracks across the sample map's waters in degrees, a position every ten minutes: each
// vessel wanders from its own starting point, as a monitoring system's export would list them.
QByteArray trackFile() {
    std::mt19937 random(2026);
    std::uniform_real_distribution<double> step(-0.05, 0.05);
    std::uniform_real_distribution<double> startLon(-170.0, -140.0);
    std::uniform_real_distribution<double> startLat(53.0, 59.5);
    QByteArray csv = "id,vessel,time,lon,lat\n";
    const int perVessel = kPositions / kVessels;
    for (int v = 0; v < kVessels; ++v) {
        double lon = startLon(random);
        double lat = startLat(random);
        for (int i = 0; i < perVessel; ++i) {
            lon = std::clamp(lon + step(random), -179.0, -131.0);
            lat = std::clamp(lat + step(random) / 2, 51.0, 61.0);
            const int minutes = i * 10;
            csv += QByteArray::number(v * perVessel + i) + ",V" + QByteArray::number(v) +
                   ",2026-0" + QByteArray::number(1 + minutes / (60 * 24 * 28) % 9) + "-" +
                   QByteArray::number(10 + minutes / (60 * 24) % 18) + "T" +
                   QByteArray::number(10 + minutes / 60 % 14) + ":" +
                   QByteArray::number(10 + minutes % 50) + ":00Z," +
                   QByteArray::number(lon, 'f', 5) + "," + QByteArray::number(lat, 'f', 5) + "\n";
        }
    }
    return csv;
}

void BM_ViewerOpenPositions(benchmark::State& state) {
    test::SampleMapCopy sample;
    const QString path = sample.folder() + QStringLiteral("/tracks.csv");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(trackFile()) < 0) {
            state.SkipWithError("cannot write the positions file");
            return;
        }
    }
    test::RecordingMessageSink messages;
    test::FakePageViews pages;
    AppController controller(messages, pages.factory());
    if (!controller.openMapFile(sample.definition())) {
        state.SkipWithError("cannot open the sample map");
        return;
    }
    Mapform* map = controller.mapform();
    PositionsController* positions = map->positions();
    QApplication::processEvents();

    for (auto _ : state) {
        QEventLoop loop;
        bool ok = false;
        const QMetaObject::Connection shown = QObject::connect(
            positions, &PositionsController::fileShown, &loop, [&](const QString&, bool done) {
                ok = done;
                loop.quit();
            });
        positions->openFile(path);
        loop.exec();
        QObject::disconnect(shown);
        if (!ok || positions->windows().isEmpty()) {
            state.SkipWithError("the positions file was not shown");
            return;
        }
        // The table and the map as the person sees them: both drawn once.
        PositionsWindow* window = positions->windows().last();
        benchmark::DoNotOptimize(window->model()->rowCount());
        benchmark::DoNotOptimize(window->grab());
        benchmark::DoNotOptimize(map->theMap->grab());

        state.PauseTiming();
        state.counters["positions"] = window->model()->rowCount();
        window->close();  // deleted on close
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ViewerOpenPositions)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
