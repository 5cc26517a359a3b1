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

// What of a damaged attribute table is not read.
struct AttributeLimits {
    // Per feature of the store, 1 for a feature whose attribute row cannot be proven its own;
    // empty when every feature's row is.
    std::vector<std::uint8_t> withoutAttributes;
    QStringList unusableFields;  // fields whose values contradict their type
    bool none = false;           // the table's header is damaged: nothing is read
    bool recode = true;          // false: text is read as it stands, not in the file's encoding
};

// The attributes of a layer, read on demand from its open data file. One lock guards the file,
// so any thread may ask; columns once read are kept and shared.
//
// Features are addressed by the store's numbers; fids maps them to the file's FIDs (empty when
// feature f is FID f).
class AttributeTable {
public:
    // Takes ownership of the dataset; its first layer holds the attributes. keepAlive holds
    // what the dataset reads from (memory files) until it is closed.
    AttributeTable(GDALDataset* dataset, std::vector<std::int64_t> fids, std::size_t count,
                   AttributeLimits limits = {}, std::shared_ptr<void> keepAlive = {});
    ~AttributeTable();
    AttributeTable(const AttributeTable&) = delete;
    AttributeTable& operator=(const AttributeTable&) = delete;

    const QStringList& fieldNames() const { return names_; }
    int fieldIndex(const QString& name) const;

    // The value of a field as text, empty for NULL; nullopt for a missing field or feature, a
    // field whose values contradict its type, or a feature kept without attributes.
    std::optional<QString> text(std::uint32_t feature, int field) const;

    // Whether the feature has its attribute row (not kept without attributes).
    bool hasRow(std::uint32_t feature) const { return feature < count_ && readable(feature); }

    // A whole column; empty texts for features kept without attributes.
    std::shared_ptr<const TextColumn> column(int field) const;

    std::optional<std::vector<std::uint32_t>> filter(const std::vector<std::uint32_t>& features,
                                                     const QString& where, QString* error) const;

    std::int64_t fid(std::uint32_t feature) const {
        return fids_.empty() ? static_cast<std::int64_t>(feature) : fids_[feature];
    }
    const std::vector<std::int64_t>& fids() const { return fids_; }

private:
    bool unusable(int field) const;  // its values contradict its type: it is not read
    enum class Mode { Unset, AllFields, OneField };
    void useAllFields() const;
    // Reads a whole column from a layer of this table's file.
    std::shared_ptr<const TextColumn> readColumn(OGRLayer& layer, int field) const;

    bool readable(std::size_t feature) const {
        return limits_.withoutAttributes.empty() || limits_.withoutAttributes[feature] == 0;
    }

    std::shared_ptr<void> keepAlive_;  // outlives the dataset
    struct DatasetCloser {
        void operator()(GDALDataset* d) const;
    };
    std::unique_ptr<GDALDataset, DatasetCloser> dataset_;
    std::vector<std::int64_t> fids_;
    std::size_t count_ = 0;
    QStringList names_;
    AttributeLimits limits_;

    mutable std::mutex mutex_;
    mutable Mode mode_ = Mode::Unset;
    mutable std::vector<std::shared_ptr<const TextColumn>> columns_;
};

}  // namespace pelagon
