"""Tests of the report's reading of benchmark results, its goal verdicts and its document update.

Run with: /usr/bin/python3 -m unittest discover -s bench -p "test_*.py"
"""

import argparse
import contextlib
import io
import json
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib  # noqa: E402
import report  # noqa: E402


def aggregate(name, aggregate_name, real, cpu, unit="ms", **counters):
    return {"name": f"{name}/iterations:1/real_time_{aggregate_name}",
            "run_name": f"{name}/iterations:1/real_time", "run_type": "aggregate",
            "repetitions": 5, "threads": 1, "aggregate_name": aggregate_name,
            "aggregate_unit": "time", "iterations": 5, "real_time": real, "cpu_time": cpu,
            "time_unit": unit, **counters}


def iteration(name, real, cpu, unit="ms", **counters):
    return {"name": f"{name}/iterations:1/real_time", "run_name": f"{name}/iterations:1/real_time",
            "run_type": "iteration", "repetitions": 1, "repetition_index": 0, "threads": 1,
            "iterations": 1, "real_time": real, "cpu_time": cpu, "time_unit": unit, **counters}


class BenchmarkMediansTest(unittest.TestCase):
    def test_takes_the_median_aggregate_in_milliseconds(self):
        cases = [
            # (entries, base name, wall ms, cpu ms, counters)
            ([aggregate("BM_A", "mean", 12, 6), aggregate("BM_A", "median", 10, 5),
              aggregate("BM_A", "stddev", 1, 1)], "BM_A", 10, 5, {}),
            ([aggregate("BM_B", "median", 2500, 2000, unit="us", p99_us=750.0)],
             "BM_B", 2.5, 2.0, {"p99_us": 750.0}),
            ([aggregate("BM_C", "median", 3_000_000, 1_000_000, unit="ns")], "BM_C", 3, 1, {}),
            ([aggregate("BM_D", "median", 1.5, 1.0, unit="s")], "BM_D", 1500, 1000, {}),
        ]
        for entries, name, wall, cpu, counters in cases:
            with self.subTest(name=name):
                medians = report.benchmark_medians({"benchmarks": entries})
                self.assertAlmostEqual(medians[name]["wall_ms"], wall)
                self.assertAlmostEqual(medians[name]["cpu_ms"], cpu)
                self.assertEqual(medians[name]["counters"], counters)

    def test_plain_runs_give_their_median_when_there_is_no_aggregate(self):
        entries = [iteration("BM_E", w, w / 2, vertices=40.0) for w in (30, 10, 20)]
        medians = report.benchmark_medians({"benchmarks": entries})
        self.assertEqual(medians["BM_E"]["wall_ms"], 20)
        self.assertEqual(medians["BM_E"]["cpu_ms"], 10)
        self.assertEqual(medians["BM_E"]["repetitions"], 3)
        self.assertEqual(medians["BM_E"]["counters"], {"vertices": 40.0})

    def test_failures_and_damaged_documents_name_the_source(self):
        failed = iteration("BM_F", 0, 0)
        failed.update(error_occurred=True, error_message="manifest.json: cannot be read")
        cases = [
            ({"benchmarks": [failed]}, "peers.json: BM_F failed: manifest.json: cannot be read"),
            ({"context": {}}, "peers.json: no 'benchmarks' list"),
            ({"benchmarks": [iteration("BM_G", 1, 1, unit="h")]},
             "peers.json: BM_G has unknown time unit 'h'"),
        ]
        for document, message in cases:
            with self.subTest(message=message):
                with self.assertRaises(benchlib.BenchError) as caught:
                    report.benchmark_medians(document, "peers.json")
                self.assertEqual(str(caught.exception), message)


def engine_figures(wall_ms=None, cpu_ms=None, **counters):
    return {"wall_ms": wall_ms if wall_ms is not None else 0.0,
            "cpu_ms": cpu_ms if cpu_ms is not None else 0.0,
            "repetitions": 9, "counters": counters}


def goal(engine_name, counter=None):
    for g in report.GOALS:
        if g["engine"] == engine_name and g.get("counter") == counter:
            return g
    raise KeyError(engine_name)


