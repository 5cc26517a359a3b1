"""Checks a built sample map folder: formats, layers, positions, pages and documents.

    check_sample.py MAP_FOLDER [unittest options]

The expectations are written out here on their own, from what the viewer needs of a map folder and
what the sample promises; they do not reuse the builder's tables.
"""

import math
import os
import re
import subprocess
import sys
import unittest
from html.parser import HTMLParser

from osgeo import ogr

ogr.UseExceptions()

FOLDER = None  # set by main()

MAP_RECT = (-2600000.0, 1700000.0, 250000.0, 2500000.0)
MAX_FOLDER_BYTES = 10 * 1024 * 1024

# The layer table of the sample: definition fields, then geometry, feature count range, fields.
POINT, LINE, POLY = ogr.wkbPoint, ogr.wkbLineString, ogr.wkbPolygon
EXPECTED_LAYERS = [
    # name, query, visible, file, doc, colour, border, style, label, caption, field,
    # geometry, (min, max) features, attribute fields
    ("Statistical areas", 2, True, "statareas", "", "200.225.255", "255.255.255", 0, "STAT_AREA",
     "Stat area", "STAT_AREA", POLY, (1000, 3000), ["STAT_AREA", "MGMT_AREA", "AREA_KM2"]),
    ("Land", 0, True, "land", "", "230.220.170", "", 0, "", "", "", POLY, (100, 2000),
     ["LAND_ID", "AREA_KM2"]),
    ("Management areas", 2, True, "mgmtareas", "", "0.0.160", "0.0.160", 1, "NAME",
     "Management area", "NAME", POLY, (6, 6), ["NAME", "CODE", "AREA_KM2"]),
    ("Foraging buffers (20 nm)", 2, False, "foraging", "", "192.192.192", "128.128.128", 8, "",
     "Foraging area of", "SITE", POLY, (10, 30), ["SITE", "RADIUS_NM"]),
    ("Habitat conservation areas", 1, True, "habitat", "docs/HabitatAreas.htm", "0.128.0",
     "0.96.0", 2, "NAME", "", "", POLY, (3, 3), ["NAME", "RULE", "AREA_KM2"]),
    ("Crab protection areas", 1, True, "crabareas", "CrabAreas.htm", "160.32.240", "80.0.160",
     3, "NAME", "", "", POLY, (3, 3), ["NAME", "SPECIES", "AREA_KM2"]),
    ("Trawl closures (10 nm)", 1, True, "closures", "docs\\TrawlClosures.pdf", "255.128.0", "",
     5, "", "", "", POLY, (10, 30), ["SITE", "RADIUS_NM", "RULE"]),
    ("No-transit zones (3 nm)", 3, True, "notransit", "NoTransit.htm", "220.0.0", "160.0.0",
     7, "", "", "", POLY, (10, 30), ["SITE", "RADIUS_NM", "RULE"]),
    ("Convention line of 1867", 2, True, "convline", "", "128.0.128", "128.0.128", 0, "", "Boundary",
     "NAME", LINE, (2, 2), ["NAME", "SEGMENT", "NAME_RU"]),
    ("Sites", 2, True, "sites", "", "200.0.0", "", 0, "NAME", "Site", "NAME",
     POINT, (20, 60), ["SITE_ID", "NAME", "KIND", "LON", "LAT"]),
]

MGMT_NAMES = {
    "Aleutian Islands", "Bering Sea", "Western Gulf of Alaska", "Central Gulf of Alaska",
    "Eastern Gulf of Alaska", "Arctic",
}

