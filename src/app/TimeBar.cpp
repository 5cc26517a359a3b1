#include "app/TimeBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <climits>
#include <limits>

#include "app/PositionsOverlay.h"

namespace pelagon {

namespace {

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;
constexpr int kTickMs = 16;  // about the screen's rate

}  // namespace

const std::vector<std::pair<QString, qint64>>& TimeBar::speedChoices() {
    static const std::vector<std::pair<QString, qint64>> choices{
        {QStringLiteral("1 min/s"), kMinute},
        {QStringLiteral("10 min/s"), 10 * kMinute},
        {QStringLiteral("1 h/s"), kHour}};
    return choices;
}

const std::vector<std::pair<QString, qint64>>& TimeBar::trailChoices() {
    static const std::vector<std::pair<QString, qint64>> choices{
        {QStringLiteral("No trail"), 0},
        {QStringLiteral("Trail 1 h"), kHour},
        {QStringLiteral("Trail 6 h"), 6 * kHour},
        {QStringLiteral("Trail 24 h"), 24 * kHour},
        {QStringLiteral("Trail 7 days"), 7 * 24 * kHour}};
    return choices;
}

TimeBar::TimeBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("timeBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(4);
    allBox_ = new QCheckBox(QStringLiteral("All times"), this);
    allBox_->setToolTip(QStringLiteral("Draw the tracks whole, whatever their times"));
    const auto button = [this](QStyle::StandardPixmap icon, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        return b;
    };
    previous_ = button(QStyle::SP_MediaSkipBackward, QStringLiteral("Previous position"));
    play_ = button(QStyle::SP_MediaPlay, QStringLiteral("Play"));
    next_ = button(QStyle::SP_MediaSkipForward, QStringLiteral("Next position"));
    speedBox_ = new QComboBox(this);
    speedBox_->setToolTip(QStringLiteral("Track time played per second"));
    for (const auto& [name, ms] : speedChoices()) {
        speedBox_->addItem(name, ms);
    }
    speedBox_->setCurrentIndex(1);
    speed_ = 10 * kMinute;
    slider_ = new QSlider(Qt::Horizontal, this);
    text_ = new QLabel(this);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setMinimumWidth(text_->fontMetrics().horizontalAdvance(
                               QStringLiteral("0000-00-00T00:00:00Z")) +
                           8);
    trailBox_ = new QComboBox(this);
    trailBox_->setToolTip(QStringLiteral("The last part of each track drawn in full"));
    for (const auto& [name, ms] : trailChoices()) {
        trailBox_->addItem(name, ms);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{allBox_, previous_, play_, next_, speedBox_}) {
        row->addWidget(w);
    }
    row->addWidget(slider_, 1);
    row->addWidget(text_);
    row->addWidget(trailBox_);

    timer_.setInterval(kTickMs);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    connect(allBox_, &QCheckBox::toggled, this, [this](bool all) { setAllTimes(all); });
    connect(previous_, &QToolButton::clicked, this, [this] { step(-1); });
    connect(next_, &QToolButton::clicked, this, [this] { step(1); });
    connect(play_, &QToolButton::clicked, this, [this] { setPlaying(!playing()); });
    connect(speedBox_, &QComboBox::activated, this,
            [this](int i) { setSpeed(speedBox_->itemData(i).toLongLong()); });
    connect(trailBox_, &QComboBox::activated, this,
            [this](int i) { setTrail(trailBox_->itemData(i).toLongLong()); });
    connect(slider_, &QSlider::valueChanged, this,
            [this](int seconds) { setTime(first_ + static_cast<qint64>(seconds) * 1000); });
    all_ = true;
    updateControls();
}

void TimeBar::setTimes(std::vector<Times> times) {
    times_ = std::move(times);
    first_ = std::numeric_limits<qint64>::max();
    last_ = std::numeric_limits<qint64>::min();
    for (const Times& t : times_) {
        if (t && !t->empty()) {
            first_ = std::min(first_, t->front());
            last_ = std::max(last_, t->back());
        }
    }
    if (!hasTimes()) {
        first_ = 1;
        last_ = 0;
        setPlaying(false);
        all_ = true;
    } else {
        time_ = std::clamp(time_, first_, last_);
    }
    {
        const QSignalBlocker block(slider_);
        const qint64 seconds = hasTimes() ? (last_ - first_ + 999) / 1000 : 0;
        const int range = static_cast<int>(std::min<qint64>(seconds, INT_MAX));
        slider_->setRange(0, range);
        // A click beside the handle moves a twentieth of the span; an arrow key a minute.
        slider_->setPageStep(std::max(1, range / 20));
        slider_->setSingleStep(60);
    }
    show(time_);
    updateControls();
    emit cutChanged();
}

std::optional<TrackPicture::TimeCut> TimeBar::cut() const {
    if (all_ || !hasTimes()) {
        return std::nullopt;
    }
    return TrackPicture::TimeCut{time_, trail_};
}

void TimeBar::setTime(qint64 ms) {
    if (!hasTimes()) {
        return;
    }
    const qint64 t = std::clamp(ms, first_, last_);
    if (t == time_ && !all_) {
        return;
    }
    time_ = t;
    all_ = false;
    show(t);
    updateControls();
    emit cutChanged();
}

void TimeBar::setAllTimes(bool all) {
    if (all == all_) {
        return;
    }
    if (all) {
        setPlaying(false);
    }
    all_ = all;
    updateControls();
    emit cutChanged();
}

void TimeBar::setTrail(qint64 ms) {
    trail_ = std::max<qint64>(0, ms);
    updateControls();
    if (!all_) {
        emit cutChanged();
    }
}

void TimeBar::setSpeed(qint64 msPerSecond) {
    speed_ = std::max<qint64>(1, msPerSecond);
    updateControls();
}

void TimeBar::step(int direction) {
    if (!hasTimes()) {
        return;
    }
    // The nearest time of a position strictly before or after the one shown; at all times,
    // the first or the last.
    qint64 best = direction < 0 ? std::numeric_limits<qint64>::min()
                                : std::numeric_limits<qint64>::max();
    for (const Times& t : times_) {
        if (!t || t->empty()) {
            continue;
        }
        if (all_) {
            best = direction < 0 ? std::max(best, t->back()) : std::min(best, t->front());
        } else if (direction < 0) {
            const auto it = std::lower_bound(t->begin(), t->end(), time_);
            if (it != t->begin()) {
                best = std::max(best, *std::prev(it));
            }
        } else {
            const auto it = std::upper_bound(t->begin(), t->end(), time_);
            if (it != t->end()) {
                best = std::min(best, *it);
            }
        }
    }
    if (best != std::numeric_limits<qint64>::min() && best != std::numeric_limits<qint64>::max()) {
        setTime(best);
    }
}

void TimeBar::setPlaying(bool play) {
    if (play == playing()) {
        return;
    }
    if (play) {
        if (!hasTimes()) {
            return;
        }
        if (all_ || time_ >= last_) {
            setTime(first_);  // from the start
        }
        carried_ = 0;
        clock_.start();
        timer_.start();
    } else {
        timer_.stop();
    }
    updateControls();
}

void TimeBar::tick() {
    if (frameReady_ && !frameReady_()) {
        return;  // the clock runs on: the next frame makes up the time
    }
    const double elapsed = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    clock_.restart();
    carried_ += elapsed * static_cast<double>(speed_);
    const auto advance = static_cast<qint64>(carried_);
    carried_ -= static_cast<double>(advance);
    if (time_ + advance >= last_) {
        setTime(last_);
        setPlaying(false);
        return;
    }
    setTime(time_ + advance);
}

void TimeBar::show(qint64 ms) {
    text_->setText(hasTimes() ? PositionsOverlay::timeText(ms) : QString());
    const QSignalBlocker block(slider_);
    slider_->setValue(static_cast<int>(std::min<qint64>((ms - first_) / 1000, INT_MAX)));
}

void TimeBar::updateControls() {
    {
        const QSignalBlocker block(allBox_);
        allBox_->setChecked(all_);
    }
    play_->setIcon(style()->standardIcon(playing() ? QStyle::SP_MediaPause
                                                   : QStyle::SP_MediaPlay));
    play_->setToolTip(playing() ? QStringLiteral("Pause") : QStringLiteral("Play"));
    text_->setEnabled(!all_);
    for (int i = 0; i < speedBox_->count(); ++i) {
        if (speedBox_->itemData(i).toLongLong() == speed_) {
            speedBox_->setCurrentIndex(i);
        }
    }
    for (int i = 0; i < trailBox_->count(); ++i) {
        if (trailBox_->itemData(i).toLongLong() == trail_) {
            trailBox_->setCurrentIndex(i);
        }
    }
}

}  // namespace pelagon