class EvaluateTest(unittest.TestCase):
    REFS = {
        "ogr_loop": ("OGR read loop", 80.0, 40.0),
        "qgis_canvas": ("QGIS 3.22.16", 550.0, 0.0),
        "rasterize_command": ("gdal_rasterize command", 1300.0, 0.0),
        "engine_full_frame": ("our full-extent frame", 10.0, 0.0),
        "engine_full_frame_no_detail": ("our full-extent frame, levels of detail off", 40.0, 0.0),
    }

    def test_verdicts_at_and_around_each_limit(self):
        cases = [
            # (goal, engine figures, ratio text, verdict)
            (goal("BM_EngineOpen"), engine_figures(100), "1.25 ×", "met"),
            (goal("BM_EngineOpen"), engine_figures(104), "1.30 ×", "met"),
            (goal("BM_EngineOpen"), engine_figures(105), "1.31 ×", "missed"),
            (goal("BM_EngineFullFrame"), engine_figures(11), "50.0 × faster", "met"),
            (goal("BM_EngineFullFrame"), engine_figures(11.5), "47.8 × faster", "missed"),
            (goal("BM_EngineOpenFirstFrame"), engine_figures(1300), "1.00 ×", "met"),
            (goal("BM_EngineOpenFirstFrame"), engine_figures(1400), "1.08 ×", "missed"),
            (goal("BM_EngineZoomFrame"), engine_figures(0.9), "11.1 × faster", "met"),
            (goal("BM_EngineZoomFrame"), engine_figures(2), "5.0 × faster", "missed"),
            (goal("BM_EngineSearch", "p99_us"), engine_figures(p99_us=999.9), "–", "met"),
            (goal("BM_EngineSearch", "p99_us"), engine_figures(p99_us=1000.0), "–", "missed"),
            (goal("BM_EngineMemory", "bytes_per_vertex"), engine_figures(bytes_per_vertex=24.0),
             "–", "met"),
            (goal("BM_EngineMemory", "bytes_per_vertex"), engine_figures(bytes_per_vertex=24.1),
             "–", "missed"),
            (goal("BM_EngineSearch", "p50_us"), engine_figures(p50_us=40.0), "–", "–"),
            (goal("BM_EnginePanStep"), engine_figures(3.0), "–", "–"),
            # Comparisons show their ratio and no verdict, whichever way it goes.
            (goal("BM_EngineFullFrameNoDetail"), engine_figures(22), "25.0 × faster", "–"),
            (goal("BM_EngineZoomFrameNoDetail"), engine_figures(4), "10.0 × faster", "–"),
            (goal("BM_EngineZoomFrameNoDetail"), engine_figures(40), "1.0 × faster", "–"),
        ]
        for g, figures, ratio, verdict in cases:
            with self.subTest(figure=g["figure"], figures=figures):
                row = report.evaluate(g, {g["engine"]: figures}, self.REFS)
                self.assertEqual(row[3].split(" (CPU")[0], ratio)
                self.assertEqual(row[5], verdict)

    def test_goal_texts_give_the_budget_in_milliseconds(self):
        cases = [
            (goal("BM_EngineOpen"), "≤ 1.3 × reference (≤ 104 ms)"),
            (goal("BM_EngineFullFrame"), "≥ 50 × faster (≤ 11.0 ms)"),
            (goal("BM_EngineOpenFirstFrame"), "≤ 1 × reference (≤ 1,300 ms)"),
            (goal("BM_EngineSearch", "p99_us"), "< 1,000 µs"),
            (goal("BM_EngineMemory", "bytes_per_vertex"), "≤ 24.0 bytes"),
        ]
        for g, text in cases:
            with self.subTest(figure=g["figure"]):
                self.assertEqual(report.evaluate(g, None, self.REFS)[4], text)

    def test_missing_engine_or_reference_is_not_yet_measured(self):
        for g in report.GOALS:
            with self.subTest(figure=g["figure"]):
                row = report.evaluate(g, None, self.REFS)
                self.assertEqual(row[1], report.NOT_MEASURED)
                self.assertEqual(row[5], "–")
        row = report.evaluate(goal("BM_EngineFullFrame"),
                              {"BM_EngineFullFrame": engine_figures(5)}, {})
        self.assertEqual(row[5], report.NOT_MEASURED)

    def test_cpu_figures_are_shown_beside_the_wall_clock_ones(self):
        cases = [
            # (goal, engine figures, refs, engine text, ratio text)
            (goal("BM_EngineOpen"), engine_figures(100, 50), self.REFS,
             "100 ms (CPU 50.0 ms)", "1.25 × (CPU 1.25 ×)"),
            (goal("BM_EngineFullFrame"), engine_figures(10, 5),
             {"qgis_canvas": ("QGIS 3.22.16", 500.0, 300.0)},
             "10.0 ms (CPU 5.00 ms)", "50.0 × faster (CPU 60.0 ×)"),
            (goal("BM_EngineSearch", "p99_us"), engine_figures(p99_us=900.0, p99_cpu_us=300.0),
             self.REFS, "900 µs (CPU 300 µs)", "–"),
            (goal("BM_EngineSearch", "p50_us"), engine_figures(p50_us=20.0), self.REFS,
             "20.0 µs", "–"),
        ]
        for g, figures, refs, engine_text, ratio_text in cases:
            with self.subTest(figure=g["figure"]):
                row = report.evaluate(g, {g["engine"]: figures}, refs)
                self.assertEqual(row[1], engine_text)
                self.assertEqual(row[3], ratio_text)

    def test_engine_without_the_counter_is_an_error(self):
        with self.assertRaises(benchlib.BenchError) as caught:
            report.evaluate(goal("BM_EngineSearch", "p99_us"),
                            {"BM_EngineSearch": engine_figures(5, p50_us=3.0)}, self.REFS)
        self.assertIn("no counter 'p99_us'", str(caught.exception))

    def test_engine_row_shows_wall_and_cpu(self):
        row = report.evaluate(goal("BM_EngineOpen"),
                              {"BM_EngineOpen": engine_figures(96.4, 90.25)}, self.REFS)
        self.assertEqual(row[1], "96.4 ms (CPU 90.2 ms)")
        self.assertEqual(row[2], "OGR read loop: 80.0 ms")