# What lies at some geographic points: layer file, attribute, expected value (None: no feature).
# Longitudes below -180 lie east of the 180th meridian.
POINT_CASES = [
    ("open Bering Sea", -174.5, 58.25, [("mgmtareas", "NAME", "Bering Sea"),
                                         ("statareas", "STAT_AREA", 745800),
                                        ("land", "LAND_ID", None)]),
    ("south of Adak", -176.5, 51.2, [("mgmtareas", "NAME", "Aleutian Islands"),
                                      ("statareas", "MGMT_AREA", "Aleutian Islands")]),
    ("Aleutians west of 180", -182.5, 51.6, [("mgmtareas", "NAME", "Aleutian Islands")]),
    ("Shumagin waters", -160.0, 54.5, [("mgmtareas", "NAME", "Western Gulf of Alaska")]),
    ("off Kodiak", -150.5, 57.25, [("mgmtareas", "NAME", "Central Gulf of Alaska"),
                                   ("statareas", "STAT_AREA", 505700)]),
    ("off Sitka", -137.0, 56.5, [("mgmtareas", "NAME", "Eastern Gulf of Alaska")]),
    ("Chukchi Sea", -167.0, 69.0, [("mgmtareas", "NAME", "Arctic")]),
    ("Bristol Bay", -160.0, 58.0, [("mgmtareas", "NAME", "Bering Sea")]),
    ("Cook Inlet", -152.0, 60.0, [("mgmtareas", "NAME", "Central Gulf of Alaska")]),
    ("Russian waters", -178.0, 64.0, [("mgmtareas", "NAME", None), ("statareas", "STAT_AREA",
                                                                      None)]),
    ("Hecate Strait", -131.0, 53.0, [("mgmtareas", "NAME", None)]),
    ("inland Alaska", -150.0, 64.0, [("land", "LAND_ID", 1), ("mgmtareas", "NAME", None),
                                     ("statareas", "STAT_AREA", None)]),
    ("Chukotka", -185.0, 66.0, [("mgmtareas", "NAME", None)]),
    ("Bowers Ridge across 180", -180.2, 54.4, [("habitat", "NAME", "Bowers Ridge Habitat Area")]),
    ("Pribilof habitat", -170.8, 56.8, [("habitat", "NAME", "Pribilof Islands Habitat Area")]),
    ("Red king crab area", -163.0, 56.5, [("crabareas", "NAME", "Red King Crab Savings Area")]),
    ("Marmot Island", -151.85, 58.20, [("notransit", "SITE", "Marmot Island"),
                                       ("closures", "SITE", "Marmot Island"),
                                       ("foraging", "SITE", "Marmot Island")]),
    ("8 nm east of Marmot", -151.60, 58.20, [("notransit", "SITE", None),
                                             ("closures", "SITE", "Marmot Island")]),
    ("18 nm east of Marmot", -151.28, 58.20, [("closures", "SITE", None),
                                              ("foraging", "SITE", "Marmot Island")]),
]

# Sites that each region must enclose.
REGION_SITES = [
    ("Aleutian Islands", ["Attu Island", "Adak", "Atka", "Dutch Harbor"]),
    ("Bering Sea", ["St. Paul", "Nome", "Dutch Harbor"]),
    ("Gulf of Alaska", ["Kodiak", "Seward", "Cordova", "Yakutat", "Chirikof Island"]),
    ("Kodiak", ["Kodiak"]),
    ("Southeast Alaska", ["Juneau", "Sitka", "Ketchikan", "Petersburg"]),
    ("Pribilof Islands", ["St. Paul", "Walrus Island"]),
    ("Norton Sound", ["Nome", "Unalakleet"]),
    ("Bristol Bay", ["Naknek", "Dillingham"]),
    ("Prince William Sound", ["Cordova", "Seal Rocks"]),
    ("Cook Inlet", ["Homer"]),
    ("Chukchi Sea", ["Kotzebue"]),
]

# Words the help page must explain: the toolbar captions and the other controls and messages.
HELP_TERMS = [
    "Full Extent", "Zoom In", "Zoom Out", "Last Extent", "Pan", "Fish Tool", "Print", "Measure",
    "Aleutian Islands", "Bering Sea", "Gulf of Alaska", "Available Layers", "Zoom to site:",
    "Zoom to region:", "Regulations", "Info", "Distance", "nautical miles", "No layers found.",
    "Layers present at:", "scroll bar", "status line", "printer dialog", "Finding layers ...",
]


def path(*parts):
    return os.path.join(FOLDER, *parts)


def read_bytes(*parts):
    with open(path(*parts), "rb") as f:
        return f.read()


def text_lines(*parts):
    """Lines of a CR LF text file, UTF-8."""
    return read_bytes(*parts).decode("utf-8").split("\r\n")[:-1]


def parse_definition():
    lines = text_lines("Alaska.mv")
    records = []
    for line in lines[1:]:
        if not line.strip():
            break
        f = (line.strip().split(",") + [""] * 11)[:11]
        records.append(f)
    return lines[0], records


# The viewer's inverse of the map projection, as the map folder's ProjPars.alb feeds it.
PI = 3.14159265358979
SEMI_MAJOR = 6378137.0
ECC = 0.0818192214555232


