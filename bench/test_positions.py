"""Tests of the batch-positions benchmark's own logic: the comparison of answers, the reading of
the command's count line, the server's settings and the map folder it makes.

Run with: /usr/bin/python3 -m unittest discover -s bench -p "test_*.py"
"""

import csv
import io
import os
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import positions  # noqa: E402

LAYERS = ["coastline", "grid01"]
OURS_HEADER = "id,lon,lat,x,y,coastline,grid01"


def rows(text):
    return csv.reader(io.StringIO(text))


def ours(*lines):
    return rows("\r\n".join([OURS_HEADER, *[f"{i},0,0,0,0,{v}" for i, v in lines]]) + "\r\n")


def peer(*lines):
    return rows("\n".join(["id,coastline,grid01", *[f"{i},{v}" for i, v in lines]]) + "\n")


class CompareAnswersTest(unittest.TestCase):
    def test_cells_agree_when_ours_is_one_of_the_peers_values(self):
        cases = [
            # (name, ours, peer, count, mismatches, several, extra, missing)
            ("same values and same empties",
             ours((1, "USA,G1"), (2, ",G2")), peer((1, "USA,G1"), (2, ",G2")), 2, 0, 0, 0, 0),
            ("an edge shared by two cells: the peer gives both, we give one",
             ours((1, ",G1")), peer((1, ",G1"), (1, ",G2")), 1, 0, 1, 0, 0),
            ("overlapping polygons in a layer while the other layer repeats",
             ours((1, "CAN,G1")), peer((1, "USA,G1"), (1, "CAN,G1")), 1, 0, 1, 0, 0),
            ("a different value",
             ours((1, "USA,G1"), (2, "USA,G2")), peer((1, "USA,G1"), (2, "CAN,G2")), 2, 1, 0, 0,
             0),
            ("we find something where the peer finds nothing, and the other way round",
             ours((1, "USA,G1"), (2, ",G2")), peer((1, ",G1"), (2, "MEX,G2")), 2, 2, 0, 0, 0),
            ("a position the peer did not answer counts every layer",
             ours((1, "USA,G1"), (2, ",G2"), (3, ",G3")), peer((1, "USA,G1"), (3, ",G3")), 3,
             2, 0, 0, 1),
            ("a position only the peer answered",
             ours((1, "USA,G1"), (3, ",G3")), peer((1, "USA,G1"), (2, ",G2"), (3, ",G3")), 2, 0,
             0, 1, 0),
            ("only the first count positions are compared: the peer answered a sample",
             ours((1, "USA,G1"), (2, ",G2"), (3, ",G3")), peer((1, "USA,G1"), (2, ",G2")), 2, 0,
             0, 0, 0),
            ("the peer answered more than the sample",
             ours((1, "USA,G1"), (2, ",G2"), (3, ",G3")),
             peer((1, "USA,G1"), (2, ",G2"), (3, ",G3")), 2, 0, 0, 1, 0),
        ]
        for name, our_rows, peer_rows, count, mismatches, several, extra, missing in cases:
            with self.subTest(name):
                result = positions.compare_answers(our_rows, peer_rows, LAYERS, count, "Peer")
                self.assertEqual(result["positions_compared"], count)
                self.assertEqual(result["cells_compared"], count * len(LAYERS))
                self.assertEqual(result["mismatches"], mismatches)
                self.assertEqual(result["cells_with_several_values"], several)
                self.assertEqual(result["extra_rows"], extra)
                self.assertEqual(result["missing_rows"], missing)
                self.assertEqual(result["agree"], mismatches == 0 and extra == 0)

    def test_disagreements_are_kept_as_examples_and_named(self):
        result = positions.compare_answers(
            ours(*[(i, f"USA,G{i}") for i in range(1, 21)]),
            peer(*[(i, f"CAN,G{i}") for i in range(1, 21)]), LAYERS, 20, "PostGIS")
        self.assertEqual(result["mismatches"], 20)
        self.assertEqual(len(result["examples"]), positions.EXAMPLES)
        self.assertEqual(result["examples"][0], {"kind": "different", "id": 1,
                                                 "layer": "coastline", "ours": "USA",
                                                 "peer": ["CAN"]})
        self.assertEqual(positions.disagreement_text(result),
                         "our answers disagree with PostGIS: 20 of 40 cells (first: id 1, layer "
                         "coastline: ours 'USA', PostGIS ['CAN'])")

    def test_our_output_out_of_id_order_or_without_a_layer_is_an_error(self):
        cases = [
            (ours((2, ",G2"), (1, ",G1")), "not in ascending id order at id 1"),
            (rows("id,lon,lat,x,y,coastline\r\n1,0,0,0,0,USA\r\n"), "lack a column"),
        ]
        for our_rows, message in cases:
            with self.subTest(message):
                with self.assertRaises(positions.benchlib.BenchError) as caught:
                    positions.compare_answers(our_rows, peer((1, ",G1"), (2, ",G2")), LAYERS, 2,
                                              "Peer")
                self.assertIn(message, str(caught.exception))