class CheckCountsTest(unittest.TestCase):
    LAYER = {"features": 63061, "vertices": 4864053}

    def test_counts_must_match_the_data_when_reported(self):
        report.check_counts("loop", {"counters": {"features": 63061.0, "vertices": 4864053.0}},
                            self.LAYER)
        report.check_counts("loop", {"counters": {}}, self.LAYER)
        for counters, word in (({"features": 63060.0}, "features"),
                               ({"vertices": 4863064.0}, "vertices")):
            with self.subTest(counters=counters):
                with self.assertRaises(benchlib.BenchError) as caught:
                    report.check_counts("loop", {"counters": counters}, self.LAYER)
                self.assertIn(f"holds {self.LAYER[word]:,}", str(caught.exception))


class ReplaceBlockTest(unittest.TestCase):
    DOC = ("# Performance\n\nText.\n\n" + report.BEGIN_MARKER + "\n\nold table\n\n"
           + report.END_MARKER + "\n\nAfter.\n")

    def test_replaces_only_the_text_between_the_markers(self):
        once = report.replace_block(self.DOC, "| new | table |\n")
        self.assertTrue(once.startswith("# Performance\n\nText.\n\n" + report.BEGIN_MARKER))
        self.assertIn("\n\n| new | table |\n\n" + report.END_MARKER + "\n\nAfter.\n", once)
        self.assertNotIn("old table", once)
        self.assertEqual(report.replace_block(once, "| new | table |"), once)

    def test_missing_or_swapped_markers_name_the_document(self):
        cases = [
            "no markers at all",
            report.BEGIN_MARKER + " only the beginning",
            report.END_MARKER + " swapped " + report.BEGIN_MARKER,
        ]
        for document in cases:
            with self.subTest(document=document):
                with self.assertRaises(benchlib.BenchError) as caught:
                    report.replace_block(document, "x", "docs/performance.md")
                self.assertTrue(str(caught.exception).startswith("docs/performance.md: "))


