#!/usr/bin/python3
"""Peer: the gdal_rasterize command burning the coastline into a raster of the frame size.

  bench/time_rasterize.py --out FILE [--folder DIR] [--repetitions N]

Runs `gdal_rasterize -l coastline -burn 255 -ot Byte -ts WIDTH HEIGHT` on the coastline once
untimed (to warm the file cache) and then N times, timing each whole process: wall clock, and the
CPU time the child used. It also times `gdal_rasterize --version` the same way: starting the
process, loading the libraries and registering the drivers, a cost included in every run above.
"""

import argparse
import json
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib  # noqa: E402


def timed(command):
    """Runs a command to completion; (wall ms, child CPU ms). A failure raises BenchError."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    try:
        result = subprocess.run(command, capture_output=True, text=True)
    except FileNotFoundError as e:
        raise benchlib.BenchError(
            f"'{command[0]}' is not installed; run scripts/setup bench") from e
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if result.returncode != 0:
        raise benchlib.BenchError(
            f"'{' '.join(command)}' failed with exit status {result.returncode}: "
            f"{(result.stderr or result.stdout).strip()}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall * 1000.0, cpu * 1000.0


def series(command, repetitions):
    first_ms, _ = timed(command)
    wall_ms, cpu_ms = [], []
    for _ in range(repetitions):
        w, c = timed(command)
        wall_ms.append(w)
        cpu_ms.append(c)
    return {
        "command": command,
        "first_ms": first_ms,
        "runs_ms": wall_ms,
        "cpu_runs_ms": cpu_ms,
        "median_ms": benchlib.median(wall_ms),
        "cpu_median_ms": benchlib.median(cpu_ms),
    }


def burned_pixels(path):
    """Pixels the command burned: a raster without any means it drew nothing."""
    from osgeo import gdal

    gdal.UseExceptions()
    # The dataset must outlive its band: GDAL frees the band with it.
    dataset = gdal.Open(str(path))
    histogram = dataset.GetRasterBand(1).GetHistogram(-0.5, 255.5, 256,
                                                      include_out_of_range=False, approx_ok=False)
    return int(histogram[255])


def main():
    parser = argparse.ArgumentParser(description="Times the gdal_rasterize command.")
    parser.add_argument("--folder", help="data folder (default: the cache folder)")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--out", required=True, help="result file (JSON)")
    args = parser.parse_args()
    if args.repetitions < 1:
        parser.error("--repetitions must be at least 1")

    folder = benchlib.data_folder(args.folder)
    try:
        manifest = benchlib.load_manifest(folder)
        coastline = manifest["coastline"]
        frame = manifest["frame"]
        with tempfile.TemporaryDirectory() as scratch:
            raster = Path(scratch) / "coastline.tif"
            command = [
                "gdal_rasterize", "-q", "-l", coastline["name"], "-burn", "255", "-ot", "Byte",
                "-ts", str(frame["width"]), str(frame["height"]),
                str(folder / coastline["path"]), str(raster),
            ]
            result = series(command, args.repetitions)
            result["burned_pixels"] = burned_pixels(raster)
        if result["burned_pixels"] == 0:
            raise benchlib.BenchError("gdal_rasterize burned no pixel of the coastline")
        result["startup"] = series(["gdal_rasterize", "--version"], args.repetitions)
        version = subprocess.run(["gdal_rasterize", "--version"], capture_output=True, text=True)
        result["gdal_version"] = version.stdout.strip()
        result["repetitions"] = args.repetitions
    except benchlib.BenchError as e:
        print(f"time_rasterize: {e}", file=sys.stderr)
        return 1
    Path(args.out).write_text(json.dumps(result, indent=1) + "\n", encoding="utf-8")
    print(f"time_rasterize: gdal_rasterize {result['median_ms']:.1f} ms, process start "
          f"{result['startup']['median_ms']:.1f} ms (medians of {args.repetitions})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
