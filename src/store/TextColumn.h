#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelagon {

// The texts of one attribute for every feature of a layer, in one buffer. Immutable.
class TextColumn {
public:
    // offsets has one entry more than there are features: text f is
    // data[offsets[f] .. offsets[f + 1]).
    TextColumn(QString data, std::vector<std::uint32_t> offsets)
        : data_(std::move(data)), offsets_(std::move(offsets)) {}

    std::size_t size() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    QStringView text(std::size_t f) const {
        return QStringView(data_).mid(offsets_[f], offsets_[f + 1] - offsets_[f]);
    }

private:
    QString data_;
    std::vector<std::uint32_t> offsets_;
};

}  // namespace pelagon