class SmallPiecesTest(unittest.TestCase):
    def test_median(self):
        for values, expected in (([5], 5), ([3, 1, 2], 2), ([4, 1, 3, 2], 2.5)):
            with self.subTest(values=values):
                self.assertEqual(benchlib.median(values), expected)
        with self.assertRaises(ValueError):
            benchlib.median([])

    def test_busy_note_when_the_load_reaches_half_the_cores(self):
        cases = [
            ({"cores": 2}, [("peers", ["0.9", "1", "1"])], False),
            ({"cores": 2}, [("peers", ["0.9", "1", "1"]), ("qgis", ["1.0", "1", "1"])], True),
            ({"cores": 16}, [("peers", ["4.5", "5", "5"])], False),
            ({"cores": 2}, [], False),
            ({}, [("peers", ["9", "9", "9"])], False),
        ]
        for machine, loads, busy in cases:
            with self.subTest(machine=machine, loads=loads):
                self.assertEqual(bool(report.busy_note(machine, loads)), busy)

    def test_load_lines(self):
        text = "engine 0.50 0.40 0.30\npeers 1.00 0.90 0.80\n\nbroken line\n"
        self.assertEqual(report.parse_loads(text), [
            ("engine", ["0.50", "0.40", "0.30"]), ("peers", ["1.00", "0.90", "0.80"])])

    def test_times_are_shown_with_sensible_precision(self):
        for value, text in ((1234.5, "1,234 ms"), (55.25, "55.2 ms"), (0.123, "0.12 ms")):
            with self.subTest(value=value):
                self.assertEqual(report.format_ms(value), text)


def small_manifest():
    layer = {"name": "coastline", "path": "coastline/coastline.shp", "features": 3, "rings": 4,
             "vertices": 20, "extent": [0, 0, 10, 10]}
    grid = {"name": "grid01", "path": "grids/grid01.shp", "features": 2, "rings": 2,
            "vertices": 10, "extent": [0, 0, 10, 10]}
    view = {"extent": [0, 0, 1, 1], "vertices_inside": 5}
    return {"version": benchlib.MANIFEST_VERSION, "crs": "EPSG:6933", "coastline": layer,
            "grids": [grid], "views": {"full": view, "zoom": view, "pan": view, "densest": view},
            "search_points": {"path": "search-points.csv", "count": 4}}


class WriteTest(unittest.TestCase):
    """The whole report from result files: the engine's two result files are merged and every
    goal row fills in."""

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        root = Path(self.folder.name)
        self.data, self.results = root / "data", root / "results"
        self.data.mkdir()
        self.results.mkdir()
        (self.data / benchlib.MANIFEST_NAME).write_text(json.dumps(small_manifest()))
        self.doc = root / "performance.md"
        self.doc.write_text(f"Intro\n\n{report.BEGIN_MARKER}\nold\n{report.END_MARKER}\n")
        self.put("machine.json", {"date": "today", "cpu": "Test CPU", "cores": 2})
        self.put("peers.json", {"benchmarks": [
            aggregate("BM_OgrReadLoop", "median", 80, 70, features=3.0, vertices=20.0),
            aggregate("BM_GdalRasterizeInProcess", "median", 900, 800)]})
        series = {"first_ms": 600, "runs_ms": [550], "cpu_runs_ms": [400], "median_ms": 550,
                  "cpu_median_ms": 400}
        self.put("qgis.json", {"qgis_version": "3.22.16-Bialowieza",
                               "settings": {"canvas": series, "plain": series}})
        self.put("rasterize.json", {**series, "median_ms": 1300, "startup": series})
        (self.results / "load.txt").write_text("peers 0.1 0.2 0.3\n")

    def put(self, name, document):
        (self.results / name).write_text(json.dumps(document))

    def run_write(self):
        args = argparse.Namespace(results=str(self.results), doc=str(self.doc),
                                  folder=str(self.data))
        with contextlib.redirect_stdout(io.StringIO()):
            report.write(args)
        return self.doc.read_text()

    def test_without_the_engine_every_goal_is_not_yet_measured(self):
        text = self.run_write()
        self.assertTrue(text.startswith("Intro\n\n" + report.BEGIN_MARKER))
        self.assertNotIn("\nold\n", text)
        self.assertEqual(text.count("| " + report.NOT_MEASURED + " |"), len(report.GOALS))
        self.assertIn("| our full-extent frame: " + report.NOT_MEASURED + " |", text)
        self.assertIn("| OGR read loop (C++) | open, read every feature, touch every point | "
                      "80.0 ms | 70.0 ms |", text)
        self.assertIn("peers 0.1 0.2 0.3", text)

    def test_engine_results_fill_every_goal_row(self):
        self.put("engine.json", {"benchmarks": [
            aggregate("BM_EngineOpen", "median", 100, 95, features=3.0, vertices=20.0),
            aggregate("BM_EngineFullFrame", "median", 10, 10),
            aggregate("BM_EngineFullFrameOneThread", "median", 16, 16),
            aggregate("BM_EngineFullFrameNoDetail", "median", 40, 40),
            aggregate("BM_EngineZoomFrameNoDetail", "median", 4, 4),
            aggregate("BM_EngineOpenFirstFrame", "median", 120, 110),
            aggregate("BM_EngineZoomFrame", "median", 0.5, 0.5),
            aggregate("BM_EnginePanStep", "median", 0.6, 0.6),
            aggregate("BM_EngineZoomFrameDensest", "median", 4, 4),
            aggregate("BM_EngineSearch", "median", 400, 400, p50_us=20.0, p99_us=80.0)]})
        self.put("engine-memory.json", {"benchmarks": [
            iteration("BM_EngineMemory", 300, 290, bytes_per_vertex=21.5, resident_bytes=430.0,
                      detail_bytes_per_vertex=2.5)]})
        text = self.run_write()
        self.assertNotIn(report.NOT_MEASURED, text)
        self.assertEqual(text.count("| met |"), 6)
        self.assertIn("| 21.5 bytes |", text)
        self.assertIn("| 55.0 × faster (CPU 40.0 ×) |", text)

    def test_an_engine_that_read_less_than_the_file_is_refused(self):
        self.put("engine.json", {"benchmarks": [
            aggregate("BM_EngineOpen", "median", 100, 95, features=2.0)]})
        with self.assertRaises(benchlib.BenchError) as caught:
            self.run_write()
        self.assertIn("BM_EngineOpen read 2 features", str(caught.exception))


