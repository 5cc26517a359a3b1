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
               check_->bad[static_cast<std::size_t>(fid)] != 0;
    }

    void startPass() { pending_.clear(); }

    // Leaves out the feature with OGR's fid (shapefiles) or the ordinal-th feature (1-based,
    // other files).
    void leaveOut(std::int64_t fid, std::int64_t ordinal, const QString& why) {
        pending_.push_back({fid, ordinal, why});
    }

    // Notes a problem that leaves nothing out.
    void note(const QString& why) { notes_.append(why); }
    // Takes back the last note (a conclusion a later pass proved wrong).
    void dropLastNote() {
        if (!notes_.isEmpty()) {
            notes_.removeLast();
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
    std::vector<Left> pending_;
    QStringList notes_;
    StoreDamage damage_;
    std::int64_t leftOut_ = 0;
};

}  // namespace pelagon