class EdgeTest(unittest.TestCase):
    """Disagreements on an outline, within the tolerance, are counted apart. Two squares of a
    layer share the edge x = 10: A covers x 0 to 10, B x 10 to 20, both y 0 to 10."""

    CELLS = [
        # (id, x, y, ours, peer, at an edge)
        (1, 10.003, 5, "A", ["B"], True),   # 3 mm inside B: A's edge is 3 mm away
        (2, 10.5, 5, "A", ["B"], False),    # half a metre inside B
        (3, 19.95, 5, "", ["B"], True),     # B's outer edge 5 cm away, we found nothing
        (4, 15, 5, "", ["B"], False),       # the middle of B, we found nothing
        (5, 20.05, 5, "B", [], True),       # 5 cm outside B, we answer B
        (6, 25, 5, "B", [], False),         # 5 m outside B
    ]

    def setUp(self):
        try:
            from osgeo import ogr
        except ImportError:
            self.skipTest("GDAL's Python bindings are not installed")
        ogr.UseExceptions()
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        root = Path(self.folder.name)
        dataset = ogr.GetDriverByName("ESRI Shapefile").CreateDataSource(str(root / "grid.shp"))
        layer = dataset.CreateLayer("grid", None, ogr.wkbPolygon)
        layer.CreateField(ogr.FieldDefn("NAME", ogr.OFTString))
        for name, left in (("A", 0), ("B", 10)):
            feature = ogr.Feature(layer.GetLayerDefn())
            feature.SetField("NAME", name)
            right = left + 10
            feature.SetGeometry(ogr.CreateGeometryFromWkt(
                f"POLYGON(({left} 0,{left} 10,{right} 10,{right} 0,{left} 0))"))
            layer.CreateFeature(feature)
        dataset = None
        self.positions = root / "positions.csv"
        self.positions.write_text("id,x,y\n" + "".join(
            f"{i},{x},{y}\n" for i, x, y, _, _, _ in self.CELLS))
        self.root = root

    def agreement(self, cells):
        return {"peer": "Peer", "positions_compared": 6, "cells_compared": 6,
                "mismatches": len(cells), "mismatches_at_edge": 0, "extra_rows": 0,
                "examples": [], "expected": 6,
                "cells": [{"kind": "different", "id": i, "layer": "grid", "ours": ours,
                           "peer": peer} for i, _, _, ours, peer, _ in cells]}

    def classify(self, cells):
        agreement = self.agreement(cells)
        positions.classify_edges(agreement, self.positions,
                                 [("grid", "grid.shp", "NAME", 2)], self.root, 0.1)
        return agreement

    def test_each_cell(self):
        for cell in self.CELLS:
            with self.subTest(id=cell[0]):
                agreement = self.classify([cell])
                self.assertEqual(agreement["mismatches_at_edge"], 1 if cell[5] else 0)
                self.assertEqual(agreement["agree"], cell[5])
                self.assertEqual(agreement["examples"][0]["at_edge"], cell[5])
                self.assertNotIn("cells", agreement)

    def test_real_disagreements_come_first_and_are_named(self):
        agreement = self.classify(self.CELLS)
        self.assertEqual(agreement["mismatches_at_edge"], 3)
        self.assertAlmostEqual(agreement["largest_edge_distance_m"], 0.05)
        self.assertEqual([e["id"] for e in agreement["examples"]], [2, 4, 6, 1, 3, 5])
        self.assertEqual(positions.disagreement_text(agreement),
                         "our answers disagree with Peer: 3 of 6 cells (and 3 more at an edge, "
                         "within 0.1 m) (first: id 2, layer grid: ours 'A', Peer ['B'])")


