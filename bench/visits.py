#!/usr/bin/python3
"""The visits benchmark: pelagon-cli visits and hours over 10 million positions of 1,000 vessels on
the sample map, and the same visits computed in PostGIS.

  bench/visits.py --out FILE [--cli PROGRAM] [--folder DATA] [--repetitions N]
                  [--peer-vessels N] [--skip postgis] [--doc FILE] [--work DIR]

Ours: `pelagon-cli visits` and `hours` (whole periods) over the month of tracks
(bench/tracks_data.py), once in time order (the vessels interleaved, held in memory) and once ordered by vessel and time
with --sorted (read in one pass); every run timed as a whole process (wall clock, CPU, peak
resident memory). The sorted read is also timed on the first 100 vessels alone, whose memory
must be the same as for all of them. The tables of both orders must be the same.

PostGIS (bench/visits_postgis.py) computes the visits of the first --peer-vessels vessels (all of
them by default), and ours is timed on the same positions; the two are compared visit by visit (enter and exit within 1 s,
hours within 0.001): the mismatches are counted by reason, with examples.

Everything goes into one JSON file (--out); with --doc, the results part of that page is
rewritten. Exit status: 0, 1 when something could not be measured, 3 when the visits of the
two disagree beyond the instants of contact (the JSON and the page are written all the same).
"""

import argparse
import csv
import datetime
import filecmp
import json
import os
import shutil
import signal
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib  # noqa: E402
import report  # noqa: E402
import tracks_data  # noqa: E402
from positions import build_folder_of, counted_rows, load_averages, run_child  # noqa: E402

REPO = Path(__file__).resolve().parent.parent
MAP = REPO / "samples" / "alaska" / "Alaska.mv"
GAP_HOURS = 6.0
GOAL_S = 30.0
PEER_RATIO = 10.0
DEFAULT_PEER_VESSELS = 1000
# The sorted read of this many vessels shows that its memory does not grow with the file.
FEW_VESSELS = 100
TIME_TOLERANCE_S = 1.0
HOURS_TOLERANCE = 0.001
EXAMPLES = 10
EXIT_FAILED, EXIT_DISAGREE = 1, 3
BEGIN = "<!-- visits results: begin (bench/run writes this part) -->"
END = "<!-- visits results: end -->"


def log(text):
    print(f"visits: {text}", flush=True)


def area_layers(map_path):
    """The map's layers of areas in map order: (layer name, shapefile, attribute field or None
    for a layer of documents)."""
    from osgeo import ogr

    ogr.UseExceptions()
    layers = []
    with open(map_path, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f):
            if int(row["Query"] or 0) <= 0:
                continue
            shapefile = Path(map_path).parent / "Shapefiles" / f"{row['File']}.shp"
            dataset = ogr.Open(str(shapefile))  # kept while its layer is used
            kind = ogr.GT_Flatten(dataset.GetLayer(0).GetGeomType())
            if kind in (ogr.wkbPolygon, ogr.wkbMultiPolygon):
                field = row["Field"] if int(row["Query"]) == 2 else None
                layers.append((row["Name"], shapefile, field))
    return layers


def run_ours(cli, command, tracks, output, options, expected, work):
    """One timed run: wall s, CPU s and peak resident bytes of the process."""
    line = [str(cli), command, str(MAP), "--csv", str(tracks), "-o", str(output), *options]
    err = Path(work) / "stderr.txt"
    with open(err, "wb") as f:
        status, wall, cpu, rss = run_child(line, stderr=f)
    text = err.read_text(encoding="utf-8", errors="replace")
    if status != 0:
        raise benchlib.BenchError(f"{' '.join(line[1:])} failed ({status}): {text[-2000:]}")
    if counted_rows(text) != (expected, 0):
        raise benchlib.BenchError(f"{' '.join(line[1:])}: expected '{expected:,} rows read, 0 "
                                  f"left out', got: {text.strip()[-500:]}")
    log(f"  {command} {' '.join(options)} {Path(tracks).name}: {wall:.1f} s (CPU {cpu:.1f} s, "
        f"{rss / (1 << 20):,.0f} MiB)")
    return {"wall_s": wall, "cpu_s": cpu, "peak_rss_bytes": rss}


