#!/usr/bin/python3
"""Gathers the results of one bench/run, holds our engine's figures against the goals and writes
the tables into docs/performance.md between its results markers.

  bench/report.py machine --out FILE [--build DIR]
  bench/report.py write --results DIR [--doc FILE] [--folder DATA]
  bench/report.py positions --results FILE [--doc FILE]

Result files in the results folder (missing ones leave their rows "not yet measured"):
  peers.json      Google Benchmark JSON of bench_peers (OGR read loop, GDALRasterize in-process)
  engine.json     Google Benchmark JSON of bench_engine (our engine), once it exists
  engine-memory.json  the same for BM_EngineMemory alone, run in a fresh process
  qgis.json       bench/qgis_render.py
  rasterize.json  bench/time_rasterize.py
  machine.json    `report.py machine`
  load.txt        "<contender> <1 min> <5 min> <15 min>" load averages taken before each contender

`positions` reads the one JSON file of bench/positions.py and writes its table between the
document's positions markers.
"""

import argparse
import datetime
import json
import os
import platform
import re
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib  # noqa: E402

BEGIN_MARKER = "<!-- results: begin (bench/run writes this part) -->"
END_MARKER = "<!-- results: end -->"

NOT_MEASURED = "not yet measured"

_UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}


# ---------------------------------------------------------------------------------------------
# Google Benchmark results


def benchmark_medians(document, source="results"):
    """The median of every benchmark in a Google Benchmark JSON document, by the benchmark's base
    name (the part before the first '/'): {'wall_ms', 'cpu_ms', 'repetitions', 'counters'}.

    Reads the 'median' aggregate when there is one, else takes the median of the plain runs (one
    repetition gives no aggregates). A benchmark that reported an error raises BenchError."""
    entries = document.get("benchmarks")
    if not isinstance(entries, list):
        raise benchlib.BenchError(f"{source}: no 'benchmarks' list")
    skip = {"name", "family_index", "per_family_instance_index", "run_name", "run_type",
            "repetitions", "repetition_index", "threads", "aggregate_name", "aggregate_unit",
            "iterations", "real_time", "cpu_time", "time_unit", "error_occurred",
            "error_message", "label"}
    runs, medians = {}, {}
    for entry in entries:
        base = entry.get("run_name", entry.get("name", "")).split("/")[0]
        if entry.get("error_occurred"):
            raise benchlib.BenchError(f"{source}: {base} failed: {entry.get('error_message')}")
        scale = _UNIT_TO_MS.get(entry.get("time_unit", "ns"))
        if scale is None:
            raise benchlib.BenchError(f"{source}: {base} has unknown time unit "
                                      f"{entry.get('time_unit')!r}")
        figures = {
            "wall_ms": entry["real_time"] * scale,
            "cpu_ms": entry["cpu_time"] * scale,
            "repetitions": entry.get("repetitions", 1),
            "counters": {k: v for k, v in entry.items()
                         if k not in skip and isinstance(v, (int, float))},
        }
        if entry.get("run_type") == "aggregate":
            if entry.get("aggregate_name") == "median":
                medians[base] = figures
        else:
            runs.setdefault(base, []).append(figures)
    for base, figures in runs.items():
        if base in medians:
            continue
        counters = {}
        for name in figures[0]["counters"]:
            counters[name] = benchlib.median([f["counters"].get(name, 0) for f in figures])
        medians[base] = {
            "wall_ms": benchlib.median([f["wall_ms"] for f in figures]),
            "cpu_ms": benchlib.median([f["cpu_ms"] for f in figures]),
            "repetitions": len(figures),
            "counters": counters,
        }
    return medians


# ---------------------------------------------------------------------------------------------
# Goals