def positions_results(ours_all=30000.0, ours_one=15000.0, postgis=None, geopandas=300.0):
    """A small bench/positions.py result: our two series and each peer's throughput, None to
    leave a part out. postgis is a list of (name, count, per_s or None for a timeout)."""
    results = {
        "version": 1, "count": 1000, "repetitions": 3, "cores": 2,
        "layers": [{"name": "coastline", "field": "A3", "features": 3},
                   {"name": "grid01", "field": "NAME", "features": 2}],
        "machine": {"date": "today", "cpu": "Test CPU", "cores": 2},
        "loads": [["ours", ["0.10", "0.20", "0.30"]]],
        "agreement": {},
    }

    def series(per_s):
        return {"median_wall_s": 1000 / per_s, "median_cpu_s": 1.5, "per_s": per_s,
                "peak_rss_bytes": 300 << 20, "query_only_s": 0.5, "query_only_per_s": 2000.0}

    if ours_all is not None:
        results["ours"] = {"all_cores": series(ours_all), "one_thread": series(ours_one),
                           "open": {"median_wall_s": 1.25, "median_cpu_s": 2.0,
                                    "peak_rss_bytes": 280 << 20}}
    if postgis is not None:
        forms = []
        for name, count, per_s in postgis:
            if per_s is None:
                forms.append({"name": name, "count": count, "timed_out": True})
            else:
                forms.append({"name": name, "count": count, "per_s": per_s,
                              "median_wall_s": count / per_s, "median_cpu_s": 2.0})
        finished = [f for f in forms if not f.get("timed_out")]
        results["postgis"] = {
            "statement_timeout_s": 600, "forms": forms,
            "versions": {"postgresql": "PostgreSQL 15.18", "postgis": "3.3.2", "geos": "3.11.1"},
            "load": {"total_s": 60.0, "layers_s": 25.0, "positions_s": 5.0, "subdivide_s": 26.0,
                     "vacuum_analyze_s": 4.0, "cut_layers": {"coastline": 105188}}}
        if finished:
            results["postgis"]["fastest"] = max(finished, key=lambda f: f["per_s"])["name"]
    if geopandas is not None:
        results["geopandas"] = {"count": 100, "per_s": geopandas, "median_wall_s": 100 / geopandas,
                                "median_cpu_s": 0.3, "read_s": 70.0, "peak_rss_bytes": 1 << 30,
                                "versions": {"geopandas": "0.12.2", "shapely": "1.8.5",
                                             "rtree": "1.0.1", "pygeos": False,
                                             "spatial_index": "rtree"}}
    return results


