"""Projection to the map's Albers plane and small geometry helpers over OGR."""

import math

from osgeo import ogr, osr

ogr.UseExceptions()
osr.UseExceptions()

# NAD83 / Alaska Albers: lat_0 50, lon_0 -154, standard parallels 55 and 65, no false origin.
MAP_EPSG = 3338
# Geographic NAD83 on the same ellipsoid, so the transformation is the projection alone.
LONLAT_EPSG = 4269

# Mean earth radius for the zones drawn around sites, metres.
EARTH_RADIUS = 6371008.8
METRES_PER_NM = 1852.0


def _srs(epsg):
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(epsg)
    srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return srs


MAP_SRS = _srs(MAP_EPSG)
LONLAT_SRS = _srs(LONLAT_EPSG)
_TO_MAP = osr.CoordinateTransformation(LONLAT_SRS, MAP_SRS)
_TO_LONLAT = osr.CoordinateTransformation(MAP_SRS, LONLAT_SRS)


def to_map(lon, lat):
    x, y, _ = _TO_MAP.TransformPoint(lon, lat)
    return x, y


def project_geometry(geom):
    """Projects a geographic geometry onto the map plane, in place."""
    geom.Transform(_TO_MAP)


def to_lonlat(x, y):
    """Longitude in -180..180 and latitude of a map point."""
    lon, lat, _ = _TO_LONLAT.TransformPoint(x, y)
    return lon, lat


def densify(points, step):
    """Points along a polyline with no gap wider than step (in the units of the points)."""
    out = [points[0]]
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        n = max(1, math.ceil(math.hypot(x1 - x0, y1 - y0) / step))
        for i in range(1, n + 1):
            t = i / n
            out.append((x0 + (x1 - x0) * t, y0 + (y1 - y0) * t))
    return out


def _ring(points):
    ring = ogr.Geometry(ogr.wkbLinearRing)
    for x, y in points:
        ring.AddPoint_2D(x, y)
    ring.CloseRings()
    return ring


def polygon(points):
    poly = ogr.Geometry(ogr.wkbPolygon)
    poly.AddGeometry(_ring(points))
    return poly


def line(points):
    geom = ogr.Geometry(ogr.wkbLineString)
    for x, y in points:
        geom.AddPoint_2D(x, y)
    return geom


def rectangle(left, right, bottom, top):
    return polygon([(left, bottom), (right, bottom), (right, top), (left, top)])


def project_points(lonlat_points, step_deg=0.1):
    """Map points of a geographic polyline, densified so that parallels bend as they should."""
    return [to_map(lon, lat) for lon, lat in densify(lonlat_points, step_deg)]


def lonlat_polygon(corners, step_deg=0.1):
    """The map polygon of a geographic outline (corners in order, not closed)."""
    closed = list(corners) + [corners[0]]
    return polygon(project_points(closed, step_deg))


def lonlat_line(points, step_deg=0.1):
    return line(project_points(points, step_deg))


def circle(lon, lat, radius_m, segments=72):
    """Map polygon of the points at radius_m from (lon, lat) along great circles."""
    d = radius_m / EARTH_RADIUS
    p1, l1 = math.radians(lat), math.radians(lon)
    pts = []
    for i in range(segments):
        bearing = 2.0 * math.pi * i / segments
        p2 = math.asin(math.sin(p1) * math.cos(d) + math.cos(p1) * math.sin(d) * math.cos(bearing))
        l2 = l1 + math.atan2(
            math.sin(bearing) * math.sin(d) * math.cos(p1),
            math.cos(d) - math.sin(p1) * math.sin(p2),
        )
        pts.append(to_map(math.degrees(l2), math.degrees(p2)))
    return polygon(pts)


def polygons_of(geom):
    """The polygons inside any geometry, collections included; lines and points are dropped."""
    if geom is None or geom.IsEmpty():
        return []
    kind = ogr.GT_Flatten(geom.GetGeometryType())
    if kind == ogr.wkbPolygon:
        return [geom.Clone()]
    if kind in (ogr.wkbMultiPolygon, ogr.wkbGeometryCollection):
        out = []
        for i in range(geom.GetGeometryCount()):
            out.extend(polygons_of(geom.GetGeometryRef(i)))
        return out
    return []


def lines_of(geom):
    if geom is None or geom.IsEmpty():
        return []
    kind = ogr.GT_Flatten(geom.GetGeometryType())
    if kind == ogr.wkbLineString:
        return [geom.Clone()]
    if kind in (ogr.wkbMultiLineString, ogr.wkbGeometryCollection):
        out = []
        for i in range(geom.GetGeometryCount()):
            out.extend(lines_of(geom.GetGeometryRef(i)))
        return out
    return []


def multipolygon(polys):
    multi = ogr.Geometry(ogr.wkbMultiPolygon)
    for p in polys:
        multi.AddGeometry(p)
    return multi


def area_km2(geom):
    return geom.GetArea() / 1e6


def drop_slivers(geom, min_km2):
    """The polygons of geom of at least min_km2, as one multipolygon."""
    return multipolygon([p for p in polygons_of(geom) if area_km2(p) >= min_km2])


def single_or_multi(geom):
    """A one-part multipolygon as a plain polygon, so simple features stay simple in the file."""
    parts = polygons_of(geom)
    if len(parts) == 1:
        return parts[0]
    return multipolygon(parts)
