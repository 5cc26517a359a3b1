#include "support/LayerFixtures.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <sstream>

namespace pelagon::test {

std::string writeShapefile(const QString& path, FixtureKind kind,
                           const std::vector<std::string>& fields,
                           const std::vector<FixtureFeature>& features,
                           const std::string& types) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    GDALDatasetUniquePtr ds(
        driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!ds) {
        return "cannot create " + path.toStdString();
    }
    const OGRwkbGeometryType type = kind == FixtureKind::Points        ? wkbPoint
                                    : kind == FixtureKind::MultiPoints ? wkbMultiPoint
                                    : kind == FixtureKind::Lines       ? wkbMultiLineString
                                                                       : wkbMultiPolygon;
    OGRLayer* layer = ds->CreateLayer("fixture", nullptr, type, nullptr);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const bool date = i < types.size() && types[i] == 'D';
        OGRFieldDefn def(fields[i].c_str(), date ? OFTDate : OFTString);
        def.SetWidth(date ? 8 : 32);
        layer->CreateField(&def);
    }
    for (const FixtureFeature& ff : features) {
        OGRFeatureUniquePtr f(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        for (std::size_t i = 0; i < ff.values.size(); ++i) {
            if (ff.values[i]) {
                f->SetField(static_cast<int>(i), ff.values[i]->c_str());
            } else {
                f->SetFieldNull(static_cast<int>(i));
            }
        }
        if (!ff.wkt.empty()) {
            OGRGeometry* g = nullptr;
            if (OGRGeometryFactory::createFromWkt(ff.wkt.c_str(), nullptr, &g) != OGRERR_NONE) {
                return "bad WKT " + ff.wkt;
            }
            f->SetGeometryDirectly(g);
        }
        if (layer->CreateFeature(f.get()) != OGRERR_NONE) {
            return "cannot write a feature";
        }
    }
    return {};
}

std::string squareWkt(double x0, double y0, double size) {
    std::ostringstream s;
    s.precision(17);
    s << "POLYGON((" << x0 << ' ' << y0 << ',' << x0 << ' ' << y0 + size << ',' << x0 + size << ' '
      << y0 + size << ',' << x0 + size << ' ' << y0 << ',' << x0 << ' ' << y0 << "))";
    return s.str();
}

}  // namespace pelagon::test