def series(cli, command, tracks, output, options, expected, repetitions, work):
    runs = [run_ours(cli, command, tracks, output, options, expected, work)
            for _ in range(repetitions)]
    return {"command": command, "input": Path(tracks).name, "options": options,
            "positions": expected, "runs": runs,
            "median_wall_s": benchlib.median([r["wall_s"] for r in runs]),
            "median_cpu_s": benchlib.median([r["cpu_s"] for r in runs]),
            "peak_rss_bytes": max(r["peak_rss_bytes"] for r in runs)}


def epoch(text):
    return datetime.datetime.fromisoformat(text.replace("Z", "+00:00")).timestamp()


def read_visits(ours_path, peer_path, attribute_layers):
    """Both sides' visits grouped by (vessel, layer, area); the area is left out of the key for
    layers of documents. Each visit: (enter, exit, hours)."""
    groups = {}

    def key(vessel, layer, area):
        return (vessel, layer, area if layer in attribute_layers else "")

    with open(ours_path, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f):
            side = groups.setdefault(key(row["vessel"], row["layer"], row["area"]), ([], []))
            side[0].append((epoch(row["enter_time"]), epoch(row["exit_time"]),
                            float(row["hours"])))
    with open(peer_path, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f):
            enter, leave = float(row["enter_t"]), float(row["exit_t"])
            side = groups.setdefault(key(row["vessel"], row["layer"], row["area"]), ([], []))
            side[1].append((enter, leave, (leave - enter) / 3600.0))
    return groups


def overlaps(a, b):
    return a[0] <= b[1] + TIME_TOLERANCE_S and b[0] <= a[1] + TIME_TOLERANCE_S


# Reasons that the method of the other side explains: PostGIS's pieces of a track that passes
# over the same line twice are dissolved into one, whose ends get one pass's times.
SPANNED, SPANS = "lies in a visit of {other} that spans several of {mine}", \
    "spans several visits of {other}"
INSTANT = "an instant of contact (under 1 s inside)"


def reason_of(visit, others, mine, names):
    """Why a visit has no partner among the other side's visits of that vessel and area; names
    gives the words for the other side and for this one."""
    if visit[2] * 3600.0 < TIME_TOLERANCE_S:
        return INSTANT
    over = [o for o in others if overlaps(visit, o)]
    if any(sum(overlaps(o, m) for m in mine) > 1 for o in over):
        return SPANNED.format(**names)
    if len(over) > 1:
        return SPANS.format(**names)
    if over:
        return "overlaps a visit of {other} with other times".format(**names)
    return "no visit of {other} at that time".format(**names)


def close(ours, peer):
    """Our time is the second that holds it: within 1 s of that second."""
    return ours - TIME_TOLERANCE_S <= peer <= ours + 1.0 + TIME_TOLERANCE_S


def compare(ours_path, peer_path, attribute_layers):
    """Visit by visit: a pair agrees when enter and exit lie within 1 s and hours within
    0.001."""
    result = {"ours": 0, "peer": 0, "matched": 0, "hours_differ": 0, "reasons": {},
              "examples": []}

    def unmatched(side, key, visit, others, mine):
        names = {"other": "PostGIS", "mine": "ours"} if side == "ours" else \
            {"other": "ours", "mine": "PostGIS's"}
        reason = f"{side} only: {reason_of(visit, others, mine, names)}"
        result["reasons"][reason] = result["reasons"].get(reason, 0) + 1
        if len(result["examples"]) < EXAMPLES:
            result["examples"].append({"reason": reason, "vessel": key[0], "layer": key[1],
                                       "area": key[2], "enter": stamp(visit[0]),
                                       "exit": stamp(visit[1])})

    for key, (ours, peer) in sorted(read_visits(ours_path, peer_path, attribute_layers).items()):
        ours.sort()
        peer.sort()
        result["ours"] += len(ours)
        result["peer"] += len(peer)
        i = j = 0
        while i < len(ours) or j < len(peer):
            a = ours[i] if i < len(ours) else None
            b = peer[j] if j < len(peer) else None
            if a and b and close(a[0], b[0]) and close(a[1], b[1]):
                result["matched"] += 1
                if abs(a[2] - b[2]) > HOURS_TOLERANCE:
                    result["hours_differ"] += 1
                i, j = i + 1, j + 1
            elif b is None or (a is not None and a[0] <= b[0]):
                unmatched("ours", key, a, peer, ours)
                i += 1
            else:
                unmatched("PostGIS", key, b, ours, peer)
                j += 1
    explained = [INSTANT, SPANNED.format(other="PostGIS", mine="ours"),
                 SPANS.format(other="ours", mine="PostGIS's")]
    result["unexplained"] = sum(n for r, n in result["reasons"].items()
                                if r.split(": ", 1)[1] not in explained)
    result["agree"] = result["hours_differ"] == 0 and result["unexplained"] == 0
    return result


