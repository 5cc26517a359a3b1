#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

class GDALDataset;
class OGRLayer;

namespace pelagon {

class TextColumn;

// The attributes of a layer, read on demand from its open data file. One lock guards the file,
// so any thread may ask; columns once read are kept and shared.
//
// Features are addressed by the store's numbers; fids maps them to the file's FIDs (empty when
// feature f is FID f).
class AttributeTable {
public:
    // Takes ownership of the dataset; its first layer holds the attributes.
    AttributeTable(GDALDataset* dataset, std::vector<std::int64_t> fids, std::size_t count);
    ~AttributeTable();
    AttributeTable(const AttributeTable&) = delete;
    AttributeTable& operator=(const AttributeTable&) = delete;

    const QStringList& fieldNames() const { return names_; }
    int fieldIndex(const QString& name) const;

    // The value of a field as text, empty for NULL; nullopt for a missing field or feature.
    std::optional<QString> text(std::uint32_t feature, int field) const;

    std::shared_ptr<const TextColumn> column(int field) const;

    std::optional<std::vector<std::uint32_t>> filter(const std::vector<std::uint32_t>& features,
                                                     const QString& where, QString* error) const;

    std::int64_t fid(std::uint32_t feature) const {
        return fids_.empty() ? static_cast<std::int64_t>(feature) : fids_[feature];
    }
    const std::vector<std::int64_t>& fids() const { return fids_; }

private:
    enum class Mode { Unset, AllFields, OneField };
    void useAllFields() const;
    // Reads a whole column from a layer of this table's file.
    std::shared_ptr<const TextColumn> readColumn(OGRLayer& layer, int field) const;

    struct DatasetCloser {
        void operator()(GDALDataset* d) const;
    };
    std::unique_ptr<GDALDataset, DatasetCloser> dataset_;
    std::vector<std::int64_t> fids_;
    std::size_t count_ = 0;
    QStringList names_;

    mutable std::mutex mutex_;
    mutable Mode mode_ = Mode::Unset;
    mutable std::vector<std::shared_ptr<const TextColumn>> columns_;
};

}  // namespace pelagon
