"""Management areas and statistical areas: the sea of the map divided up.

The sea is the map rectangle less the land. Dividing lines (places.AREA_CUTS) are drawn across the
water where two areas meet; together with the coast they cut the sea into faces, and each face
goes to the area in which it lies. Areas therefore share their edges exactly and never cover land.
"""

from osgeo import ogr

import geo
import places

# Pieces of sea smaller than this (square kilometres) are dropped from an area: lagoons of a few
# hundred metres that the coarse land leaves behind.
MIN_PIECE_KM2 = 0.5
# Step along a dividing line when looking for its landfall, metres.
LANDFALL_STEP = 250.0


def _side_lon(points, lat):
    """Longitude of a north-south running polyline at a latitude (clamped at its ends)."""
    pts = sorted(points, key=lambda p: p[1])
    if lat <= pts[0][1]:
        return pts[0][0]
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        if y0 <= lat <= y1:
            if y1 == y0:
                return min(x0, x1)
            return x0 + (x1 - x0) * (lat - y0) / (y1 - y0)
    return pts[-1][0]


def _convention_lon(lat):
    if lat >= 65.5:
        return places.CONVENTION_ARCTIC[0][0]
    return _side_lon(places.CONVENTION_BERING, lat)


def _north_of_peninsula(lon, lat):
    pts = places.PENINSULA_SIDE
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        if x0 <= lon <= x1 and x1 != x0:
            return lat > y0 + (y1 - y0) * (lon - x0) / (x1 - x0)
    return lon < pts[0][0] or lon < pts[-1][0]


def classify(lon, lat):
    """Code of the management area at a geographic point of the sea, or None outside all."""
    if lon > -100.0:
        lon -= 360.0
    if lon < _convention_lon(lat):
        return None  # Russian waters
    if lat >= 65.5:
        return "AR" if lon <= -141.0 else None
    if lon > -136.0 and lat < 54.7:
        return None  # Canadian waters south of Dixon Entrance
    if lon < -170.0:
        return "AI" if lat < 55.5 else "BS"
    if _north_of_peninsula(lon, lat):
        return "BS"
    if lon < -159.0:
        return "WG"
    if lon < -147.0:
        return "CG"
    return "EG"


def _on_land(x, y, mainland):
    pt = ogr.Geometry(ogr.wkbPoint)
    pt.AddPoint_2D(x, y)
    return mainland.Contains(pt)


def _truncate_at_landfall(points, mainland):
    """Map points of a dividing line up to its first landfall on the mainland after open water.
    A line that starts on the mainland keeps its start there."""
    out = [points[0]]
    seen_water = not _on_land(*points[0], mainland)
    for a, b in zip(points, points[1:]):
        if not geo.line([a, b]).Intersects(mainland):
            out.append(b)
            seen_water = True
            continue
        for x, y in geo.densify([a, b], LANDFALL_STEP)[1:]:
            out.append((x, y))
            if not _on_land(x, y, mainland):
                seen_water = True
            elif seen_water:
                return out
    return out


def dividing_lines(mainland):
    lines = []
    for cut in places.AREA_CUTS:
        pts = geo.project_points(cut, 0.05)
        lines.append(geo.line(_truncate_at_landfall(pts, mainland)))
    lines.append(geo.lonlat_line(places.CONVENTION_ARCTIC))
    lines.append(geo.lonlat_line(places.CONVENTION_BERING))
    return lines


def management_areas(land_polys, map_rect):
    """{code: multipolygon} for every management area, from the land polygons (largest first)."""
    rect = geo.rectangle(*map_rect)
    land = geo.multipolygon(land_polys)
    sea = rect.Difference(land)
    mainland = land_polys[0]

    linework = ogr.Geometry(ogr.wkbMultiLineString)
    for poly in geo.polygons_of(sea):
        for i in range(poly.GetGeometryCount()):
            ring = poly.GetGeometryRef(i)
            linework.AddGeometry(geo.line(ring.GetPoints()))
    for cut in dividing_lines(mainland):
        clipped = geo.lines_of(cut.Intersection(rect))
        for piece in clipped:
            linework.AddGeometry(piece)
    # Union of the linework with itself nodes it at every crossing, as polygonizing needs.
    noded = linework.Union(linework)
    faces = geo.polygons_of(noded.Polygonize())

    pieces = {code: [] for _, code in places.AREAS}
    for face in faces:
        inner = face.PointOnSurface()
        if land.Contains(inner):
            continue
        lon, lat = geo.to_lonlat(inner.GetX(), inner.GetY())
        code = classify(lon, lat)
        if code is not None:
            pieces[code].append(face)
    result = {}
    for code, faces_of_area in pieces.items():
        merged = geo.multipolygon(faces_of_area).UnionCascaded()
        result[code] = geo.drop_slivers(merged.Intersection(sea), MIN_PIECE_KM2)
    return result


def stat_code(lon_east_edge, lat_south_edge):
    """Six-digit number of a cell: west longitude of its east edge less 100, degrees and
    minutes of its south edge. The cell 166 W to 165 W, 54 30 N to 55 N is 655430."""
    west = round(-lon_east_edge) - 100
    degrees = int(lat_south_edge)
    minutes = round((lat_south_edge - degrees) * 60)
    return west * 10000 + degrees * 100 + minutes


def stat_cells(areas, names):
    """Grid cells over the management areas: list of (code, area name, geometry), by code."""
    envelopes = {code: geom.GetEnvelope() for code, geom in areas.items()}
    cells = []
    lat_steps = int((places.STAT_NORTH - places.STAT_SOUTH) * 2)
    for lon in range(places.STAT_WEST, places.STAT_EAST):
        for k in range(lat_steps):
            lat = places.STAT_SOUTH + k * 0.5
            cell = geo.lonlat_polygon(
                [(lon, lat), (lon + 1, lat), (lon + 1, lat + 0.5), (lon, lat + 0.5)], 0.25
            )
            cx0, cx1, cy0, cy1 = cell.GetEnvelope()
            parts = []
            for code, geom in areas.items():
                ex0, ex1, ey0, ey1 = envelopes[code]
                if cx1 < ex0 or cx0 > ex1 or cy1 < ey0 or cy0 > ey1:
                    continue
                piece = geo.drop_slivers(cell.Intersection(geom), MIN_PIECE_KM2)
                if not piece.IsEmpty():
                    parts.append((piece.GetArea(), code, piece))
            if not parts:
                continue
            parts.sort(key=lambda p: (-p[0], p[1]))
            merged = geo.multipolygon(
                [poly for _, _, piece in parts for poly in geo.polygons_of(piece)]
            ).UnionCascaded()
            cells.append((stat_code(lon + 1, lat), names[parts[0][1]], merged))
    cells.sort(key=lambda c: c[0])
    return cells
