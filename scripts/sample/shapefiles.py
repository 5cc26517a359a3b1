"""Writes one layer as a shapefile (.shp, .shx, .dbf, .prj, .cpg) that is the same on every run."""

import os

from osgeo import ogr

import geo

# The DBF header carries a "last update" date; a fixed one keeps reruns byte for byte equal.
DBF_DATE = "2024-06-01"

FIELD_TYPES = {"int": ogr.OFTInteger, "real": ogr.OFTReal, "text": ogr.OFTString}


def remove_shapefile(folder, name):
    for ext in (".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix"):
        path = os.path.join(folder, name + ext)
        if os.path.exists(path):
            os.remove(path)


def write_layer(folder, name, geom_type, fields, features):
    """fields: list of (name, kind, width, precision); features: list of (geometry, attributes)."""
    remove_shapefile(folder, name)
    driver = ogr.GetDriverByName("ESRI Shapefile")
    ds = driver.CreateDataSource(os.path.join(folder, name + ".shp"))
    layer = ds.CreateLayer(
        name,
        srs=geo.MAP_SRS,
        geom_type=geom_type,
        options=["ENCODING=UTF-8", "DBF_DATE_LAST_UPDATE=" + DBF_DATE, "SPATIAL_INDEX=NO"],
    )
    for field_name, kind, width, precision in fields:
        defn = ogr.FieldDefn(field_name, FIELD_TYPES[kind])
        defn.SetWidth(width)
        defn.SetPrecision(precision)
        layer.CreateField(defn)
    known = {f[0] for f in fields}
    for geom, attrs in features:
        unknown = set(attrs) - known
        if unknown:
            raise ValueError(f"{name}: attributes {sorted(unknown)} have no field")
        feature = ogr.Feature(layer.GetLayerDefn())
        for key, value in attrs.items():
            feature.SetField(key, value)
        feature.SetGeometry(geom)
        layer.CreateFeature(feature)
    # Dropping the last references closes the file, which writes the headers.
    layer = None
    ds = None
