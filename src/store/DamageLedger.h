#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "store/FeatureStore.h"
#include "store/ShapefileCheck.h"

namespace pelagon {

// What a layer's reading leaves out. For a checked shapefile the check's verdict on every
// record is the ledger (OGR's FID is the record's index); for other files features are counted
// as they come. What a pass of reading finds is held until the pass is known to be the last: a
// layer read again finds it again.
class DamageLedger {
public:
    // check: the shapefile check's verdict, or null for a file that is not checked. dataFile
    // names the file in the problems.
    DamageLedger(ShapefileCheck* check, const QString& dataFile);

    // Whether OGR's feature fid belongs to a record known to be damaged.
    bool knownBad(std::int64_t fid) const {
        return check_ != nullptr && fid >= 0 &&
               fid < static_cast<std::int64_t>(check_->bad.size()) &&
               check_->bad[static_cast<std::size_t>(fid)] == ShapefileCheck::kLeftOut;
    }
    // Whether OGR's feature fid is kept without attributes: which row is its cannot be proven.
    bool withoutAttributes(std::int64_t fid) const {
        return check_ != nullptr && fid >= 0 &&
               fid < static_cast<std::int64_t>(check_->bad.size()) &&
               check_->bad[static_cast<std::size_t>(fid)] == ShapefileCheck::kNoAttributes;
    }

    void startPass() { pending_.clear(); }

    // Leaves out the feature with OGR's fid (shapefiles) or the ordinal-th feature (1-based,
    // other files).
    void leaveOut(std::int64_t fid, std::int64_t ordinal, const QString& why) {
        pending_.push_back({fid, ordinal, why});
    }

    // Notes a problem that leaves nothing out; file names the file at fault when it is not the
    // data file.
    void note(const QString& why, const QString& file = QString()) {
        notes_.push_back({file.isEmpty() ? name_ : file, why});
    }
    // Takes back the last note (a conclusion a later pass proved wrong).
    void dropLastNote() {
        if (!notes_.empty()) {
            notes_.pop_back();
        }
    }

    // Takes in what the last pass found.
    void commit();

    // The account once every feature has been read; features counts those OGR gave.
    StoreDamage result(std::int64_t features) const;

private:
    struct Left {
        std::int64_t fid, ordinal;
        QString why;
    };
    ShapefileCheck* check_;
    QString name_;
    struct Note {
        QString file, why;
    };
    std::vector<Left> pending_;
    std::vector<Note> notes_;
    ShapefileCheck own_;  // the account of a file that is not checked
    StoreDamage damage_;
    std::int64_t leftOut_ = 0;
};

}  // namespace pelagon
