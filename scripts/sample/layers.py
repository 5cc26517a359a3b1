"""Features of every layer of the sample map, in the map plane.

Each builder returns a list of (geometry, attributes) in a fixed order, so that the written files
are the same on every run.
"""

from osgeo import ogr

import areas
import geo
import places


def _point(x, y):
    pt = ogr.Geometry(ogr.wkbPoint)
    pt.AddPoint_2D(x, y)
    return pt


def _km2(geom):
    return round(geo.area_km2(geom), 1)


def sites():
    out = []
    for i, (name, kind, lon, lat) in enumerate(places.SITES, start=1):
        x, y = geo.to_map(lon, lat)
        lon180 = lon + 360.0 if lon < -180.0 else lon
        attrs = {"SITE_ID": i, "NAME": name, "KIND": kind, "LON": lon180, "LAT": lat}
        out.append((_point(x, y), attrs))
    return out


def rookeries():
    return [s for s in places.SITES if s[1] == places.ROOKERY]


def zones(radius_nm, rule):
    """A circle of radius_nm nautical miles around every rookery."""
    out = []
    for name, _, lon, lat in rookeries():
        geom = geo.circle(lon, lat, radius_nm * geo.METRES_PER_NM)
        attrs = {"SITE": name, "RADIUS_NM": radius_nm}
        if rule is not None:
            attrs["RULE"] = rule
        out.append((geom, attrs))
    return out


def convention_line(map_rect):
    rect = geo.rectangle(*map_rect)
    out = []
    for segment, points in (
        ("Arctic Ocean", places.CONVENTION_ARCTIC),
        ("Bering Sea", places.CONVENTION_BERING),
    ):
        clipped = geo.lines_of(geo.lonlat_line(points, 0.05).Intersection(rect))
        for piece in clipped:
            attrs = {
                "NAME": "Convention line of 1867",
                "SEGMENT": segment,
                "NAME_RU": "Линия Конвенции 1867 года",
            }
            out.append((piece, attrs))
    return out


def sea_outlines(outlines, land, map_rect, extra_field):
    """Geographic outlines as map polygons less the land: (name, extra, corners) each."""
    rect = geo.rectangle(*map_rect)
    out = []
    for name, extra, corners in outlines:
        geom = geo.lonlat_polygon(corners, 0.05).Difference(land).Intersection(rect)
        geom = geo.single_or_multi(geo.drop_slivers(geom, areas.MIN_PIECE_KM2))
        out.append((geom, {"NAME": name, extra_field: extra, "AREA_KM2": _km2(geom)}))
    return out


def management(area_geoms):
    out = []
    for name, code in places.AREAS:
        geom = geo.single_or_multi(area_geoms[code])
        out.append((geom, {"NAME": name, "CODE": code, "AREA_KM2": _km2(geom)}))
    return out


def statistical(area_geoms):
    names = {code: name for name, code in places.AREAS}
    out = []
    for code, area_name, geom in areas.stat_cells(area_geoms, names):
        geom = geo.single_or_multi(geom)
        out.append((geom, {"STAT_AREA": code, "MGMT_AREA": area_name, "AREA_KM2": _km2(geom)}))
    return out


def land_features(land_polys):
    return [
        (poly, {"LAND_ID": i, "AREA_KM2": _km2(poly)})
        for i, poly in enumerate(land_polys, start=1)
    ]
