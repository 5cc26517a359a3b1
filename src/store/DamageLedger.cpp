#include "store/DamageLedger.h"

#include <QFileInfo>

#include <utility>

namespace pelagon {

DamageLedger::DamageLedger(ShapefileCheck* check, const QString& dataFile)
    : check_(check), name_(QFileInfo(dataFile).fileName()) {}

void DamageLedger::commit() {
    for (const QString& why : std::as_const(notes_)) {
        if (check_ != nullptr) {
            ++check_->problemCount;
            if (check_->keeps(0)) {
                check_->keep(LayerProblem{name_, 0, why});
            }
        }
    }
    for (const Left& l : pending_) {
        if (check_ != nullptr) {
            const std::int64_t record = l.fid + 1;
            check_->markBad(record, record);
            ++check_->problemCount;
            if (check_->keeps(record)) {
                check_->keep(LayerProblem{name_, record,
                                          QStringLiteral("record %1: %2").arg(record).arg(l.why)});
            }
            continue;
        }
        ++leftOut_;
        if (damage_.problems++ == 0) {
            damage_.file = name_;
            damage_.firstProblem = QStringLiteral("feature %1: %2").arg(l.ordinal).arg(l.why);
        }
    }
    pending_.clear();
    notes_.clear();
}

StoreDamage DamageLedger::result(std::int64_t features) const {
    if (check_ == nullptr) {
        StoreDamage d = damage_;
        d.records = features;
        d.leftOut = leftOut_;
        return d;
    }
    StoreDamage d;
    d.records = check_->records;
    d.leftOut = check_->badCount();
    d.problems = check_->problemCount;
    if (!check_->problems.empty()) {
        d.file = check_->problems.front().file;
        d.firstProblem = check_->problems.front().reason;
    }
    return d;
}

}  // namespace pelagon