def positions_goal(ours, peer):
    for g in report.POSITIONS_GOALS:
        if g["ours"] == ours and g["peer"] == peer:
            return g
    raise KeyError((ours, peer))


class PositionsGoalsTest(unittest.TestCase):
    def test_verdicts_at_and_around_each_limit(self):
        polygon = [("polygon_driven_subdivided", 1000, 10000.0)]
        cases = [
            # (goal, results, ratio, verdict)
            (positions_goal("all_cores", "postgis"), positions_results(30000, postgis=polygon),
             "3.00 ×", "met"),
            (positions_goal("all_cores", "postgis"), positions_results(29900, postgis=polygon),
             "2.99 ×", "missed"),
            (positions_goal("one_thread", "postgis"),
             positions_results(ours_one=15000, postgis=polygon), "1.50 ×", "met"),
            (positions_goal("one_thread", "postgis"),
             positions_results(ours_one=14900, postgis=polygon), "1.49 ×", "missed"),
            (positions_goal("all_cores", "geopandas"), positions_results(3000, geopandas=300),
             "10.00 ×", "met"),
            (positions_goal("all_cores", "geopandas"), positions_results(2990, geopandas=300),
             "9.97 ×", "missed"),
        ]
        for g, results, ratio, verdict in cases:
            with self.subTest(figure=g["figure"], ratio=ratio):
                row = report.evaluate_positions_goal(g, results)
                self.assertEqual(row[3], ratio)
                self.assertEqual(row[5], verdict)

    def test_postgis_is_held_to_its_fastest_form_by_throughput_not_wall_clock(self):
        # The point-driven form answers a sample: less wall clock, fewer positions a second.
        forms = [("polygon_driven", 1000, 500.0), ("polygon_driven_subdivided", 1000, 2000.0),
                 ("point_driven", 20, 400.0), ("point_driven_subdivided", 20, None)]
        row = report.evaluate_positions_goal(positions_goal("all_cores", "postgis"),
                                             positions_results(30000, postgis=forms))
        self.assertEqual(row[2], "PostGIS, polygon-driven, layers cut with ST_Subdivide: "
                                 "2,000/s")
        self.assertEqual(row[3], "15.00 ×")
        self.assertEqual(row[4], "≥ 3 × the peer (≥ 6,000/s)")
        self.assertEqual(row[1], "30,000/s (query alone 2,000/s)")

    def test_a_part_not_run_is_not_yet_measured(self):
        polygon = [("polygon_driven", 1000, 10000.0)]
        cases = [
            # (results, goal, text expected in the ours or peer column)
            (positions_results(postgis=None), positions_goal("all_cores", "postgis"),
             "PostGIS: " + report.NOT_MEASURED),
            (positions_results(postgis=[("polygon_driven", 1000, None)]),
             positions_goal("one_thread", "postgis"), "PostGIS: " + report.NOT_MEASURED),
            (positions_results(postgis=polygon, geopandas=None),
             positions_goal("all_cores", "geopandas"), "GeoPandas: " + report.NOT_MEASURED),
            (positions_results(ours_all=None, postgis=polygon),
             positions_goal("all_cores", "postgis"), report.NOT_MEASURED),
        ]
        for results, g, text in cases:
            with self.subTest(figure=g["figure"], text=text):
                row = report.evaluate_positions_goal(g, results)
                self.assertIn(text, row[1:3])
                self.assertEqual(row[3], "–")
                self.assertEqual(row[5], report.NOT_MEASURED)