class CountLineTest(unittest.TestCase):
    def test_the_closing_count_line(self):
        cases = [
            ("1,000,000 rows read, 0 left out\n", (1_000_000, 0)),
            ("line 7: no x\n9,998 rows read, 2 left out\n", (9_998, 2)),
            ("1 row read, 0 left out", (1, 0)),
            ("0 rows read, 0 left out\n\n", (0, 0)),
            ("map.mv: cannot be read\n", None),
            ("", None),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(positions.counted_rows(text), expected)


class ServerSettingsTest(unittest.TestCase):
    def test_caches_follow_the_memory_within_bounds_and_parallelism_the_cores(self):
        cases = [
            # (cores, memory, shared_buffers, effective_cache_size)
            (2, 24 << 30, "6144MB", "12288MB"),
            (16, 128 << 30, "8192MB", "65536MB"),
            (1, 256 << 20, "128MB", "256MB"),
        ]
        for cores, memory, shared, cache in cases:
            with self.subTest(cores=cores, memory=memory):
                settings = positions.server_settings(cores, memory)
                self.assertEqual(settings["shared_buffers"], shared)
                self.assertEqual(settings["effective_cache_size"], cache)
                self.assertEqual(settings["max_parallel_workers_per_gather"], str(cores))
                self.assertEqual(settings["max_parallel_workers"], str(cores))
                self.assertGreater(int(settings["max_worker_processes"]), cores)


class MapFolderTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.data = Path(self.folder.name)
        for relative in ("coastline/coastline", "grids/grid01"):
            for suffix in (".shp", ".shx", ".dbf", ".prj"):
                path = self.data / (relative + suffix)
                path.parent.mkdir(exist_ok=True)
                path.write_text(suffix)
        self.layers = [("coastline", "coastline/coastline.shp", "A3", 3),
                       ("grid01", "grids/grid01.shp", "NAME", 2)]

    def test_definition_projection_and_relative_links_made_and_mended(self):
        definition = positions.map_folder(self.data, self.layers)
        shapefiles = definition.parent / "Shapefiles"
        stale = shapefiles / "grid01.dbf"
        stale.unlink()
        stale.symlink_to("/nowhere/grid01.dbf")
        (definition.parent / "ProjPars.alb").write_text("0\n")
        self.assertEqual(positions.map_folder(self.data, self.layers), definition)

        self.assertEqual(definition.read_text().splitlines(), [
            positions.MAP_HEADER,
            "coastline,2,True,coastline,,120.170.120,0.0.0,0,,,A3",
            "grid01,2,True,grid01,,255.255.255,0.0.0,1,,,NAME"])
        self.assertEqual((definition.parent / "ProjPars.alb").read_text().split(),
                         ["-154", "50", "55", "65"])
        self.assertEqual(len(list(shapefiles.iterdir())), 8)
        for link in shapefiles.iterdir():
            with self.subTest(link=link.name):
                self.assertFalse(os.path.isabs(os.readlink(link)))
                self.assertEqual(link.read_text(), link.suffix)

    def test_a_missing_layer_names_its_file(self):
        for suffix in (".shp", ".shx", ".dbf", ".prj"):
            (self.data / ("grids/grid01" + suffix)).unlink()
        with self.assertRaises(positions.benchlib.BenchError) as caught:
            positions.map_folder(self.data, self.layers)
        self.assertIn("grid01.shp: missing", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