# Each goal: the engine's figure, what it is held against, and the test it must pass.
#   kind "at_most_times":  engine / reference <= limit
#   kind "faster_by":      reference / engine >= limit
#   kind "below":          value < limit (an absolute figure)
#   kind "at_most":        value <= limit (an absolute figure)
#   kind "faster_than":    reference / engine, shown without a goal (a comparison)
#   kind "report":         shown without a goal
GOALS = [
    {"figure": "Open (read and index the coastline)", "engine": "BM_EngineOpen",
     "reference": "ogr_loop", "kind": "at_most_times", "limit": 1.3},
    {"figure": "Full-extent frame, 1920 × 1080, antialiased", "engine": "BM_EngineFullFrame",
     "reference": "qgis_canvas", "kind": "faster_by", "limit": 50},
    {"figure": "Open plus first full-extent frame", "engine": "BM_EngineOpenFirstFrame",
     "reference": "rasterize_command", "kind": "at_most_times", "limit": 1.0},
    {"figure": "Frame of 1/100 of the area (Gulf of Alaska)", "engine": "BM_EngineZoomFrame",
     "reference": "engine_full_frame", "kind": "faster_by", "limit": 10},
    {"figure": "Search at a point, 31 layers, p99 of 10,000 points", "engine": "BM_EngineSearch",
     "counter": "p99_us", "unit": "µs", "kind": "below", "limit": 1000},
    {"figure": "Resident memory per coastline vertex, index included",
     "engine": "BM_EngineMemory", "counter": "bytes_per_vertex", "unit": "bytes",
     "kind": "at_most", "limit": 24},
    {"figure": "Search at a point, p50", "engine": "BM_EngineSearch", "counter": "p50_us",
     "unit": "µs", "kind": "report"},
    {"figure": "Pan step (zoomed view moved by a quarter of its width)",
     "engine": "BM_EnginePanStep", "kind": "report"},
    {"figure": "Frame of the densest 1/100 window", "engine": "BM_EngineZoomFrameDensest",
     "kind": "report"},
    {"figure": "Full-extent frame on one thread (no bands)",
     "engine": "BM_EngineFullFrameOneThread", "kind": "report"},
    {"figure": "Full-extent frame from every stored vertex (levels of detail off)",
     "engine": "BM_EngineFullFrameNoDetail", "reference": "qgis_canvas", "kind": "faster_than"},
    {"figure": "Frame of 1/100 of the area from every stored vertex (levels of detail off)",
     "engine": "BM_EngineZoomFrameNoDetail", "reference": "engine_full_frame_no_detail",
     "kind": "faster_than"},
    {"figure": "Simplified rings kept once the full extent and the zoomed view are drawn, "
               "per vertex", "engine": "BM_EngineMemory", "counter": "detail_bytes_per_vertex",
     "unit": "bytes", "kind": "report"},
]


REFERENCE_LABELS = {
    "ogr_loop": "OGR read loop",
    "qgis_canvas": "QGIS",
    "rasterize_command": "gdal_rasterize command",
    "engine_full_frame": "our full-extent frame",
    "engine_full_frame_no_detail": "our full-extent frame, levels of detail off",
}


def reference_figures(peers, qgis, rasterize, engine):
    """The references the goals name, as {'name': (label, wall ms, CPU ms)}; absent ones are
    left out."""
    refs = {}
    if peers and "BM_OgrReadLoop" in peers:
        loop = peers["BM_OgrReadLoop"]
        refs["ogr_loop"] = (REFERENCE_LABELS["ogr_loop"], loop["wall_ms"], loop["cpu_ms"])
    if qgis:
        canvas = qgis["settings"]["canvas"]
        refs["qgis_canvas"] = (f"QGIS {short_qgis_version(qgis)}", canvas["median_ms"],
                               canvas["cpu_median_ms"])
    if rasterize:
        refs["rasterize_command"] = (REFERENCE_LABELS["rasterize_command"],
                                     rasterize["median_ms"], rasterize["cpu_median_ms"])
    if engine and "BM_EngineFullFrame" in engine:
        full = engine["BM_EngineFullFrame"]
        refs["engine_full_frame"] = (REFERENCE_LABELS["engine_full_frame"], full["wall_ms"],
                                     full["cpu_ms"])
    if engine and "BM_EngineFullFrameNoDetail" in engine:
        full = engine["BM_EngineFullFrameNoDetail"]
        refs["engine_full_frame_no_detail"] = (REFERENCE_LABELS["engine_full_frame_no_detail"],
                                               full["wall_ms"], full["cpu_ms"])
    return refs


def short_qgis_version(qgis):
    return qgis.get("qgis_version", "").split("-")[0] or "?"


def format_amount(value, unit):
    """A measured amount with three significant figures or so: 1,234 ms, 12.3 ms, 1.23 ms."""
    if value >= 100:
        return f"{value:,.0f} {unit}"
    if value >= 10:
        return f"{value:.1f} {unit}"
    return f"{value:.2f} {unit}"


def format_ms(value):
    return format_amount(value, "ms")


def format_number(value, unit):
    text = f"{value:,.1f}" if value < 100 else f"{value:,.0f}"
    return f"{text} {unit}"