class PositionsBlockTest(unittest.TestCase):
    """The table from a result file, written between the positions markers of a document that
    also holds the other results block."""

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        root = Path(self.folder.name)
        self.results = root / "positions.json"
        self.doc = root / "performance.md"
        self.doc.write_text(f"Intro\n\n{report.BEGIN_MARKER}\nengine\n{report.END_MARKER}\n\n"
                            f"{report.POSITIONS_BEGIN_MARKER}\nold\n"
                            f"{report.POSITIONS_END_MARKER}\nEnd\n")

    def run_positions(self, results):
        self.results.write_text(json.dumps(results))
        args = argparse.Namespace(results=str(self.results), doc=str(self.doc))
        with contextlib.redirect_stdout(io.StringIO()):
            report.write_positions(args)
        return self.doc.read_text()

    def test_every_part_measured(self):
        results = positions_results(
            30000, 15000, postgis=[("polygon_driven", 1000, 5000.0),
                                   ("point_driven", 20, None)], geopandas=300)
        results["agreement"] = {
            "postgis": {"peer": "PostGIS", "positions_compared": 1000, "cells_compared": 2000,
                        "mismatches": 3, "mismatches_at_edge": 2, "edge_tolerance_m": 0.1,
                        "largest_edge_distance_m": 0.0869, "cells_with_several_values": 4,
                        "examples": [
                            {"kind": "different", "id": 5, "layer": "grid01", "ours": "D",
                             "peer": ["E"], "at_edge": True, "distance_m": 0.0869},
                            {"kind": "different", "id": 7, "layer": "grid01", "ours": "A",
                             "peer": ["B", "C"], "at_edge": False}]},
            "geopandas": {"peer": "GeoPandas", "positions_compared": 100, "cells_compared": 200,
                          "mismatches": 2, "mismatches_at_edge": 2, "edge_tolerance_m": 0.1,
                          "largest_edge_distance_m": 0.003, "cells_with_several_values": 0,
                          "examples": [{"kind": "different", "id": 9, "layer": "coastline",
                                        "ours": "USA", "peer": [], "at_edge": True,
                                        "distance_m": 0.003}]}}
        results["durations_s"] = {"ours_s": 180, "postgis_s": 600, "compare_s": 30,
                                  "total_s": 900}
        text = self.run_positions(results)
        self.assertIn(f"{report.BEGIN_MARKER}\nengine\n{report.END_MARKER}", text)
        self.assertNotIn("\nold\n", text)
        self.assertTrue(text.endswith(report.POSITIONS_END_MARKER + "\nEnd\n"))
        self.assertNotIn(report.NOT_MEASURED, text)
        self.assertEqual(text.count("| met |"), 3)
        for row in (
                "| pelagon-cli query, every core | whole command | 1,000 | 0.03 s | 1.50 s | "
                "30,000/s | 300 MiB |",
                "| PostGIS, polygon-driven (fastest) | COPY (query) TO '/dev/null' | 1,000 | "
                "0.20 s | 2.00 s | 5,000/s | – |",
                "| PostGIS, point-driven | COPY (query) TO '/dev/null' | 20 | ran past the 600 s "
                "timeout | – | < 0/s | – |",
                "| GeoPandas sjoin, one thread | sjoin with each of the 31 layers | 100 | 0.33 s | "
                "0.30 s | 300/s | 1,024 MiB (process, layers loaded) |",
                "| PostGIS | 1,000 | 2,000 | 1 | 2 (the farthest 8.7 cm from the outline; 10 cm "
                "allowed) | 4 | id 7, grid01: ours “A”, peer B, C |",
                "| GeoPandas | 100 | 200 | 0 | 2 (the farthest 0.3 cm from the outline; 10 cm "
                "allowed) | 0 | – |",
                "ST_Subdivide 26.0 s (coastline into 105,188 pieces)",
                "| Load averages (1, 5, 15 min) before each contender | ours 0.10 0.20 0.30 |",
                "The whole run took 15.0 min: ours 3.0 min, PostGIS, loading included 10.0 min, "
                "comparing the answers 0.5 min."):
            with self.subTest(row=row):
                self.assertIn(row, text)

    def test_nothing_but_ours_measured(self):
        text = self.run_positions(positions_results(postgis=None, geopandas=None))
        self.assertEqual(text.count("| " + report.NOT_MEASURED + " |"), 3 + 2)
        self.assertIn("| PostgreSQL / PostGIS | not run |", text)
        self.assertNotIn("Not timed:", text)

    def test_a_file_of_something_else_is_refused(self):
        self.results.write_text(json.dumps({"benchmarks": []}))
        with self.assertRaises(benchlib.BenchError) as caught:
            report.write_positions(argparse.Namespace(results=str(self.results), doc=None))
        self.assertIn("not the results of bench/positions.py", str(caught.exception))


if __name__ == "__main__":
    unittest.main()