def _albers_m(phi):
    return math.cos(phi) / math.sqrt(1 - (ECC * math.sin(phi)) ** 2)


def _albers_q(phi):
    s = math.sin(phi)
    return (1 - ECC * ECC) * (
        s / (1 - (ECC * s) ** 2) - (1 / (2 * ECC)) * math.log((1 - ECC * s) / (1 + ECC * s))
    )


class Albers:
    def __init__(self, lon0, lat0, lat1, lat2):
        rad = lambda d: d * PI / 180
        p0, p1, p2 = rad(lat0), rad(lat1), rad(lat2)
        m1, m2 = _albers_m(p1), _albers_m(p2)
        q0, q1, q2 = _albers_q(p0), _albers_q(p1), _albers_q(p2)
        self.lon0 = lon0
        self.n = (m1 * m1 - m2 * m2) / (q2 - q1)
        self.c = m1 * m1 + self.n * q1
        self.rho0 = SEMI_MAJOR * math.sqrt(self.c - self.n * q0) / self.n

    def to_lonlat(self, x, y):
        rho = math.sqrt(x * x + (self.rho0 - y) ** 2)
        theta = math.atan(x / (self.rho0 - y)) * 180 / PI
        q = (self.c - (rho * self.n / SEMI_MAJOR) ** 2) / self.n
        half = q / 2
        phi = math.atan(half / math.sqrt(1 - half * half)) * 180 / PI
        for _ in range(100):
            pr = PI / 180 * phi
            s = math.sin(pr)
            w = 1 - 0.00669438 * s * s
            t = q / 0.99330562 - s / w + (1 / 0.1636384429110464) * math.log(
                (1 - 0.0818192214555232 * s) / (1 + 0.0818192214555232 * s)
            )
            new = w * w / (2 * math.cos(pr)) * t * 180 / PI + phi
            done = abs(phi - new) <= 1e-7
            phi = new
            if done:
                break
        lon = theta / self.n + self.lon0
        if lon < -180:
            lon += 360
        return lon, phi


def projection():
    values = [float(v) for v in text_lines("ProjPars.alb")[:4]]
    return Albers(*values)


def open_layer(name):
    ds = ogr.Open(path("Shapefiles", name + ".shp"))
    return ds, ds.GetLayer(0)


def features(name):
    ds, layer = open_layer(name)
    out = []
    for feat in layer:
        attrs = {layer.GetLayerDefn().GetFieldDefn(i).GetName(): feat.GetField(i)
                 for i in range(feat.GetFieldCount())}
        out.append((feat.GetGeometryRef().Clone(), attrs))
    return out


_TO_MAP = []


def map_point(lon, lat):
    """Map point of a geographic position, projected as the land layer's .prj file says."""
    if not _TO_MAP:
        from osgeo import osr

        src = osr.SpatialReference()
        src.ImportFromEPSG(4269)
        src.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
        _, layer = open_layer("land")
        dst = layer.GetSpatialRef().Clone()
        dst.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
        _TO_MAP.append(osr.CoordinateTransformation(src, dst))
    x, y, _ = _TO_MAP[0].TransformPoint(lon, lat)
    pt = ogr.Geometry(ogr.wkbPoint)
    pt.AddPoint_2D(x, y)
    return pt


def polygon_area(geom):
    """Area of the polygons in a geometry; an overlay may also return shared edges and points."""
    kind = ogr.GT_Flatten(geom.GetGeometryType())
    if kind in (ogr.wkbPolygon, ogr.wkbMultiPolygon):
        return geom.GetArea()
    if kind == ogr.wkbGeometryCollection:
        return sum(polygon_area(geom.GetGeometryRef(i)) for i in range(geom.GetGeometryCount()))
    return 0.0


def sites():
    rows = [line.split(",") for line in text_lines("SSL_Locs.csv")[1:]]
    return {r[0]: (float(r[1]), float(r[2]), float(r[3]), float(r[4])) for r in rows}


def regions():
    rows = [line.split(",") for line in text_lines("Regions.csv")[1:]]
    return [(r[0], float(r[1]), float(r[2]), float(r[3]), float(r[4])) for r in rows]


