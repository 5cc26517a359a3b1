"""Land polygons of the sample map from the Natural Earth land of the world-atlas package.

The world-atlas land is one multipolygon in geographic degrees whose rings run across the 180th
meridian (Chukotka, Wrangel Island, the western Aleutians): a ring jumps from +180 to -180 where
it crosses. Each ring is unwrapped into continuous longitudes, every polygon is moved by whole
turns into the window of the map, and the pieces are merged, so the land has no seam at 180.
"""

from osgeo import gdal, ogr

import geo

# Land polygons smaller than this (square kilometres) are left out: specks of a few pixels at
# any scale the sample is meant for.
MIN_ISLAND_KM2 = 0.05


def _unwrap(points, near=None):
    """Ring points with longitudes made continuous; moved by whole turns to start near `near`."""
    out = []
    offset = 0.0
    prev = None
    for x, y in points:
        if prev is not None:
            step = x + offset - prev
            if step > 180.0:
                offset -= 360.0
            elif step < -180.0:
                offset += 360.0
        prev = x + offset
        out.append((prev, y))
    if near is not None:
        turns = round((near - out[0][0]) / 360.0)
        out = [(x + 360.0 * turns, y) for x, y in out]
    return out


def _shifted_polygon(rings, shift):
    poly = ogr.Geometry(ogr.wkbPolygon)
    for pts in rings:
        ring = ogr.Geometry(ogr.wkbLinearRing)
        for x, y in pts:
            ring.AddPoint_2D(x + shift, y)
        poly.AddGeometry(ring)
    return poly


def _window_pieces(part, window, box):
    """The pieces of one geographic polygon inside the window, in window longitudes."""
    west, east, south, north = window
    env = part.GetEnvelope()
    if env[3] < south or env[2] > north:
        return []
    outer = _unwrap(part.GetGeometryRef(0).GetPoints())
    if abs(outer[-1][0] - outer[0][0]) > 1e-6:
        # A ring around a pole (Antarctica) cannot be unwrapped; none reaches these latitudes.
        raise ValueError("a land ring around a pole reaches the map window")
    rings = [outer]
    for j in range(1, part.GetGeometryCount()):
        rings.append(_unwrap(part.GetGeometryRef(j).GetPoints(), outer[0][0]))
    xmin = min(x for x, _ in outer)
    xmax = max(x for x, _ in outer)
    pieces = []
    for shift in (-720.0, -360.0, 0.0, 360.0):
        if xmax + shift < west or xmin + shift > east:
            continue
        poly = _shifted_polygon(rings, shift)
        # The validity test reports where a ring touches itself; the repair below is the answer.
        gdal.PushErrorHandler("CPLQuietErrorHandler")
        valid = poly.IsValid()
        gdal.PopErrorHandler()
        if not valid:
            # A few Natural Earth rings touch themselves; repair before clipping.
            poly = poly.MakeValid()
        pieces.extend(geo.polygons_of(poly.Intersection(box)))
    return pieces


def load_land(topojson_path, window, map_rect):
    """Land of the map rectangle as a list of map polygons, largest first."""
    ds = ogr.Open(topojson_path)
    if ds is None:
        raise RuntimeError(f"{topojson_path}: cannot be opened as TopoJSON")
    layer = ds.GetLayer(0)
    feature = layer.GetNextFeature()
    if feature is None:
        raise RuntimeError(f"{topojson_path}: holds no land feature")
    world = feature.GetGeometryRef()
    west, east, south, north = window
    box = geo.rectangle(west, east, south, north)
    pieces = []
    for i in range(world.GetGeometryCount()):
        pieces.extend(_window_pieces(world.GetGeometryRef(i), window, box))
    merged = geo.multipolygon(pieces).UnionCascaded()
    geo.project_geometry(merged)
    clipped = merged.Intersection(geo.rectangle(*map_rect))
    polys = [p for p in geo.polygons_of(clipped) if geo.area_km2(p) >= MIN_ISLAND_KM2]
    polys.sort(key=_order_key)
    return polys


def _order_key(poly):
    env = poly.GetEnvelope()
    return (-round(poly.GetArea()), round(env[0], 3), round(env[2], 3))