def evaluate(goal, engine, refs):
    """One goal's table row: figure, our engine, held against, ratio, goal, verdict."""
    kind, limit = goal["kind"], goal.get("limit")
    figures = (engine or {}).get(goal["engine"])
    reference = refs.get(goal.get("reference"))
    if reference:
        reference_text = f"{reference[0]}: {format_ms(reference[1])}"
    elif goal.get("reference"):
        reference_text = f"{REFERENCE_LABELS[goal['reference']]}: {NOT_MEASURED}"
    else:
        reference_text = "–"

    if kind == "at_most_times":
        goal_text = f"≤ {limit:g} × reference"
        if reference:
            goal_text += f" (≤ {format_ms(reference[1] * limit)})"
    elif kind == "faster_by":
        goal_text = f"≥ {limit:g} × faster"
        if reference:
            goal_text += f" (≤ {format_ms(reference[1] / limit)})"
    elif kind == "below":
        goal_text = f"< {format_number(limit, goal['unit'])}"
    elif kind == "at_most":
        goal_text = f"≤ {format_number(limit, goal['unit'])}"
    else:
        goal_text = "reported"

    if figures is None:
        return [goal["figure"], NOT_MEASURED, reference_text, "–", goal_text, "–"]

    if "counter" in goal:
        counters = figures["counters"]
        if goal["counter"] not in counters:
            raise benchlib.BenchError(
                f"{goal['engine']} reports no counter '{goal['counter']}'")
        value = counters[goal["counter"]]
        engine_text = format_number(value, goal["unit"])
        # A timing counter may come with its CPU-time twin (p99_us and p99_cpu_us).
        twin = goal["counter"][:-3] + "_cpu_us" if goal["counter"].endswith("_us") else None
        if twin in counters:
            engine_text += f" (CPU {format_number(counters[twin], goal['unit'])})"
    else:
        value = figures["wall_ms"]
        engine_text = f"{format_ms(value)} (CPU {format_ms(figures['cpu_ms'])})"

    if kind in ("at_most_times", "faster_by", "faster_than"):
        if not reference:
            verdict = "–" if kind == "faster_than" else NOT_MEASURED
            return [goal["figure"], engine_text, reference_text, "–", goal_text, verdict]
        # The verdict goes by wall clock; the ratio of CPU times is shown beside it because it
        # holds steady when other work shares the machine.
        cpu, reference_cpu = figures["cpu_ms"], reference[2]
        if kind == "at_most_times":
            ratio = value / reference[1]
            met = ratio <= limit
            ratio_text = f"{ratio:.2f} ×"
            if reference_cpu > 0:
                ratio_text += f" (CPU {cpu / reference_cpu:.2f} ×)"
        else:
            ratio = reference[1] / value if value > 0 else float("inf")
            met = limit is not None and ratio >= limit
            ratio_text = f"{ratio:.1f} × faster"
            if cpu > 0:
                ratio_text += f" (CPU {reference_cpu / cpu:.1f} ×)"
        # A comparison without a goal shows its ratio and no verdict.
        verdict = "–" if kind == "faster_than" else ("met" if met else "missed")
        return [goal["figure"], engine_text, reference_text, ratio_text, goal_text, verdict]
    if kind == "below":
        return [goal["figure"], engine_text, "–", "–", goal_text,
                "met" if value < limit else "missed"]
    if kind == "at_most":
        return [goal["figure"], engine_text, "–", "–", goal_text,
                "met" if value <= limit else "missed"]
    return [goal["figure"], engine_text, reference_text, "–", goal_text, "–"]


def check_counts(name, figures, layer):
    """A contender that reports features or vertices must have read the whole coastline."""
    counters = figures.get("counters", {})
    for counter in ("features", "vertices"):
        if counter in counters and int(round(counters[counter])) != layer[counter]:
            raise benchlib.BenchError(
                f"{name} read {int(round(counters[counter])):,} {counter}, but the coastline "
                f"holds {layer[counter]:,}: it did not read the same file in full")


# ---------------------------------------------------------------------------------------------
# Tables


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return "\n".join(lines)


def data_table(manifest):
    coast = manifest["coastline"]
    grids = manifest["grids"]
    zoom = manifest["views"]["zoom"]
    densest = manifest["views"]["densest"]
    grid_polygons = sum(g["features"] for g in grids)
    share = 100.0 * zoom["vertices_inside"] / coast["vertices"]
    densest_share = 100.0 * densest["vertices_inside"] / coast["vertices"]
    return table(["Data", "Polygons", "Rings", "Vertices"], [
        [f"coastline ({manifest['crs']})", f"{coast['features']:,}", f"{coast['rings']:,}",
         f"{coast['vertices']:,}"],
        [f"{len(grids)} grid layers", f"{grid_polygons:,}",
         f"{sum(g['rings'] for g in grids):,}", f"{sum(g['vertices'] for g in grids):,}"],
        [f"search layers ({len(grids) + 1}), {manifest['search_points']['count']:,} points",
         f"{grid_polygons + coast['features']:,}", "", ""],
        ["zoomed view (Gulf of Alaska), coastline inside", "", "",
         f"{zoom['vertices_inside']:,} ({share:.2f} %)"],
        ["densest window of that size, coastline inside", "", "",
         f"{densest['vertices_inside']:,} ({densest_share:.2f} %)"],
    ])


