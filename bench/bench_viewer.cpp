// The viewer with a file of positions, on Qt's offscreen platform:
// - BM_ViewerOpenPositions: from the choice of a 100,000-position file on the bundled sample map
//   until the Positions window's table is filled and drawn and the tracks are drawn on the map
//   (bench/run writes the figure into docs/performance.md);
// - BM_ViewerScatteredTracks: 1,000,000 positions of 100 vessels jumping at random over the whole
//   map, opened, then 20 wheel steps; each step's frame and the longest stall of the window's
//   event loop (the time between two turns of it) are reported;
// - BM_ScatteredTrackFrame: the same tracks' frame alone, drawn again and again after 0 wheel
//   steps (the whole map in view) and after 10 (about 300 nm across): the frame's wall and CPU
//   time and the pages of memory the system had to give it, steady enough to compare two builds
//   of the track picture;
// - BM_ViewerPlayingTracks: 1,000,000 positions of 100 vessels wandering over the sample map's
//   waters, played on the time bar at 1 h of track a second with a 6 h trail, from the start
//   and near the end (the whole past drawn beneath the trails): the time between frames shown.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTableView>
#include <QTimer>

#include <QDateTime>
#include <QElapsedTimer>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cmath>
#include <random>
#include <vector>

#include <sys/resource.h>

#include "Percentile.h"
#include "app/AppController.h"
#include "app/Mapform.h"
#include "app/PositionsController.h"
#include "app/PositionsWindow.h"
#include "app/TimeBar.h"
#include "app/TrackPicture.h"
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

// The viewer on a copy of the sample map with a positions file beside it: ready() is false, with
// the reason given to the benchmark, when either cannot be made.
struct ViewerWithFile {
    ViewerWithFile(benchmark::State& state, const QString& name, const QByteArray& content)
        : path(sample.folder() + QLatin1Char('/') + name), controller(messages, pages.factory()) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) < 0) {
            state.SkipWithError("cannot write the positions file");
            return;
        }
        f.close();
        if (!controller.openMapFile(sample.definition())) {
            state.SkipWithError("cannot open the sample map");
            return;
        }
        QApplication::processEvents();
        map = controller.mapform();
    }
    bool ready() const { return map != nullptr; }

    test::SampleMapCopy sample;
    QString path;
    test::RecordingMessageSink messages;
    test::FakePageViews pages;
    AppController controller;
    Mapform* map = nullptr;
};

void BM_ViewerOpenPositions(benchmark::State& state) {
    ViewerWithFile viewer(state, QStringLiteral("tracks.csv"), trackFile());
    if (!viewer.ready()) {
        return;
    }
    const QString& path = viewer.path;
    Mapform* map = viewer.map;
    PositionsController* positions = map->positions();

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

constexpr int kScatteredPositions = 1000000;
constexpr int kScatteredVessels = 100;

// Positions that jump anywhere between 180° W and 130° W, 50° N and 62° N at every step: the
// worst a track can be for drawing, every segment crossing much of the map.
QByteArray scatteredFile() {
    std::mt19937 random(2027);
    std::uniform_real_distribution<double> lon(-180.0, -130.0);
    std::uniform_real_distribution<double> lat(50.0, 62.0);
    QByteArray csv = "vessel,time,lon,lat\n";
    csv.reserve(kScatteredPositions * 44);
    const int perVessel = kScatteredPositions / kScatteredVessels;
    for (int v = 0; v < kScatteredVessels; ++v) {
        const QByteArray vessel = "S" + QByteArray::number(v) + ",2026-03-";
        for (int i = 0; i < perVessel; ++i) {
            const int minutes = i * 4;
            csv += vessel + QByteArray::number(10 + minutes / (60 * 24)) + "T" +
                   QByteArray::number(10 + minutes / 60 % 14) + ":" +
                   QByteArray::number(10 + minutes % 50) + ":00Z," +
                   QByteArray::number(lon(random), 'f', 4) + "," +
                   QByteArray::number(lat(random), 'f', 4) + "\n";
        }
    }
    return csv;
}

// The longest time the window's event loop went without a turn while it runs: the longest gap
// between the ticks of a 1 ms timer. Between its ticks the loop sleeps, as the window's does
// while a frame is drawn (a zero-interval timer would keep a core of the machine busy, one the
// frame's threads then go without).
class StallWatch : public QObject {
public:
    StallWatch() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            longest_ = std::max(longest_, clock_.nsecsElapsed() / 1e6);
            clock_.restart();
        });
        clock_.start();
        timer_.start();
    }
    void reset() {
        longest_ = 0;
        clock_.restart();
    }
    double longestMs() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double longest_ = 0;
};

// CPU time of this process's threads but the calling one so far, in milliseconds: what a frame
// costs the renderer's threads, however many cores other programs leave them (the window's
// thread, left out, only answers the wheel and the stall watch's ticks).
double otherThreadsCpuMs() {
    const auto ms = [](int who) {
        rusage usage{};
        getrusage(who, &usage);
        return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 +
               usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3;
    };
    return ms(RUSAGE_SELF) - ms(RUSAGE_THREAD);
}