def stamp(seconds):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime(
        "%Y-%m-%dT%H:%M:%S.%f")[:-4] + "Z"


# ---------------------------------------------------------------------------------------------


def run_benchmark(args, work):
    started = time.perf_counter()
    folder = benchlib.data_folder(args.folder)
    folder.mkdir(parents=True, exist_ok=True)
    cli = Path(args.cli)
    if not os.access(cli, os.X_OK):
        raise benchlib.BenchError(f"{cli}: no such program; build it first")
    layers = area_layers(MAP)
    statareas = next(shp for name, shp, _ in layers if shp.stem == "statareas")
    def first(vessels):  # None for all of them
        return vessels if vessels < tracks_data.VESSELS else None

    subsets = {v for v in (first(FEW_VESSELS), first(args.peer_vessels)) if v}
    files = tracks_data.make_tracks(folder, statareas, subsets=sorted(subsets), log=log)
    count = tracks_data.VESSELS * tracks_data.PER_VESSEL
    few = min(FEW_VESSELS, tracks_data.VESSELS) * tracks_data.PER_VESSEL
    subset = args.peer_vessels * tracks_data.PER_VESSEL
    in_time, in_order = (files[n] for n in tracks_data.file_names(count))
    few_order = files[tracks_data.file_names(count, first(FEW_VESSELS))[1]]
    sub_time = files[tracks_data.file_names(count, first(args.peer_vessels))[0]]
    results = {"version": 1, "positions": count, "vessels": tracks_data.VESSELS,
               "seed": tracks_data.SEED, "map": "samples/alaska/Alaska.mv",
               "layers": [name for name, _, _ in layers], "gap_hours": GAP_HOURS,
               "peer_vessels": args.peer_vessels, "peer_positions": subset,
               "cores": os.cpu_count(), "machine": report.collect_machine(build_folder_of(cli)),
               "loads": [], "ours": [], "goal_s": GOAL_S, "peer_ratio": PEER_RATIO}
    for path in files.values():  # into the page cache, so no run pays for the disk
        with open(path, "rb") as f:
            while f.read(1 << 24):
                pass

    work = Path(work)
    results["loads"].append(["ours", load_averages()])
    outputs = {}
    for command in ("visits", "hours"):
        for tracks, options, expected in ((in_time, [], count), (in_order, ["--sorted"], count),
                                          (few_order, ["--sorted"], few)):
            out = work / f"{command}-{tracks.stem}.csv"
            log(f"ours: {command} {' '.join(options)} on {tracks.name}")
            results["ours"].append(series(cli, command, tracks, out, options, expected,
                                          args.repetitions, work))
            outputs[(command, tracks)] = out
    results["same_table_both_orders"] = {
        command: filecmp.cmp(outputs[(command, in_time)], outputs[(command, in_order)],
                             shallow=False) for command in ("visits", "hours")}

    if "postgis" not in args.skip:
        import visits_postgis

        if sub_time == in_time:  # all the vessels: ours is timed above
            ours_sub = outputs[("visits", in_time)]
            results["ours_peer_subset"] = results["ours"][0]
        else:
            ours_sub = work / "visits-subset.csv"
            log(f"ours on the peer's {subset:,} positions")
            results["loads"].append(["ours, peer's positions", load_averages()])
            results["ours_peer_subset"] = series(cli, "visits", sub_time, ours_sub, [], subset,
                                                 args.repetitions, work)
        results["loads"].append(["postgis", load_averages()])
        results["postgis"], answers = visits_postgis.measure(
            [(name, shp, field) for name, shp, field in layers], sub_time, GAP_HOURS, work,
            os.cpu_count() or 1, log)
        log("comparing the visits")
        attribute_layers = {name for name, _, field in layers if field}
        results["agreement"] = compare(ours_sub, answers, attribute_layers)
    results["total_s"] = time.perf_counter() - started
    return results