def peer_rows(peers, qgis, rasterize):
    rows = []

    # Google Benchmark warms up for a set time (bench/run) rather than with one whole run.
    def row(name, what, wall, cpu, runs, first=None):
        rows.append([name, what, format_ms(wall), format_ms(cpu), str(runs),
                     format_ms(first) if first is not None else "0.5 s, untimed"])

    if peers and "BM_OgrReadLoop" in peers:
        p = peers["BM_OgrReadLoop"]
        row("OGR read loop (C++)", "open, read every feature, touch every point", p["wall_ms"],
            p["cpu_ms"], p["repetitions"])
    if qgis:
        version = short_qgis_version(qgis)
        canvas, plain = qgis["settings"]["canvas"], qgis["settings"]["plain"]
        row(f"QGIS {version}, canvas settings", "full-extent frame, rendering optimisation on",
            canvas["median_ms"], canvas["cpu_median_ms"], len(canvas["runs_ms"]),
            canvas["first_ms"])
        row(f"QGIS {version}, plain settings", "full-extent frame, no simplification",
            plain["median_ms"], plain["cpu_median_ms"], len(plain["runs_ms"]), plain["first_ms"])
    if rasterize:
        row("gdal_rasterize -ts 1920 1080", "whole command: open, read, burn, write",
            rasterize["median_ms"], rasterize["cpu_median_ms"], len(rasterize["runs_ms"]),
            rasterize["first_ms"])
        start = rasterize["startup"]
        row("gdal_rasterize --version", "process start and driver registration only",
            start["median_ms"], start["cpu_median_ms"], len(start["runs_ms"]), start["first_ms"])
    if peers and "BM_GdalRasterizeInProcess" in peers:
        p = peers["BM_GdalRasterizeInProcess"]
        row("GDALRasterize in-process (C++)", "the same rasterization without process start",
            p["wall_ms"], p["cpu_ms"], p["repetitions"])
    return rows


def machine_rows(machine, tools, loads):
    """The machine table's rows: the machine, the build, the tools the contenders used (rows of
    their own, given by the caller) and the load averages before each contender."""
    rows = [
        ["Date", machine.get("date", "?")],
        ["CPU", f"{machine.get('cpu', '?')}, {machine.get('cores', '?')} logical cores"],
        ["Memory", machine.get("memory", "?")],
        ["OS", f"{machine.get('os', '?')}, kernel {machine.get('kernel', '?')}"],
        ["Compiler", f"{machine.get('compiler', '?')}, {machine.get('build_type', '?')} build"],
        ["Qt / GDAL", f"{machine.get('qt', '?')} / {machine.get('gdal', '?')}"],
        *tools,
        ["Python", machine.get("python", "?")],
    ]
    if loads:
        rows.append(["Load averages (1, 5, 15 min) before each contender",
                     "; ".join(f"{name} {' '.join(values)}" for name, values in loads)])
    return rows


def machine_table(machine, qgis, loads):
    return table(["Machine", ""], machine_rows(machine, [
        ["QGIS", qgis.get("qgis_version", "not run") if qgis else "not run"],
        ["Google Benchmark", machine.get("benchmark", "?")],
    ], loads))


def parse_loads(text):
    loads = []
    for line in text.splitlines():
        parts = line.split()
        if len(parts) >= 4:
            loads.append((parts[0], parts[1:4]))
    return loads


def busy_note(machine, loads):
    """A warning when other work shared the cores during the run, else an empty text."""
    cores = machine.get("cores")
    if not loads or not isinstance(cores, int) or cores < 1:
        return ""
    highest = max(float(values[0]) for _, values in loads)
    if highest < 0.5 * cores:
        return ""
    return (f"The machine was busy during this run: the one-minute load average reached "
            f"{highest:.1f} on {cores} cores. Other work lengthened the wall-clock figures; the "
            "CPU times show the contenders' own work. Compare the ratios, which come from one "
            "run.")


