#include "store/AttributeTable.h"

#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogrsf_frmts.h>

#include "common/TextFile.h"
#include "store/GdalErrorCapture.h"
#include "store/TextColumn.h"

namespace pelagon {

namespace {

QString valueText(OGRFeature& f, int field) {
    if (!f.IsFieldSetAndNotNull(field)) {
        return {};
    }
    // OGR hands text over as UTF-8 when the file names its encoding; older files without one
    // are taken as Windows-1252, as the program's other text files are.
    return decodeText(QByteArray(f.GetFieldAsString(field)));
}

}  // namespace

void AttributeTable::DatasetCloser::operator()(GDALDataset* d) const {
    GDALClose(GDALDataset::ToHandle(d));
}

AttributeTable::AttributeTable(GDALDataset* dataset, std::vector<std::int64_t> fids,
                               std::size_t count, AttributeLimits limits,
                               std::shared_ptr<void> keepAlive)
    : keepAlive_(std::move(keepAlive)),
      dataset_(dataset),
      fids_(std::move(fids)),
      count_(count),
      limits_(std::move(limits)) {
    if (limits_.none) {
        return;  // no field is named, so none is asked for
    }
    OGRFeatureDefn* defn = dataset_->GetLayer(0)->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i) {
        // Names are decoded as the values are: a name in an older file without an encoding is
        // taken as Windows-1252 rather than shown with replacement characters.
        names_.append(decodeText(QByteArray(defn->GetFieldDefn(i)->GetNameRef())));
    }
    columns_.resize(static_cast<std::size_t>(names_.size()));
}

AttributeTable::~AttributeTable() = default;

bool AttributeTable::unusable(int field) const {
    return limits_.unusableFields.contains(names_[field], Qt::CaseInsensitive);
}

int AttributeTable::fieldIndex(const QString& name) const {
    if (limits_.unusableFields.contains(name, Qt::CaseInsensitive)) {
        return -1;
    }
    const auto exact = names_.indexOf(name);
    if (exact >= 0) {
        return static_cast<int>(exact);
    }
    // Field names of shapefiles are usually upper case while definitions are written by hand.
    for (qsizetype i = 0; i < names_.size(); ++i) {
        if (names_[i].compare(name, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void AttributeTable::useAllFields() const {
    if (mode_ == Mode::AllFields) {
        return;
    }
    const char* ignored[] = {"OGR_GEOMETRY", "OGR_STYLE", nullptr};
    dataset_->GetLayer(0)->SetIgnoredFields(ignored);
    mode_ = Mode::AllFields;
}

std::optional<QString> AttributeTable::text(std::uint32_t feature, int field) const {
    if (field < 0 || field >= names_.size() || feature >= count_ || !readable(feature) ||
        unusable(field)) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    if (columns_[static_cast<std::size_t>(field)]) {
        return columns_[static_cast<std::size_t>(field)]->text(feature).toString();
    }
    GdalErrorCapture quiet;
    useAllFields();
    OGRFeatureUniquePtr f(dataset_->GetLayer(0)->GetFeature(fid(feature)));
    if (!f) {
        return std::nullopt;
    }
    return valueText(*f, field);
}

std::shared_ptr<const TextColumn> AttributeTable::column(int field) const {
    if (field < 0 || field >= names_.size() || unusable(field)) {
        return nullptr;
    }
    const auto index = static_cast<std::size_t>(field);
    {
        std::lock_guard lock(mutex_);
        if (columns_[index]) {
            return columns_[index];
        }
    }
    // A whole column takes a while: it is read through a handle of its own, so that queries on
    // the shared one go on meanwhile. Should two threads both read it, the first result stays.
    std::shared_ptr<const TextColumn> read;
    {
        GdalErrorCapture quiet;
        // Opened as the shared one was: text read as it stands stays so.
        const char* noRecoding[] = {"ENCODING=", nullptr};
        GDALDatasetUniquePtr own(GDALDataset::Open(dataset_->GetDescription(),
                                                   GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr,
                                                   limits_.recode ? nullptr : noRecoding));
        if (own && own->GetLayerCount() > 0) {
            read = readColumn(*own->GetLayer(0), field);
        }
    }
    std::lock_guard lock(mutex_);
    if (!columns_[index]) {
        if (!read) {
            read = readColumn(*dataset_->GetLayer(0), field);
            mode_ = Mode::OneField;
        }
        columns_[index] = std::move(read);
    }
    return columns_[index];
}

// Reads one field of every feature in a single pass with every other field and the geometry
// skipped. Features come in file order, as at open, so the store's numbers are matched by
// walking both lists together; any left over are fetched one by one.
std::shared_ptr<const TextColumn> AttributeTable::readColumn(OGRLayer& source, int field) const {
    GdalErrorCapture quiet;
    OGRLayer* layer = &source;
    std::vector<QByteArray> names;
    std::vector<const char*> ignored;
    for (qsizetype i = 0; i < names_.size(); ++i) {
        if (i != field) {
            names.push_back(names_[i].toUtf8());
        }
    }
    for (const QByteArray& n : names) {
        ignored.push_back(n.constData());
    }
    ignored.push_back("OGR_GEOMETRY");
    ignored.push_back("OGR_STYLE");
    ignored.push_back(nullptr);
    layer->SetIgnoredFields(ignored.data());

    QString data;
    std::vector<std::uint32_t> offsets;
    offsets.reserve(count_ + 1);
    std::size_t next = 0;
    layer->ResetReading();
    while (next < count_) {
        OGRFeatureUniquePtr f(layer->GetNextFeature());
        if (!f) {
            break;
        }
        if (f->GetFID() != fid(next)) {
            continue;  // a feature without geometry, not in the store
        }
        offsets.push_back(static_cast<std::uint32_t>(data.size()));
        if (readable(next)) {
            data += valueText(*f, field);
        }
        ++next;
    }
    for (; next < count_; ++next) {
        offsets.push_back(static_cast<std::uint32_t>(data.size()));
        OGRFeatureUniquePtr f(readable(next) ? layer->GetFeature(fid(next)) : nullptr);
        if (f) {
            data += valueText(*f, field);
        }
    }
    offsets.push_back(static_cast<std::uint32_t>(data.size()));
    data.squeeze();
    return std::make_shared<const TextColumn>(std::move(data), std::move(offsets));
}

std::optional<std::vector<std::uint32_t>> AttributeTable::filter(
    const std::vector<std::uint32_t>& features, const QString& where, QString* error) const {
    std::lock_guard lock(mutex_);
    GdalErrorCapture capture;
    OGRLayer* layer = dataset_->GetLayer(0);
    OGRFeatureQuery query;
    if (query.Compile(layer, where.toUtf8().constData()) != OGRERR_NONE) {
        if (error != nullptr) {
            *error = QStringLiteral("The filter \"%1\" cannot be used: %2")
                         .arg(where, capture.text().isEmpty() ? QStringLiteral("invalid expression")
                                                              : capture.text());
        }
        return std::nullopt;
    }
    useAllFields();
    std::vector<std::uint32_t> out;
    for (std::uint32_t feature : features) {
        if (feature >= count_ || !readable(feature)) {
            continue;  // no attributes to match
        }
        OGRFeatureUniquePtr f(layer->GetFeature(fid(feature)));
        if (f && query.Evaluate(f.get())) {
            out.push_back(feature);
        }
    }
    return out;
}

}  // namespace pelagon