class TextFiles(unittest.TestCase):
    def test_line_ends_are_crlf_and_text_is_utf8(self):
        files = ["Alaska.mv", "ProjPars.alb", "SSL_Locs.csv", "Regions.csv"]
        for root, _, names in os.walk(path("HTML")):
            files += [os.path.relpath(os.path.join(root, n), FOLDER) for n in names
                      if n.endswith((".htm", ".css"))]
        for name in files:
            with self.subTest(file=name):
                data = read_bytes(name)
                data.decode("utf-8")
                self.assertTrue(data.endswith(b"\r\n"))
                self.assertNotRegex(data, rb"(?<!\r)\n")
                self.assertNotRegex(data, rb"\r(?!\n)")

    def test_projection_parameters(self):
        self.assertEqual(read_bytes("ProjPars.alb"), b"-154\r\n50\r\n55\r\n65\r\n")

    def test_inverse_projection_matches_worked_examples(self):
        albers = projection()
        self.assertAlmostEqual(albers.n, 0.8627446127734, places=12)
        self.assertAlmostEqual(albers.rho0, 4804031.3505, places=3)
        for x, y, lon, lat in [(0, 0, -154.0, 49.9999998),
                               (100000, 200000, -152.557772, 51.800639),
                               (1000000, 1000000, -136.928183, 57.839149),
                               (-2200000, 600000, 173.981965, 50.536228)]:
            with self.subTest(x=x, y=y):
                got = albers.to_lonlat(x, y)
                self.assertAlmostEqual(got[0], lon, places=6)
                self.assertAlmostEqual(got[1], lat, places=6)


class MapDefinition(unittest.TestCase):
    def test_records_match_the_layer_table(self):
        header, records = parse_definition()
        self.assertEqual(header.split(",")[0], "Name")
        self.assertEqual(len(records), len(EXPECTED_LAYERS))
        for rec, exp in zip(records, EXPECTED_LAYERS):
            with self.subTest(layer=exp[0]):
                expected = [exp[0], str(exp[1]), "True" if exp[2] else "False", exp[3], exp[4],
                            exp[5], exp[6], str(exp[7]), exp[8], exp[9], exp[10]]
                self.assertEqual(rec, expected)

    def test_every_layer_line_has_eleven_fields_and_no_blank_line_before_the_end(self):
        lines = text_lines("Alaska.mv")
        self.assertTrue(8 <= len(lines) - 1 <= 12)
        for line in lines[1:]:
            with self.subTest(line=line):
                self.assertEqual(len(line.split(",")), 11)
                self.assertEqual(line, line.strip())

    def test_symbology_covers_the_styles_the_viewer_draws(self):
        _, records = parse_definition()
        styles = {int(r[7]) for r in records}
        self.assertIn(0, styles)
        self.assertIn(1, styles)
        self.assertTrue(styles & set(range(2, 8)))
        self.assertTrue(styles & {8, 9, 10})
        self.assertTrue(any(r[6] == "" for r in records))
        self.assertTrue(any(r[6] != "" for r in records))
        self.assertEqual([r[0] for r in records if r[2] == "False"], ["Foraging buffers (20 nm)"])
        for r in records:
            for colour in filter(None, (r[5], r[6])):
                parts = colour.split(".")
                self.assertEqual(len(parts), 3, colour)
                self.assertTrue(all(0 <= int(p) <= 255 for p in parts), colour)

    def test_grid_and_land_come_first_and_points_and_lines_last(self):
        # Each layer added is drawn over the ones before it.
        _, records = parse_definition()
        kinds = []
        for r in records:
            _, layer = open_layer(r[3])
            kinds.append(ogr.GT_Flatten(layer.GetGeomType()))
        last_poly = len(kinds) - 1 - kinds[::-1].index(POLY)
        self.assertTrue(all(k == POLY for k in kinds[:last_poly + 1]))
        self.assertTrue(all(k != POLY for k in kinds[last_poly + 1:]))
        self.assertEqual([r[3] for r in records[:2]], ["statareas", "land"])

    def test_documents_exist_and_one_is_a_pdf(self):
        _, records = parse_definition()
        docs = [r[4] for r in records if int(r[1]) > 0 and int(r[1]) != 2]
        self.assertEqual(len(docs), 4)
        for doc in docs:
            with self.subTest(doc=doc):
                self.assertTrue(os.path.isfile(path("HTML", doc.replace("\\", "/"))))
        self.assertTrue(any(d.lower().endswith(".pdf") for d in docs))

    def test_query_and_label_fields_exist_in_their_layers(self):
        _, records = parse_definition()
        for r in records:
            _, layer = open_layer(r[3])
            defn = layer.GetLayerDefn()
            names = {defn.GetFieldDefn(i).GetName() for i in range(defn.GetFieldCount())}
            with self.subTest(layer=r[0]):
                if r[8]:
                    self.assertIn(r[8], names)
                if int(r[1]) == 2:
                    self.assertIn(r[10], names)
                    self.assertTrue(r[9])