def results_block(manifest, machine, peers, engine, qgis, rasterize, loads):
    refs = reference_figures(peers, qgis, rasterize, engine)
    goal_rows = [evaluate(goal, engine, refs) for goal in GOALS]
    parts = [
        busy_note(machine, loads),
        machine_table(machine, qgis, loads),
        data_table(manifest),
        "Our engine against the goals (medians; wall clock, CPU time in brackets):",
        table(["Figure", "Our engine", "Held against", "Ratio", "Goal", "Verdict"], goal_rows),
        "Comparison peers (medians of the timed runs; the first run is a warm-up, shown apart):",
        table(["Peer", "What is timed", "Wall", "CPU", "Runs", "Warm-up run"],
              peer_rows(peers, qgis, rasterize)),
    ]
    return "\n\n".join(part for part in parts if part)


def replace_block(document, block, source="document", markers=(BEGIN_MARKER, END_MARKER)):
    """The document with the text between the results markers replaced by block."""
    begin_marker, end_marker = markers
    begin = document.find(begin_marker)
    end = document.find(end_marker)
    if begin < 0 or end < 0 or end < begin:
        raise benchlib.BenchError(
            f"{source}: the markers '{begin_marker}' and '{end_marker}' are missing or out of "
            "order")
    return (document[: begin + len(begin_marker)] + "\n\n" + block.strip() + "\n\n"
            + document[end:])


# ---------------------------------------------------------------------------------------------
# Batch positions (bench/positions.py)

POSITIONS_BEGIN_MARKER = "<!-- positions results: begin (bench/run writes this part) -->"
POSITIONS_END_MARKER = "<!-- positions results: end -->"

# Each goal holds one of our whole-command throughputs (positions a second, opening the layers
# included) against a peer's: ours / peer >= limit.
POSITIONS_GOALS = [
    {"figure": "Every core against PostGIS's fastest form", "ours": "all_cores",
     "peer": "postgis", "limit": 3},
    {"figure": "Every core against GeoPandas", "ours": "all_cores", "peer": "geopandas",
     "limit": 10},
    {"figure": "One thread against PostGIS's fastest form", "ours": "one_thread",
     "peer": "postgis", "limit": 1.5},
]

PEER_LABELS = {"postgis": "PostGIS", "geopandas": "GeoPandas"}

FORM_LABELS = {
    "polygon_driven": "polygon-driven",
    "polygon_driven_subdivided": "polygon-driven, layers cut with ST_Subdivide",
    "point_driven": "point-driven",
    "point_driven_subdivided": "point-driven, layers cut with ST_Subdivide",
}


def format_rate(value):
    return f"{value:,.0f}/s"


def format_seconds(value):
    return format_amount(value, "s")


def format_mib(value):
    return f"{value / (1 << 20):,.0f} MiB"


def fastest_form(postgis):
    """PostGIS's fastest form that finished, or None."""
    forms = [f for f in (postgis or {}).get("forms", []) if not f.get("timed_out")]
    named = [f for f in forms if f["name"] == postgis.get("fastest")]
    if named:
        return named[0]
    return max(forms, key=lambda f: f["per_s"]) if forms else None


def positions_peer(results, peer):
    """(label, positions a second) of a peer as the goals hold it, or None when not measured."""
    if peer == "postgis":
        form = fastest_form(results.get("postgis"))
        if form is None:
            return None
        return f"PostGIS, {FORM_LABELS.get(form['name'], form['name'])}", form["per_s"]
    figures = results.get(peer)
    if not figures or not figures.get("per_s"):
        return None
    return PEER_LABELS[peer], figures["per_s"]


def evaluate_positions_goal(goal, results):
    """One goal's row: figure, ours, held against, ratio, goal, verdict."""
    ours = (results.get("ours") or {}).get(goal["ours"])
    peer = positions_peer(results, goal["peer"])
    goal_text = f"≥ {goal['limit']:g} × the peer"
    if peer:
        goal_text += f" (≥ {format_rate(peer[1] * goal['limit'])})"
        peer_text = f"{peer[0]}: {format_rate(peer[1])}"
    else:
        peer_text = f"{PEER_LABELS[goal['peer']]}: {NOT_MEASURED}"
    if not ours or not ours.get("per_s"):
        return [goal["figure"], NOT_MEASURED, peer_text, "–", goal_text, NOT_MEASURED]
    ours_text = format_rate(ours["per_s"])
    if ours.get("query_only_per_s"):
        ours_text += f" (query alone {format_rate(ours['query_only_per_s'])})"
    if not peer:
        return [goal["figure"], ours_text, peer_text, "–", goal_text, NOT_MEASURED]
    ratio = ours["per_s"] / peer[1]
    # Rounded as shown, so the verdict never contradicts the ratio beside it.
    met = round(ratio, 2) >= goal["limit"]
    return [goal["figure"], ours_text, peer_text, f"{ratio:.2f} ×", goal_text,
            "met" if met else "missed"]


