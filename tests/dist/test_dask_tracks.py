"""scripts/dask-tracks on a two-worker local cluster against one run of pelagon-cli over the whole
file: the same table, byte for byte, and the same messages on standard error.

The tracks file is made here: vessels crossing the sample map's statistical areas in time order
(so vessels are interleaved), names that need quotes or span two lines, a gap that breaks a track,
and rows the program leaves out (a bad number, a bad time, too few fields, quotes broken on one
line and over two lines, a quote never closed on the last line), so that line numbers in the
partitions differ from the file's; and a GPX file, which is read whole. Run by ctest with
PELAGON_BUILD_DIR and PELAGON_SOURCE_DIR set. Exits 77 (skipped) when Dask is missing.
"""

import os
import random
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SKIPPED = 77
SOURCE = Path(os.environ.get("PELAGON_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BUILD = Path(os.environ.get("PELAGON_BUILD_DIR", SOURCE / "build"))
CLI = BUILD / "src" / "pelagon-cli"
SCRIPT = SOURCE / "scripts" / "dask-tracks"
MAP = SOURCE / "samples" / "alaska" / "Alaska.mv"

VESSELS = [f"V{k:02d}" for k in range(1, 19)] + [
    "Kodiak, Star", 'Say "Hi"', "Ørn", "North\nWind", " V01 "]


def quoted(text):
    if any(c in text for c in ',"\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def make_tracks(path, sorted_by_vessel):
    """Positions every 20 minutes over two days in the Gulf of Alaska and the Bering Sea, each
    vessel heading somewhere at 4 to 12 knots; one vessel is silent for 8 hours."""
    rng = random.Random(7)
    rows = []
    for number, vessel in enumerate(VESSELS):
        lon, lat = rng.uniform(-168, -146), rng.uniform(54, 59)
        heading_lon, heading_lat = rng.uniform(-0.12, 0.12), rng.uniform(-0.05, 0.05)
        for step in range(rng.randrange(30, 60)):
            minutes = 20 * step + number
            if vessel == "V03" and step > 10:
                minutes += 8 * 60
            lon += heading_lon * rng.uniform(0.3, 1.0)
            lat += heading_lat * rng.uniform(0.3, 1.0)
            time = f"2026-06-{1 + minutes // 1440:02d}T{minutes // 60 % 24:02d}:" \
                   f"{minutes % 60:02d}:00Z"
            rows.append((vessel, minutes, f"{quoted(vessel)},{time},{lon:.5f},{lat:.5f}"))
    if sorted_by_vessel:
        rows.sort(key=lambda r: (r[0].strip().encode(), r[1]))
    else:
        rows.sort(key=lambda r: r[1])
    lines = [text for _, _, text in rows]
    if not sorted_by_vessel:
        lines[5:5] = ["V05,2026-06-01T01:00:00Z,-150.0,abc", ""]
        lines[40:40] = ["V07,yesterday,-150.0,57.0", "V08,2026-06-01T02:00:00Z"]
        lines[90:90] = ['"V09"x,2026-06-01T03:00:00Z,-150.0,57.0',
                        '"Ghost', 'ship"x,2026-06-01T03:00:00Z,-150.0,57.0']
        lines.append('"Never,2026-06-03T00:00:00Z,-150.0,57.0')
    # CR LF on some lines: the line count is the same either way.
    text = "vessel,time,lon,lat\r\n" + "".join(
        line + ("\r\n" if k % 3 == 0 else "\n") for k, line in enumerate(lines))
    Path(path).write_text(text, encoding="utf-8", newline="")


def make_gpx(path):
    """Two tracks as GPX, which is read whole rather than split."""
    points = "".join(
        f'<trkpt lat="{57 + k / 20:.2f}" lon="{-152 - k / 10:.2f}"><time>2026-06-01T0{k}:00:00Z'
        "</time></trkpt>" for k in range(6))
    Path(path).write_text(
        '<?xml version="1.0"?><gpx version="1.1" creator="test">'
        + "".join(f"<trk><name>{name}</name><trkseg>{points}</trkseg></trk>"
                  for name in ("B", "A")) + "</gpx>\n", encoding="utf-8")


def run(command, **kwargs):
    return subprocess.run([str(c) for c in command], capture_output=True, timeout=120, **kwargs)


class DaskTracks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        import logging
        import warnings

        warnings.filterwarnings("ignore", module=r"(distributed|tornado)(\.|$)")
        from dask.distributed import LocalCluster

        cls.folder = tempfile.TemporaryDirectory(prefix="dask-tracks-test-")
        folder = Path(cls.folder.name)
        cls.tracks = folder / "tracks.csv"
        cls.sorted_tracks = folder / "sorted.csv"
        make_tracks(cls.tracks, sorted_by_vessel=False)
        make_tracks(cls.sorted_tracks, sorted_by_vessel=True)
        cls.gpx = folder / "tracks.gpx"
        make_gpx(cls.gpx)
        cls.cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                   dashboard_address=None, silence_logs=logging.ERROR,
                                   local_directory=str(folder))

    @classmethod
    def tearDownClass(cls):
        cls.cluster.close()
        cls.folder.cleanup()

    def test_same_table_and_messages_as_one_run(self):
        # (command, its options, input, whether the script starts its own cluster)
        cases = [
            ("query", [], self.tracks, True),
            ("visits", [], self.tracks, False),
            ("hours", ["--by", "day", "--max-gap", "7"], self.tracks, False),
            ("visits", ["--sorted"], self.sorted_tracks, False),
            ("hours", [], self.gpx, False),
        ]
        folder = Path(self.folder.name)
        for command, options, tracks, own_cluster in cases:
            with self.subTest(command=command, options=options):
                single_out, dask_out = folder / "single.csv", folder / "dask.csv"
                single = run([CLI, command, MAP, "--csv", tracks, "-o", single_out, *options])
                self.assertEqual(single.returncode, 0, single.stderr)
                cluster = ["--workers", "2"] if own_cluster else \
                    ["--scheduler", self.cluster.scheduler_address]
                # More partitions than workers, so that each worker merges several.
                dask = run([SCRIPT, "--program", CLI, *cluster, "--partitions", "5",
                            command, MAP, "--csv", tracks, "-o", dask_out, *options])
                self.assertEqual(dask.returncode, 0, dask.stderr)
                self.assertEqual(dask.stderr.decode(), single.stderr.decode())
                self.assertGreater(single_out.stat().st_size, 100)
                self.assertEqual(dask_out.read_bytes(), single_out.read_bytes())


if __name__ == "__main__":
    try:
        import dask.distributed  # noqa: F401
    except ImportError:
        print("test_dask_tracks: skipped, Dask is missing (Debian's python3-dask and "
              "python3-distributed; scripts/setup installs them)")
        sys.exit(SKIPPED)
    unittest.main()
