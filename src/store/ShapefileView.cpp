#include "store/ShapefileView.h"

#include <cpl_vsi.h>

#include <atomic>

#include "store/ShapefileCheck.h"

namespace pelagon {

ShapefileView::ShapefileView(const QString& baseName, Files files,
                             std::shared_ptr<ShapefileChecker> checker)
    : files_(std::move(files)), checker_(std::move(checker)) {
    static std::atomic<std::uint64_t> views{0};
    folder_ = QStringLiteral("/vsimem/pelagon-view-%1/").arg(views++);
    // A plain name: OGR finds the other files by the .shp's name.
    base_ = folder_ + (baseName.isEmpty() ? QStringLiteral("layer") : baseName);
    path_ = base_ + QStringLiteral(".shp");
    add(QStringLiteral("shp"), files_.shp.data(), files_.shp.size());
    add(QStringLiteral("shx"), reinterpret_cast<const std::byte*>(files_.shx.constData()),
        static_cast<std::size_t>(files_.shx.size()));
    if (!files_.dbf.empty()) {
        add(QStringLiteral("dbf"), files_.dbf.data(), files_.dbf.size());
    }
    if (!files_.cpg.isEmpty()) {
        add(QStringLiteral("cpg"), reinterpret_cast<const std::byte*>(files_.cpg.constData()),
            static_cast<std::size_t>(files_.cpg.size()));
    }
    if (!files_.prj.isEmpty()) {
        add(QStringLiteral("prj"), reinterpret_cast<const std::byte*>(files_.prj.constData()),
            static_cast<std::size_t>(files_.prj.size()));
    }
}

void ShapefileView::add(const QString& extension, const std::byte* data, std::size_t size) {
    static const std::byte empty[1] = {};
    const QByteArray name = (base_ + QLatin1Char('.') + extension).toUtf8();
    // The memory file only reads these bytes; GDAL's interface takes them as writable.
    VSILFILE* f = VSIFileFromMemBuffer(
        name.constData(),
        const_cast<GByte*>(reinterpret_cast<const GByte*>(size > 0 ? data : empty)),
        static_cast<vsi_l_offset>(size), FALSE);
    if (f != nullptr) {
        VSIFCloseL(f);
        made_.push_back(QString::fromUtf8(name));
    }
}

ShapefileView::~ShapefileView() {
    for (const QString& name : made_) {
        VSIUnlink(name.toUtf8().constData());
    }
    VSIRmdir(folder_.toUtf8().constData());
}

}  // namespace pelagon