def contender_rows(results):
    """The contenders' figures: medians of the timed runs."""
    rows = []
    count = results["count"]
    ours = results.get("ours")
    if ours:
        for key, what in (("all_cores", "every core"), ("one_thread", "one thread")):
            series = ours.get(key)
            if not series:
                continue
            rows.append([f"pelagon-cli query, {what}", "whole command", f"{count:,}",
                         format_seconds(series["median_wall_s"]),
                         format_seconds(series["median_cpu_s"]), format_rate(series["per_s"]),
                         format_mib(series["peak_rss_bytes"])])
            if series.get("query_only_per_s"):
                rows.append([f"pelagon-cli query, {what}", "the query alone (less the open)",
                             f"{count:,}", format_seconds(series["query_only_s"]), "–",
                             format_rate(series["query_only_per_s"]), "–"])
        for key, what in (("open", "every core"), ("open_one_thread", "one thread")):
            series = ours.get(key)
            if not series:
                continue
            rows.append([f"pelagon-cli query, {what}",
                         "the open: a file of no positions (31 layers read and indexed)", "0",
                         format_seconds(series["median_wall_s"]),
                         format_seconds(series["median_cpu_s"]), "–",
                         format_mib(series["peak_rss_bytes"])])
    postgis = results.get("postgis")
    if postgis:
        fastest = fastest_form(postgis)
        for form in postgis.get("forms", []):
            label = f"PostGIS, {FORM_LABELS.get(form['name'], form['name'])}"
            if fastest is not None and form["name"] == fastest["name"]:
                label += " (fastest)"
            what = "COPY (query) TO '/dev/null'"
            if form.get("timed_out"):
                rows.append([label, what, f"{form['count']:,}",
                             f"ran past the {postgis['statement_timeout_s']:g} s timeout", "–",
                             f"< {format_rate(form['count'] / postgis['statement_timeout_s'])}",
                             "–"])
                continue
            rows.append([label, what, f"{form['count']:,}",
                         format_seconds(form["median_wall_s"]),
                         format_seconds(form["median_cpu_s"]), format_rate(form["per_s"]), "–"])
    geopandas = results.get("geopandas")
    if geopandas:
        rows.append(["GeoPandas sjoin, one thread", "sjoin with each of the 31 layers",
                     f"{geopandas['count']:,}", format_seconds(geopandas["median_wall_s"]),
                     format_seconds(geopandas["median_cpu_s"]), format_rate(geopandas["per_s"]),
                     f"{format_mib(geopandas['peak_rss_bytes'])} (process, layers loaded)"])
    return rows


def untimed_text(results):
    """What the peers did before their timed runs, for information."""
    parts = []
    postgis = results.get("postgis")
    if postgis and postgis.get("load"):
        load = postgis["load"]
        cut = ", ".join(f"{name} into {pieces:,} pieces"
                        for name, pieces in load.get("cut_layers", {}).items())
        parts.append(
            f"PostGIS's loading took {format_seconds(load['total_s'])}: the layers with ogr2ogr "
            f"{format_seconds(load['layers_s'])}, the positions with COPY and their index "
            f"{format_seconds(load['positions_s'])}, ST_Subdivide "
            f"{format_seconds(load['subdivide_s'])}" + (f" ({cut})" if cut else "")
            + f", VACUUM ANALYZE {format_seconds(load['vacuum_analyze_s'])}.")
    geopandas = results.get("geopandas")
    if geopandas and "read_s" in geopandas:
        parts.append(f"GeoPandas read the layers and made the points in "
                     f"{format_seconds(geopandas['read_s'])}.")
    if not parts:
        return ""
    return "Not timed: " + " ".join(parts)


def durations_text(results):
    """How long each part of the run took, so the next run can be planned."""
    durations = results.get("durations_s", {})
    if "total_s" not in durations:
        return ""
    parts = [(label, durations[key]) for key, label in (
        ("ours_s", "ours"), ("postgis_s", "PostGIS, loading included"),
        ("geopandas_s", "GeoPandas, reading included"), ("compare_s", "comparing the answers"))
        if key in durations]
    text = f"The whole run took {durations['total_s'] / 60:.1f} min"
    if parts:
        text += ": " + ", ".join(f"{label} {seconds / 60:.1f} min" for label, seconds in parts)
    return text + "."


