#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace pelagon {

class ShapefileChecker;

// A shapefile as OGR is to read it when its own files cannot serve as they stand: the .shp as it
// is, the index rebuilt from it, the .dbf only when its header is sound, the .cpg only when its
// encoding can be read. The files lie in GDAL's memory file system without being copied (the
// .shp and .dbf stay mapped by the checker, which the view holds) and are removed when the view
// ends, so it must outlive the dataset opened on it.
class ShapefileView {
public:
    // The bytes of each file, null when the file is to be left out; the checker that maps them.
    struct Files {
        std::span<const std::byte> shp, dbf;
        QByteArray shx, cpg, prj;
        QByteArray dbfCopy;  // what dbf points to when it is not the mapped file
    };
    ShapefileView(const QString& baseName, Files files, std::shared_ptr<ShapefileChecker> checker);
    ~ShapefileView();
    ShapefileView(const ShapefileView&) = delete;
    ShapefileView& operator=(const ShapefileView&) = delete;

    // The .shp to open.
    const QString& path() const { return path_; }

private:
    void add(const QString& extension, const std::byte* data, std::size_t size);

    Files files_;
    std::shared_ptr<ShapefileChecker> checker_;
    QString folder_, base_, path_;
    std::vector<QString> made_;
};

}  // namespace pelagon
