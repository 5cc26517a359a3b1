#include "store/DamageLedger.h"

#include <QFileInfo>

#include <utility>

namespace pelagon {

DamageLedger::DamageLedger(ShapefileCheck* check, const QString& dataFile)
    : check_(check), name_(QFileInfo(dataFile).fileName()) {}

void DamageLedger::commit() {
    ShapefileCheck& account = check_ != nullptr ? *check_ : own_;
    for (const Note& n : notes_) {
        account.count(n.file, 0, 0, 0, [&] { return n.why; });
    }
    for (const Left& l : pending_) {
        if (check_ != nullptr) {
            const std::int64_t record = l.fid + 1;
            const std::int64_t marked = check_->markBad(record, record);
            check_->count(name_, record, marked, 0,
                          [&] { return QStringLiteral("record %1: %2").arg(record).arg(l.why); });
            continue;
        }
        ++leftOut_;
        own_.count(name_, 0, 1, 0,
                   [&] { return QStringLiteral("feature %1: %2").arg(l.ordinal).arg(l.why); });
    }
    pending_.clear();
    notes_.clear();
}

StoreDamage DamageLedger::result(std::int64_t features) const {
    const ShapefileCheck& account = check_ != nullptr ? *check_ : own_;
    StoreDamage d;
    d.records = check_ != nullptr ? check_->records : features;
    d.leftOut = check_ != nullptr ? check_->badCount() : leftOut_;
    d.withoutAttributes = check_ != nullptr ? check_->withoutAttributesCount() : 0;
    d.problems = account.problemCount;
    d.files = account.files;
    if (!account.problems.empty()) {
        d.file = account.problems.front().file;
        d.firstProblem = account.problems.front().reason;
    }
    return d;
}

}  // namespace pelagon