# ---------------------------------------------------------------------------------------------
# The page's part


def ours_rows(results):
    rows = []
    for s in results["ours"]:
        order = "by vessel and time, --sorted" if s["options"] else "in time order (interleaved)"
        verdict = ""
        if s["positions"] == results["positions"]:
            verdict = "met" if s["median_wall_s"] <= results["goal_s"] else "not met"
        rows.append([f"`{s['command']}`", order, f"{s['positions']:,}",
                     report.format_seconds(s["median_wall_s"]),
                     report.format_seconds(s["median_cpu_s"]),
                     report.format_mib(s["peak_rss_bytes"]), verdict])
    return rows


def peer_text(results):
    pg, ours = results.get("postgis"), results.get("ours_peer_subset")
    if not pg or not ours:
        return "PostGIS was not run."
    ratio = pg["wall_s"] / ours["median_wall_s"]
    steps = ", ".join(f"{s['name']} {report.format_seconds(s['wall_s'])}" for s in pg["steps"])
    load = pg["load"]
    rows = [
        ["ours: `pelagon-cli visits` (whole process)", f"{results['peer_positions']:,}",
         report.format_seconds(ours["median_wall_s"]),
         report.format_seconds(ours["median_cpu_s"]), "–"],
        [f"PostGIS: runs as LINESTRINGM, ST_Intersection, ST_InterpolatePoint ({steps})",
         f"{load['positions']:,}", report.format_seconds(pg["wall_s"]),
         report.format_seconds(pg["cpu_s"]), f"{pg['runs']:,} runs, {pg['visits']:,} visits"],
    ]
    verdict = "met" if ratio >= results["peer_ratio"] else "not met"
    return "\n\n".join([
        f"{vessels_text(results)} ({results['peer_positions']:,} positions, in time order), "
        f"for both: PostGIS {pg['versions']['postgis']} "
        f"(GEOS {pg['versions']['geos']}) on {pg['versions']['postgresql']}. Not timed: "
        f"loading the areas {report.format_seconds(load['layers_s'])}, the positions "
        f"{report.format_seconds(load['positions_s'])}.",
        report.table(["Contender", "Positions", "Wall", "CPU", ""], rows),
        f"Ours is {ratio:.1f} × faster by the wall clock (goal ≥ {results['peer_ratio']:g} ×: "
        f"{verdict}).",
    ])


def vessels_text(results):
    if results["peer_vessels"] >= results["vessels"]:
        return f"All {results['vessels']:,} vessels"
    return f"The first {results['peer_vessels']:,} vessels"


def agreement_text(results):
    a = results.get("agreement")
    if not a:
        return ""
    lines = [f"Visits compared: ours {a['ours']:,}, PostGIS {a['peer']:,}; {a['matched']:,} "
             f"pairs with enter and exit within {TIME_TOLERANCE_S:g} s, of which "
             f"{a['hours_differ']:,} differ in hours by more than {HOURS_TOLERANCE:g}."]
    rows = [[reason, f"{n:,}"] for reason, n in sorted(a["reasons"].items())]
    if rows:
        lines.append(report.table(["Without a partner", "Visits"], rows))
        first = a["examples"][0]
        lines.append(f"First: {first['vessel']}, {first['layer']} {first['area']}, "
                     f"{first['enter']} to {first['exit']} ({first['reason']}).")
    return "\n\n".join(lines)


