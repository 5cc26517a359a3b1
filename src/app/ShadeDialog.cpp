#include "app/ShadeDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "query/PositionSet.h"
#include "tracks/TrackTime.h"

namespace pelagon {

namespace {

// Period entries carry the kind and the first millisecond.
constexpr int kPeriodKindRole = Qt::UserRole;
constexpr int kPeriodStartRole = Qt::UserRole + 1;

void addPeriods(QComboBox* box, const std::vector<qint64>& times, tracks::Period by,
                const QString& kind) {
    for (auto at = times.begin(); at != times.end();) {
        const qint64 start = tracks::periodStart(by, *at);
        QByteArray text;
        tracks::appendPeriod(text, by, start);
        box->addItem(QStringLiteral("%1 %2").arg(kind, QString::fromLatin1(text)));
        box->setItemData(box->count() - 1, static_cast<int>(by), kPeriodKindRole);
        box->setItemData(box->count() - 1, start, kPeriodStartRole);
        at = std::lower_bound(at, times.end(), tracks::nextPeriod(by, start));
    }
}

}  // namespace

ShadeDialog::ShadeDialog(const PositionSet& set, const std::vector<qint64>& times, QWidget* parent)
    : QDialog(parent),
      layer_(new QComboBox),
      speed_(new QCheckBox(QStringLiteral("Only at speeds from"))),
      minKnots_(new QDoubleSpinBox),
      maxKnots_(new QDoubleSpinBox),
      period_(new QComboBox) {
    setObjectName(QStringLiteral("ShadeDialog"));
    setWindowTitle(QStringLiteral("Shade areas by hours"));
    const auto& columns = set.query->columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].areas) {
            layer_->addItem(columns[c].name, static_cast<int>(c));
        }
    }
    for (QDoubleSpinBox* box : {minKnots_, maxKnots_}) {
        box->setRange(0, 100);
        box->setDecimals(1);
        box->setSuffix(QStringLiteral(" kn"));
        box->setEnabled(false);
    }
    minKnots_->setValue(0);
    maxKnots_->setValue(5);
    connect(speed_, &QCheckBox::toggled, minKnots_, &QWidget::setEnabled);
    connect(speed_, &QCheckBox::toggled, maxKnots_, &QWidget::setEnabled);
    connect(minKnots_, &QDoubleSpinBox::valueChanged, maxKnots_,
            [this](double v) { maxKnots_->setValue(std::max(maxKnots_->value(), v)); });
    connect(maxKnots_, &QDoubleSpinBox::valueChanged, minKnots_,
            [this](double v) { minKnots_->setValue(std::min(minKnots_->value(), v)); });

    period_->addItem(QStringLiteral("The whole file"));
    period_->setItemData(0, static_cast<int>(tracks::Period::Whole), kPeriodKindRole);
    period_->setItemData(0, qint64(0), kPeriodStartRole);
    addPeriods(period_, times, tracks::Period::Month, QStringLiteral("Month"));
    addPeriods(period_, times, tracks::Period::Day, QStringLiteral("Day"));

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Layer of areas:"), layer_);
    auto* speedRow = new QHBoxLayout;
    speedRow->addWidget(speed_);
    speedRow->addWidget(minKnots_);
    speedRow->addWidget(new QLabel(QStringLiteral("to")));
    speedRow->addWidget(maxKnots_);
    form->addRow(speedRow);
    form->addRow(QStringLiteral("Period:"), period_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Shade"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(layer_->count() > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

ShadeRequest ShadeDialog::request() const {
    ShadeRequest r;
    r.column = layer_->currentIndex() >= 0 ? layer_->currentData().toInt() : -1;
    r.hours.speedRange = speed_->isChecked();
    r.hours.minKnots = minKnots_->value();
    r.hours.maxKnots = maxKnots_->value();
    r.hours.by = static_cast<tracks::Period>(period_->currentData(kPeriodKindRole).toInt());
    r.periodStartMs = period_->currentData(kPeriodStartRole).toLongLong();
    if (r.hours.by != tracks::Period::Whole) {
        QByteArray text;
        tracks::appendPeriod(text, r.hours.by, r.periodStartMs);
        r.periodText = QString::fromLatin1(text);
    }
    return r;
}

}  // namespace pelagon