def agreement_rows(results):
    rows = []
    for key in ("postgis", "geopandas"):
        agreement = results.get("agreement", {}).get(key)
        if not agreement:
            rows.append([PEER_LABELS[key], NOT_MEASURED, "–", "–", "–", "–", "–"])
            continue
        at_edge = agreement.get("mismatches_at_edge", 0)
        edge_text = f"{at_edge:,}"
        if at_edge:
            edge_text += (f" (the farthest {agreement['largest_edge_distance_m'] * 100:.1f} cm "
                          f"from the outline; {agreement['edge_tolerance_m'] * 100:g} cm "
                          "allowed)")
        example = "–"
        for first in agreement.get("examples", []):
            if first.get("at_edge"):
                continue
            if first.get("kind") == "different":
                example = (f"id {first['id']}, {first['layer']}: ours “{first['ours']}”, "
                           f"peer {', '.join(first['peer']) or 'nothing'}")
            else:
                example = f"id {first['id']}: {first['kind']}"
            break
        rows.append([agreement["peer"], f"{agreement['positions_compared']:,}",
                     f"{agreement['cells_compared']:,}",
                     f"{agreement['mismatches'] - at_edge:,}", edge_text,
                     f"{agreement['cells_with_several_values']:,}", example])
    return rows


def tool_rows(results):
    postgis = (results.get("postgis") or {}).get("versions")
    geopandas = (results.get("geopandas") or {}).get("versions")
    rows = [["PostgreSQL / PostGIS",
             f"{postgis['postgresql']} / PostGIS {postgis['postgis']} (GEOS {postgis['geos']})"
             if postgis else "not run"]]
    if geopandas:
        text = (f"GeoPandas {geopandas['geopandas']}, Shapely {geopandas['shapely']}, "
                f"rtree {geopandas['rtree']}; spatial index: {geopandas['spatial_index']}")
        if not geopandas.get("pygeos"):
            text += " (no PyGEOS)"
    else:
        text = "not run"
    rows.append(["GeoPandas", text])
    return rows


def positions_block(results):
    machine = results.get("machine", {})
    loads = [(name, values) for name, values in results.get("loads", [])]
    layers = results.get("layers", [])
    features = sum(layer.get("features", 0) for layer in layers)
    repetitions = results.get("repetitions", 0)
    runs = f"{repetitions} timed run" + ("" if repetitions == 1 else "s")
    parts = [
        busy_note(machine, loads),
        table(["Machine", ""], machine_rows(machine, tool_rows(results), loads)),
        f"{results['count']:,} positions over {len(layers)} layers ({features:,} polygons). "
        f"Every contender ran once untimed, then {runs}; the figures are medians. Throughput "
        "is positions answered a second; PostGIS's CPU time is that of all the server's "
        "processes.",
        "Our command against the goals (whole command, opening the layers included; the query "
        "alone in brackets):",
        table(["Figure", "Ours", "Held against", "Ratio", "Goal", "Verdict"],
              [evaluate_positions_goal(goal, results) for goal in POSITIONS_GOALS]),
        "The contenders:",
        table(["Contender", "What is timed", "Positions", "Wall", "CPU", "Throughput",
               "Peak resident memory"], contender_rows(results)),
        untimed_text(results),
        durations_text(results),
        "Answers compared with ours (a cell is one position in one layer; ours must be one of "
        "the peer's values there, or both empty; where they differ and the position lies on an "
        "outline within the tolerance of our coordinates, the cell is counted apart):",
        table(["Peer", "Positions", "Cells", "Cells that disagree",
               "Cells answered differently on an outline",
               "Cells where the peer gives several values", "First disagreement"],
              agreement_rows(results)),
    ]
    return "\n\n".join(part for part in parts if part)


def write_positions(args):
    path = Path(args.results)
    results = read_json(path, required=True)
    if not isinstance(results, dict) or "count" not in results:
        raise benchlib.BenchError(f"{path}: not the results of bench/positions.py")
    block = positions_block(results)
    if args.doc:
        doc = Path(args.doc)
        doc.write_text(replace_block(doc.read_text(encoding="utf-8"), block, str(doc),
                                     (POSITIONS_BEGIN_MARKER, POSITIONS_END_MARKER)),
                       encoding="utf-8")
    print(block)


# ---------------------------------------------------------------------------------------------
# Machine


def first_line(command):
    try:
        result = subprocess.run(command, capture_output=True, text=True, check=True)
    except (OSError, subprocess.CalledProcessError):
        return None
    lines = result.stdout.strip().splitlines()
    return lines[0] if lines else None


def cmake_cache(build):
    values = {}
    try:
        text = (Path(build) / "CMakeCache.txt").read_text(encoding="utf-8", errors="replace")
    except OSError:
        return values
    for line in text.splitlines():
        match = re.match(r"^([A-Za-z_0-9]+):[A-Z]+=(.*)$", line)
        if match:
            values[match.group(1)] = match.group(2)
    return values