// Runs the window's event loop until done() holds; the loop sleeps until events come, woken at
// least every few milliseconds to look at the clock.
bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void BM_ViewerScatteredTracks(benchmark::State& state) {
    ViewerWithFile viewer(state, QStringLiteral("scattered.csv"), scatteredFile());
    if (!viewer.ready()) {
        return;
    }
    const QString& path = viewer.path;
    MapCanvas* canvas = viewer.map->theMap;
    PositionsController* positions = viewer.map->positions();

    for (auto _ : state) {
        canvas->setExtent(canvas->fullExtent());
        waitFor([&] { return !canvas->isRendering(); }, 60000);
        StallWatch stalls;
        QElapsedTimer clock;
        clock.start();
        bool shown = false;
        bool done = false;
        const QMetaObject::Connection connection = QObject::connect(
            positions, &PositionsController::fileShown, positions,
            [&](const QString&, bool ok) {
                shown = ok;
                done = true;
            });
        positions->openFile(path);
        if (!waitFor([&] { return done; }, 600000)) {
            state.SkipWithError("the positions file was not read in 10 minutes");
            return;
        }
        QObject::disconnect(connection);
        if (!shown) {
            state.SkipWithError("the positions file was not shown");
            return;
        }
        waitFor([&] { return !canvas->isRendering(); }, 600000);
        const double openMs = clock.nsecsElapsed() / 1e6;
        const double openStallMs = stalls.longestMs();

        // Twenty notches of the wheel, zooming in about a point south-west of Kodiak, each waited
        // for until its frame is drawn and shown.
        stalls.reset();
        std::vector<double> frames;
        std::vector<double> paints;
        std::vector<double> cpu;
        const QPointF at(canvas->width() * 0.45, canvas->height() * 0.6);
        for (int step = 0; step < 20; ++step) {
            bool finished = false;
            const QMetaObject::Connection drawn = QObject::connect(
                canvas, &MapCanvas::renderFinished, canvas, [&] { finished = true; });
            clock.restart();
            const double cpuBefore = otherThreadsCpuMs();
            QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(canvas, &wheel);
            canvas->repaint();  // the last frame, moved and scaled: what the step shows at once
            paints.push_back(clock.nsecsElapsed() / 1e6);
            if (!waitFor([&] { return finished; }, 600000)) {
                state.SkipWithError("a frame was not drawn in 10 minutes");
                return;
            }
            QObject::disconnect(drawn);
            frames.push_back(clock.nsecsElapsed() / 1e6);
            cpu.push_back(otherThreadsCpuMs() - cpuBefore);
        }
        state.PauseTiming();
        state.counters["open_ms"] = openMs;
        state.counters["open_stall_ms"] = openStallMs;
        state.counters["frame_median_ms"] = bench::median(frames);
        state.counters["frame_max_ms"] = *std::max_element(frames.begin(), frames.end());
        state.counters["frames_over_50_ms"] = static_cast<double>(
            std::count_if(frames.begin(), frames.end(), [](double ms) { return ms > 50; }));
        state.counters["frame_cpu_median_ms"] = bench::median(cpu);
        state.counters["frame_cpu_max_ms"] = *std::max_element(cpu.begin(), cpu.end());
        state.counters["step_paint_max_ms"] = *std::max_element(paints.begin(), paints.end());
        state.counters["wheel_stall_ms"] = stalls.longestMs();
        for (PositionsWindow* window : positions->windows()) {
            window->close();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ViewerScatteredTracks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The frame of the scattered tracks alone, after range(0) wheel steps, drawn as the renderer's
// worker draws it.
void BM_ScatteredTrackFrame(benchmark::State& state) {
    ViewerWithFile viewer(state, QStringLiteral("scattered.csv"), scatteredFile());
    if (!viewer.ready()) {
        return;
    }
    MapCanvas* canvas = viewer.map->theMap;
    PositionsController* positions = viewer.map->positions();
    canvas->setExtent(canvas->fullExtent());
    bool shown = false;
    QObject::connect(positions, &PositionsController::fileShown, positions,
                     [&](const QString&, bool) { shown = true; });
    positions->openFile(viewer.path);
    if (!waitFor([&] { return shown && !canvas->isRendering(); }, 600000)) {
        state.SkipWithError("the positions were not shown");
        return;
    }
    const QPointF at(canvas->width() * 0.45, canvas->height() * 0.6);
    for (int step = 0; step < state.range(0); ++step) {
        QWheelEvent wheel(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &wheel);
        waitFor([&] { return !canvas->isRendering(); }, 600000);
    }
    const Viewport viewport = canvas->viewport();
    const TrackPicture picture(std::vector<TrackPicture::Shown>{
        {positions->windows().front()->model()->positions(), 0, nullptr}});
    QImage frame(viewport.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    const auto usage = [] {
        rusage used{};
        getrusage(RUSAGE_SELF, &used);
        return used;
    };
    const auto cpuMs = [](const rusage& used) {
        return used.ru_utime.tv_sec * 1e3 + used.ru_utime.tv_usec / 1e3 +
               used.ru_stime.tv_sec * 1e3 + used.ru_stime.tv_usec / 1e3;
    };
    const rusage start = usage();
    for (auto _ : state) {
        frame.fill(Qt::white);
        QPainter painter(&frame);
        picture.draw(painter, viewport, nullptr);
    }
    const rusage end = usage();
    const auto frames = static_cast<double>(state.iterations());
    state.counters["frame_cpu_ms"] = (cpuMs(end) - cpuMs(start)) / frames;
    // Pages the frame's memory had to be given by the system again (a fault costs microseconds).
    state.counters["page_faults"] = static_cast<double>(end.ru_minflt - start.ru_minflt) / frames;
}
BENCHMARK(BM_ScatteredTrackFrame)
    ->Arg(0)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3);

constexpr int kPlayingPositions = 1000000;
constexpr int kPlayingVessels = 100;

// Vessels wandering from their own starting points over the sample map's waters, a position
// every four minutes for about four weeks.
QByteArray playingFile() {
    std::mt19937 random(2028);
    std::uniform_real_distribution<double> step(-0.02, 0.02);
    std::uniform_real_distribution<double> startLon(-170.0, -140.0);
    std::uniform_real_distribution<double> startLat(53.0, 59.5);
    const int perVessel = kPlayingPositions / kPlayingVessels;
    const QDateTime start(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);
    std::vector<QByteArray> times;
    for (int i = 0; i < perVessel; ++i) {
        times.push_back(start.addSecs(i * 240LL).toString(Qt::ISODate).toLatin1());
    }
    QByteArray csv = "vessel,time,lon,lat\n";
    csv.reserve(kPlayingPositions * 42);
    for (int v = 0; v < kPlayingVessels; ++v) {
        const QByteArray vessel = "P" + QByteArray::number(v) + ",";
        double lon = startLon(random);
        double lat = startLat(random);
        for (int i = 0; i < perVessel; ++i) {
            lon = std::clamp(lon + step(random), -179.0, -131.0);
            lat = std::clamp(lat + step(random) / 2, 51.0, 61.0);
            csv += vessel + times[static_cast<std::size_t>(i)] + "," +
                   QByteArray::number(lon, 'f', 4) + "," + QByteArray::number(lat, 'f', 4) + "\n";
        }
    }
    return csv;
}

void BM_ViewerPlayingTracks(benchmark::State& state) {
    ViewerWithFile viewer(state, QStringLiteral("playing.csv"), playingFile());
    if (!viewer.ready()) {
        return;
    }
    MapCanvas* canvas = viewer.map->theMap;
    PositionsController* positions = viewer.map->positions();
    TimeBar* bar = positions->timeBar();
    constexpr qint64 kHourMs = 3600 * 1000;
    constexpr double kPlaySeconds = 3;

    for (auto _ : state) {
        canvas->setExtent(canvas->fullExtent());
        bool done = false;
        const QMetaObject::Connection connection = QObject::connect(
            positions, &PositionsController::fileShown, positions,
            [&](const QString&, bool) { done = true; });
        positions->openFile(viewer.path);
        if (!waitFor([&] { return done; }, 600000) || !bar->hasTimes()) {
            state.SkipWithError("the positions file was not shown with its times");
            return;
        }
        QObject::disconnect(connection);
        bar->setTrail(6 * kHourMs);
        bar->setSpeed(kHourMs);
        // From the start, and from four hours before the end: the time between frames shown.
        for (const auto& [name, from] :
             {std::pair{"start", bar->first()}, std::pair{"end", bar->last() - 4 * kHourMs}}) {
            bar->setTime(from);
            waitFor([&] { return !canvas->isRendering(); }, 600000);
            QApplication::processEvents();
            StallWatch stalls;
            std::vector<double> shown;
            QElapsedTimer clock;
            const QMetaObject::Connection drawn = QObject::connect(
                canvas, &MapCanvas::renderFinished, canvas,
                [&] { shown.push_back(clock.nsecsElapsed() / 1e6); });
            clock.start();
            bar->setPlaying(true);
            waitFor([&] { return clock.nsecsElapsed() / 1e9 >= kPlaySeconds; }, 600000);
            bar->setPlaying(false);
            QObject::disconnect(drawn);
            std::vector<double> gaps;
            for (std::size_t i = 1; i < shown.size(); ++i) {
                gaps.push_back(shown[i] - shown[i - 1]);
            }
            if (gaps.empty()) {
                state.SkipWithError("no frames were shown while playing");
                return;
            }
            const std::string prefix = name;
            state.counters[prefix + "_frames_per_s"] = static_cast<double>(shown.size()) / kPlaySeconds;
            state.counters[prefix + "_gap_median_ms"] = bench::median(gaps);
            state.counters[prefix + "_gap_max_ms"] = *std::max_element(gaps.begin(), gaps.end());
            state.counters[prefix + "_stall_ms"] = stalls.longestMs();
        }
        state.PauseTiming();
        for (PositionsWindow* window : positions->windows()) {
            window->close();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ViewerPlayingTracks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
