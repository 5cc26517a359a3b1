// The attribute table: cut off, or holding another number of records than the index.
#include <algorithm>
#include <cstdint>

#include "store/ShapefileCheckImpl.h"

namespace pelagon {

using shpcheck::plural;
using shpcheck::recordText;

void ShapefileChecker::Impl::checkDbf() {
    if (!dbf_.has(0, 12)) {
        result_.unreadable = QStringLiteral("its attribute table %1 is truncated").arg(dbfName_);
        return;
    }
    const std::int64_t count = dbf_.ule32(4);
    const std::int64_t headerLength = dbf_.ule16(8);
    const std::int64_t recordLength = dbf_.ule16(10);
    if (headerLength < 32 || dbfSize_ < headerLength + count * recordLength) {
        result_.unreadable = QStringLiteral("its attribute table %1 is truncated").arg(dbfName_);
        return;
    }
    const std::int64_t read = std::min<std::int64_t>(readByOgr_, entries_.size());
    if (count < read) {
        // OGR stops at the last row of the attribute table.
        problem(dbfName_, count + 1, read, [&] {
            return recordText(count + 1) + QStringLiteral("the .dbf header counts %1, the index %2")
                                               .arg(plural(count, "record", "records"))
                                               .arg(read);
        });
    } else if (count > result_.records) {
        problem(dbfName_, 0, -1, [&] {
            return QStringLiteral("the .dbf header counts %1, the index %2: %3 without a shape")
                .arg(plural(count, "record", "records"))
                .arg(result_.records)
                .arg(plural(count - result_.records, "attribute row", "attribute rows"));
        });
    }
}

}  // namespace pelagon