def package_version(name):
    return first_line(["dpkg-query", "-W", "-f=${Version}", name])


def collect_machine(build):
    cpu = "?"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    memory = "?"
    try:
        for line in Path("/proc/meminfo").read_text().splitlines():
            if line.startswith("MemTotal:"):
                memory = f"{int(line.split()[1]) / 1024 / 1024:.1f} GiB"
                break
    except OSError:
        pass
    os_name = "?"
    try:
        for line in Path("/etc/os-release").read_text().splitlines():
            if line.startswith("PRETTY_NAME="):
                os_name = line.split("=", 1)[1].strip('"')
    except OSError:
        pass
    cache = cmake_cache(build)
    compiler = first_line([cache.get("CMAKE_CXX_COMPILER", "c++"), "--version"]) or "?"
    qt = first_line(["qtpaths6", "--qt-version"])
    gdal = first_line(["gdal-config", "--version"])
    benchmark = package_version("libbenchmark-dev")
    return {
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "cpu": cpu,
        "cores": os.cpu_count(),
        "memory": memory,
        "os": os_name,
        "kernel": platform.release(),
        "compiler": compiler,
        "build_type": cache.get("CMAKE_BUILD_TYPE", "?"),
        "qt": f"Qt {qt}" if qt else "?",
        "gdal": f"GDAL {gdal}" if gdal else "?",
        "benchmark": f"{benchmark} (Debian package)" if benchmark else "?",
        "python": f"Python {platform.python_version()}",
    }


# ---------------------------------------------------------------------------------------------


def read_json(path, required):
    if not path.is_file():
        if required:
            raise benchlib.BenchError(f"{path}: missing; did its contender run?")
        return None
    try:
        return json.loads(path.read_text(encoding="utf-8"))
    except json.JSONDecodeError as e:
        raise benchlib.BenchError(f"{path}, line {e.lineno}: not valid JSON ({e.msg})") from e


def write(args):
    results = Path(args.results)
    manifest = benchlib.load_manifest(benchlib.data_folder(args.folder))
    machine = read_json(results / "machine.json", required=True)
    peers_doc = read_json(results / "peers.json", required=True)
    peers = benchmark_medians(peers_doc, str(results / "peers.json"))
    engine = None
    for name in ("engine.json", "engine-memory.json"):
        document = read_json(results / name, required=False)
        if document:
            engine = {**(engine or {}), **benchmark_medians(document, str(results / name))}
    qgis = read_json(results / "qgis.json", required=True)
    rasterize = read_json(results / "rasterize.json", required=True)
    if "BM_OgrReadLoop" not in peers:
        raise benchlib.BenchError(f"{results / 'peers.json'}: holds no BM_OgrReadLoop")
    check_counts("the OGR read loop", peers["BM_OgrReadLoop"], manifest["coastline"])
    if engine and "BM_EngineOpen" in engine:
        check_counts("BM_EngineOpen", engine["BM_EngineOpen"], manifest["coastline"])
    load_path = results / "load.txt"
    loads = parse_loads(load_path.read_text()) if load_path.is_file() else []

    block = results_block(manifest, machine, peers, engine, qgis, rasterize, loads)
    if args.doc:
        doc = Path(args.doc)
        doc.write_text(replace_block(doc.read_text(encoding="utf-8"), block, str(doc)),
                       encoding="utf-8")
    print(block)


def main():
    parser = argparse.ArgumentParser(description="Writes the benchmark results into the docs.")
    commands = parser.add_subparsers(dest="command", required=True)
    machine = commands.add_parser("machine", help="record the machine and versions")
    machine.add_argument("--out", required=True)
    machine.add_argument("--build", default="build")
    writer = commands.add_parser("write", help="write the results tables into the document")
    writer.add_argument("--results", required=True)
    writer.add_argument("--doc", help="document to write the tables into (default: print it)")
    writer.add_argument("--folder", help="data folder (default: the cache folder)")
    positions = commands.add_parser(
        "positions", help="write the batch-positions table into the document")
    positions.add_argument("--results", required=True, help="JSON of bench/positions.py")
    positions.add_argument("--doc", help="document to write the table into (default: print it)")
    args = parser.parse_args()
    try:
        if args.command == "machine":
            Path(args.out).write_text(json.dumps(collect_machine(args.build), indent=1) + "\n",
                                      encoding="utf-8")
        elif args.command == "positions":
            write_positions(args)
        else:
            write(args)
    except benchlib.BenchError as e:
        print(f"report: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
