#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/TrackPicture.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QToolButton;

namespace pelagon {

// The time bar under the map while open positions have times: a slider over their span, the
// time as text (UTC, ISO 8601), play and pause at a chosen speed (track time per second), steps
// to the previous and next position, and the trail's length. "All times" (the start) draws the
// tracks whole; moving the slider, stepping or playing leaves it.
class TimeBar : public QWidget {
    Q_OBJECT
public:
    using Times = std::shared_ptr<const std::vector<qint64>>;  // sorted, milliseconds

    explicit TimeBar(QWidget* parent = nullptr);

    // The times of every open file's positions; the bar spans them all.
    void setTimes(std::vector<Times> times);
    bool hasTimes() const { return first_ <= last_; }
    qint64 first() const { return first_; }
    qint64 last() const { return last_; }

    // Where the tracks are cut now; nullopt at all times.
    std::optional<TrackPicture::TimeCut> cut() const;
    qint64 time() const { return time_; }
    // Goes to a time (within the span), leaving "all times".
    void setTime(qint64 ms);
    void setAllTimes(bool all);
    void setTrail(qint64 ms);  // 0: no trail; one of trailChoices()
    void setSpeed(qint64 msPerSecond);
    // Steps to the time of the previous or next position, leaving "all times".
    void step(int direction);
    void setPlaying(bool playing);
    bool playing() const { return timer_.isActive(); }
    // While playing, the time moves on only when this says the last frame is shown, so that
    // frames slower than the screen are never cancelled by the next.
    void setFrameReady(std::function<bool()> ready) { frameReady_ = std::move(ready); }

    static const std::vector<std::pair<QString, qint64>>& speedChoices();
    static const std::vector<std::pair<QString, qint64>>& trailChoices();

signals:
    void cutChanged();

private:
    void tick();
    void show(qint64 ms);
    void updateControls();

    std::vector<Times> times_;
    qint64 first_ = 1;
    qint64 last_ = 0;
    qint64 time_ = 0;
    bool all_ = true;
    qint64 speed_ = 0;
    qint64 trail_ = 0;
    double carried_ = 0;  // track milliseconds not yet shown (frames faster than a millisecond)
    QTimer timer_;
    QElapsedTimer clock_;
    std::function<bool()> frameReady_;

    QCheckBox* allBox_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* play_ = nullptr;
    QToolButton* next_ = nullptr;
    QComboBox* speedBox_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* text_ = nullptr;
    QComboBox* trailBox_ = nullptr;
};

}  // namespace pelagon