def results_block(results):
    machine = results["machine"]
    pg = results.get("postgis") or {}
    tools = [["PostgreSQL / PostGIS", f"{pg['versions']['postgresql']} / PostGIS "
              f"{pg['versions']['postgis']}" if pg else "not run"]]
    same = results["same_table_both_orders"]
    flat = [s for s in results["ours"] if s["options"]]
    memory = "; ".join(
        f"`{s['command']} --sorted` {s['positions']:,} positions "
        f"{report.format_mib(s['peak_rss_bytes'])}" for s in flat)
    parts = [
        report.busy_note(machine, results["loads"]),
        report.table(["Machine", ""], report.machine_rows(machine, tools, results["loads"])),
        f"{results['positions']:,} positions of {results['vessels']:,} vessels over a month "
        f"(`bench/tracks_data.py`, seed {results['seed']}), on `{results['map']}`: "
        f"{len(results['layers'])} layers of areas. Default gap {results['gap_hours']:g} h; "
        f"{len(results['ours'][0]['runs'])} timed run(s) each, medians.",
        report.table(["Command", "Input order", "Positions", "Wall", "CPU",
                      "Peak resident memory", f"Goal ≤ {results['goal_s']:g} s"],
                     ours_rows(results)),
        f"Memory of the sorted read: {memory}. The tables of both orders are the same: "
        + ", ".join(f"{c} {'yes' if v else 'NO'}" for c, v in same.items()) + ".",
        peer_text(results),
        agreement_text(results),
        f"The whole run took {results['total_s'] / 60:.1f} min.",
    ]
    return "\n\n".join(p for p in parts if p)


def main():
    parser = argparse.ArgumentParser(description="Times pelagon-cli visits and hours on 10 "
                                                 "million positions, against PostGIS.")
    parser.add_argument("--out", required=True, help="JSON file of the results")
    parser.add_argument("--cli", default=str(REPO / "build" / "src" / "pelagon-cli"))
    parser.add_argument("--folder", help="data folder (default: the cache folder)")
    parser.add_argument("--repetitions", type=int, default=1,
                        help="timed runs of each of our commands (default 1)")
    parser.add_argument("--peer-vessels", type=int, default=DEFAULT_PEER_VESSELS,
                        help="PostGIS and ours on the first N vessels "
                             f"(default {DEFAULT_PEER_VESSELS})")
    parser.add_argument("--skip", action="append", default=[], choices=["postgis"])
    parser.add_argument("--doc", help="rewrite the results part of this page")
    parser.add_argument("--work", help="folder for the outputs (default: a temporary one)")
    args = parser.parse_args()
    if args.repetitions < 1 or not 1 <= args.peer_vessels <= tracks_data.VESSELS:
        parser.error("--repetitions needs 1 or more, --peer-vessels 1 to "
                     f"{tracks_data.VESSELS}")

    def terminate(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, terminate)
    work = Path(args.work) if args.work else Path(tempfile.mkdtemp(prefix="pelagon-visits-"))
    work.mkdir(parents=True, exist_ok=True)
    try:
        results = run_benchmark(args, work)
        Path(args.out).write_text(json.dumps(results, indent=1) + "\n", encoding="utf-8")
        block = results_block(results)
        if args.doc:
            doc = Path(args.doc)
            doc.write_text(report.replace_block(doc.read_text(encoding="utf-8"), block, str(doc),
                                                (BEGIN, END)), encoding="utf-8")
        print(block)
    except benchlib.BenchError as e:
        print(f"visits: {e}", file=sys.stderr)
        return EXIT_FAILED
    except KeyboardInterrupt:
        print("visits: interrupted", file=sys.stderr)
        return 130
    finally:
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
    agreement = results.get("agreement")
    return EXIT_DISAGREE if agreement and not agreement["agree"] else 0


if __name__ == "__main__":
    sys.exit(main())