class Shapefiles(unittest.TestCase):
    def test_each_layer_has_all_its_files_and_the_expected_content(self):
        for exp in EXPECTED_LAYERS:
            name, geom_type, (lo, hi), fields = exp[3], exp[11], exp[12], exp[13]
            with self.subTest(layer=name):
                for ext in (".shp", ".shx", ".dbf", ".prj", ".cpg"):
                    self.assertTrue(os.path.isfile(path("Shapefiles", name + ext)), ext)
                self.assertEqual(read_bytes("Shapefiles", name + ".cpg").strip(), b"UTF-8")
                _, layer = open_layer(name)
                self.assertEqual(ogr.GT_Flatten(layer.GetGeomType()), geom_type)
                self.assertTrue(lo <= layer.GetFeatureCount() <= hi, layer.GetFeatureCount())
                defn = layer.GetLayerDefn()
                got = [defn.GetFieldDefn(i).GetName() for i in range(defn.GetFieldCount())]
                self.assertEqual(got, fields)

    def test_projection_file_names_the_map_plane(self):
        for exp in EXPECTED_LAYERS:
            with self.subTest(layer=exp[3]):
                _, layer = open_layer(exp[3])
                srs = layer.GetSpatialRef()
                self.assertEqual(srs.GetAttrValue("PROJECTION").lower(), "albers_conic_equal_area")
                for param, value in (("central_meridian", -154), ("latitude_of_origin", 50),
                                     ("standard_parallel_1", 55), ("standard_parallel_2", 65),
                                     ("false_easting", 0), ("false_northing", 0)):
                    self.assertEqual(srs.GetProjParm(param), value, param)

    def test_geometries_are_valid_and_inside_the_map(self):
        left, right, bottom, top = MAP_RECT
        for exp in EXPECTED_LAYERS:
            with self.subTest(layer=exp[3]):
                for geom, attrs in features(exp[3]):
                    self.assertFalse(geom.IsEmpty(), attrs)
                    self.assertTrue(geom.IsValid(), attrs)
                    x0, x1, y0, y1 = geom.GetEnvelope()
                    self.assertTrue(left - 1 <= x0 and x1 <= right + 1, attrs)
                    self.assertTrue(bottom - 1 <= y0 and y1 <= top + 1, attrs)

    def test_text_outside_ascii_is_stored_as_utf8(self):
        for name, field, value in [("sites", "NAME", "Utqiaġvik"),
                                   ("convline", "NAME_RU", "Линия Конвенции 1867 года")]:
            with self.subTest(layer=name):
                self.assertIn(value, [a[field] for _, a in features(name)])
                self.assertIn(value.encode("utf-8"), read_bytes("Shapefiles", name + ".dbf"))

    def test_what_lies_at_known_points(self):
        cache = {}
        for label, lon, lat, expectations in POINT_CASES:
            pt = map_point(lon, lat)
            for layer, field, value in expectations:
                with self.subTest(point=label, layer=layer):
                    if layer not in cache:
                        cache[layer] = features(layer)
                    hits = [a[field] for g, a in cache[layer] if g.Intersects(pt)]
                    if value is None:
                        self.assertEqual(hits, [])
                    else:
                        self.assertEqual(hits[:1], [value])

    def test_management_areas_tile_the_sea_without_overlap(self):
        areas = features("mgmtareas")
        self.assertEqual({a["NAME"] for _, a in areas}, MGMT_NAMES)
        land = ogr.Geometry(ogr.wkbMultiPolygon)
        for g, _ in features("land"):
            land.AddGeometry(g)
        for i, (g, a) in enumerate(areas):
            with self.subTest(area=a["NAME"]):
                self.assertLess(polygon_area(g.Intersection(land)), 1e6)
                for g2, a2 in areas[i + 1:]:
                    self.assertLess(polygon_area(g.Intersection(g2)), 1e6, a2["NAME"])

    def test_statistical_areas_are_numbered_by_their_cell(self):
        cells = features("statareas")
        codes = [a["STAT_AREA"] for _, a in cells]
        self.assertEqual(len(codes), len(set(codes)))
        albers = projection()
        for geom, a in cells:
            code = a["STAT_AREA"]
            with self.subTest(code=code):
                self.assertIn(a["MGMT_AREA"], MGMT_NAMES)
                east = -(code // 10000 + 100)
                south = (code // 100) % 100 + (code % 100) / 60.0
                self.assertIn(code % 100, (0, 30))
                inner = geom.PointOnSurface()
                lon, lat = albers.to_lonlat(inner.GetX(), inner.GetY())
                if lon > 0:
                    lon -= 360
                self.assertTrue(east - 1 - 1e-6 <= lon <= east + 1e-6, (lon, lat))
                self.assertTrue(south - 1e-6 <= lat <= south + 0.5 + 1e-6, (lon, lat))

    def test_statistical_areas_cover_the_management_areas(self):
        total_mgmt = sum(g.GetArea() for g, _ in features("mgmtareas"))
        total_stat = sum(g.GetArea() for g, _ in features("statareas"))
        self.assertAlmostEqual(total_stat / total_mgmt, 1.0, delta=0.001)

    def test_zones_grow_outward_around_each_rookery(self):
        radii = {}
        for layer in ("notransit", "closures", "foraging"):
            for g, a in features(layer):
                radii.setdefault(a["SITE"], []).append((a["RADIUS_NM"], g))
        for site, zones in radii.items():
            with self.subTest(site=site):
                self.assertEqual([r for r, _ in zones], [3, 10, 20])
                for r, g in zones:
                    area_nm2 = g.GetArea() / 1852.0**2
                    self.assertAlmostEqual(area_nm2 / (math.pi * r * r), 1.0, delta=0.02)
                self.assertTrue(zones[1][1].Contains(zones[0][1]))
                self.assertTrue(zones[2][1].Contains(zones[1][1]))


class Places(unittest.TestCase):
    def test_sites_read_back_to_their_longitude_and_latitude(self):
        albers = projection()
        listed = sites()
        self.assertGreaterEqual(len(listed), 20)
        self.assertEqual(text_lines("SSL_Locs.csv")[0].split(",")[:3], ["Name", "X", "Y"])
        points = {a["NAME"]: (g, a) for g, a in features("sites")}
        self.assertEqual(set(points), set(listed))
        for name, (x, y, lon, lat) in listed.items():
            with self.subTest(site=name):
                got_lon, got_lat = albers.to_lonlat(x, y)
                self.assertAlmostEqual(got_lon, lon, delta=2e-5)
                self.assertAlmostEqual(got_lat, lat, delta=2e-5)
                g, a = points[name]
                self.assertAlmostEqual(g.GetX(), x, delta=0.5)
                self.assertAlmostEqual(g.GetY(), y, delta=0.5)
                self.assertAlmostEqual(a["LON"], lon, places=4)
                self.assertAlmostEqual(a["LAT"], lat, places=4)

    def test_sites_are_on_the_coast(self):
        land = [g for g, _ in features("land")]
        for g, a in features("sites"):
            with self.subTest(site=a["NAME"]):
                # Rookeries may be islets too small for the land data, ports are on it.
                limit = 3000.0 if a["KIND"] == "Port" else 50000.0
                self.assertLess(min(p.Distance(g) for p in land), limit)

    def test_regions_start_with_the_three_presets_and_enclose_their_sites(self):
        rows = regions()
        self.assertEqual([r[0] for r in rows[:3]],
                         ["Aleutian Islands", "Bering Sea", "Gulf of Alaska"])
        self.assertEqual([r[0] for r in rows], [r[0] for r in REGION_SITES])
        listed = sites()
        for (name, left, right, bottom, top), (_, inside) in zip(rows, REGION_SITES):
            with self.subTest(region=name):
                self.assertLess(left, right)
                self.assertLess(bottom, top)
                for site in inside:
                    x, y = listed[site][:2]
                    self.assertTrue(left < x < right and bottom < y < top, site)


class _Links(HTMLParser):
    def __init__(self):
        super().__init__()
        self.links, self.anchors = [], set()

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for key in ("href", "src"):
            if a.get(key):
                self.links.append(a[key])
        for key in ("name", "id"):
            if a.get(key):
                self.anchors.add(a[key])


def parse_page(file):
    parser = _Links()
    parser.feed(read_bytes(file).decode("utf-8"))
    return parser


class Pages(unittest.TestCase):
    def pages(self):
        out = []
        for root, _, names in os.walk(path("HTML")):
            out += [os.path.relpath(os.path.join(root, n), FOLDER) for n in sorted(names)
                    if n.endswith(".htm")]
        return sorted(out)

    def test_every_relative_link_reaches_a_file_and_anchor(self):
        for page in self.pages():
            for link in parse_page(page).links:
                with self.subTest(page=page, link=link):
                    self.assertNotRegex(link, r"^[a-z]+:|^/")
                    target, _, anchor = link.partition("#")
                    file = (os.path.normpath(os.path.join(os.path.dirname(page), target))
                            if target else page)
                    self.assertTrue(os.path.isfile(path(file)), file)
                    if anchor:
                        self.assertIn(anchor, parse_page(file).anchors)

    def test_every_page_is_marked_as_sample_content(self):
        for page in self.pages():
            with self.subTest(page=page):
                self.assertIn("Sample content", read_bytes(page).decode("utf-8"))
        self.assertIn("Sample content: not real regulations",
                      read_bytes("HTML", "Regs.htm").decode("utf-8"))

    def test_help_page_has_the_fish_tool_anchor_and_explains_every_control(self):
        text = read_bytes("HTML", "MapHelp.htm").decode("utf-8")
        self.assertRegex(text, r'<a name="FishTool" id="FishTool">')
        plain = re.sub(r"<[^>]+>", "", text).replace("&deg;", "°")
        for term in HELP_TERMS:
            with self.subTest(term=term):
                self.assertIn(term, plain)

    def test_pdf_is_well_formed(self):
        data = read_bytes("HTML", "docs", "TrawlClosures.pdf")
        self.assertTrue(data.startswith(b"%PDF-1."))
        self.assertTrue(data.rstrip().endswith(b"%%EOF"))
        xref_at = int(re.search(rb"startxref\n(\d+)\n%%EOF", data).group(1))
        self.assertTrue(data[xref_at:].startswith(b"xref\n"))
        table = data[xref_at:].split(b"trailer")[0].split(b"\n")
        count = int(table[1].split()[1])
        for obj_id in range(1, count):
            offset = int(table[2 + obj_id][:10])
            with self.subTest(obj=obj_id):
                self.assertTrue(data[offset:].startswith(f"{obj_id} 0 obj".encode()))
        for length, stream in re.findall(rb"/Length (\d+) >>\nstream\n(.*?)endstream", data,
                                         re.S):
            self.assertEqual(int(length), len(stream))
        try:
            text = subprocess.run(["pdftotext", path("HTML", "docs", "TrawlClosures.pdf"), "-"],
                                  capture_output=True, check=True, text=True).stdout
        except FileNotFoundError:
            self.skipTest("pdftotext is not installed")
        self.assertIn("SAMPLE CONTENT", text)
        self.assertIn("Marmot Island", text)


class Folder(unittest.TestCase):
    def test_folder_holds_only_the_map_and_stays_small(self):
        # The viewer writes its query page into the map folder; that file is not part of the map.
        written_by_viewer = "drillID_results.htm"
        total = 0
        for root, _, names in os.walk(FOLDER):
            for n in names:
                if root == FOLDER and n == written_by_viewer:
                    continue
                with self.subTest(file=n):
                    self.assertFalse(n.endswith((".qix", ".sbn", ".sbx", ".png")))
                total += os.path.getsize(os.path.join(root, n))
        self.assertLess(total, MAX_FOLDER_BYTES)
        self.assertEqual(sorted(n for n in os.listdir(FOLDER) if n != written_by_viewer),
                         [".gitattributes", "Alaska.mv", "HTML", "ProjPars.alb", "Regions.csv",
                          "SSL_Locs.csv", "Shapefiles"])


def main(argv):
    global FOLDER
    if len(argv) < 2 or not os.path.isdir(argv[1]):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    FOLDER = argv[1]
    program = unittest.main(argv=[argv[0]] + argv[2:], exit=False, verbosity=1)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
