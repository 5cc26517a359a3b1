#!/usr/bin/python3
"""The batch-positions benchmark: which feature of every layer lies at each of a million positions.

  bench/positions.py --out FILE [--cli PROGRAM] [--folder DATA] [--count N] [--repetitions N]
                     [--geopandas-count N] [--point-driven-count N]
                     [--statement-timeout SECONDS] [--edge-tolerance METRES] [--skip PART]
                     [--work DIR] [--keep]

Contenders, all answering the same question for the same positions over the same 31 layers (the
coastline and the 30 grids of bench/make-data):

  ours       `pelagon-cli query MAP --csv POSITIONS -o OUT`, timed as a whole process on every
             core and with --threads 1; the same command on a file of no positions gives the cost
             of opening and indexing the layers, so the query alone can be told apart
  postgis    a PostgreSQL server with PostGIS, started for the run in a temporary folder and
             removed afterwards; the layers loaded with ogr2ogr, the positions with COPY, GiST
             indexes everywhere, the coastline also cut with ST_Subdivide (loading is timed only
             for information); four forms of the query, each run as COPY (query) TO '/dev/null':
             polygon-driven over the layers as loaded and over the cut ones on every position,
             point-driven over both on the first --point-driven-count positions
  geopandas  geopandas.sjoin of the first --geopandas-count positions with every layer; it runs on
             one thread, so a smaller sample gives its throughput in minutes

Each contender runs once untimed and then --repetitions times; the figures are medians. The answers
of PostGIS's fastest form and of GeoPandas are compared with ours position by position: ours must
be one of the peer's values, or both empty; where they differ, a position that lies on an outline
within --edge-tolerance (measured with OGR on the layer's own file) is counted apart and does not
fail the comparison. Everything goes into one JSON file (--out), which `bench/report.py positions`
turns into a table.

Data made once and kept in the data folder: positions-<count>.csv (id,x,y: uniform random over the
coastline's extent from a fixed seed, so the first N positions of a larger file are the N of a
smaller one) and positions-map/ (a map definition with the 31 layers, linked to the data's files).

Exit status: 0 when everything ran and the answers agree, 1 when something could not be measured,
3 when every part ran but the answers disagree off the outlines (the JSON is written and names the
disagreements).
"""

import argparse
import csv
import filecmp
import json
import os
import pwd
import random
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib  # noqa: E402
import report  # noqa: E402

RESULTS_VERSION = 1
REPO = Path(__file__).resolve().parent.parent

DEFAULT_COUNT = 1_000_000
DEFAULT_GEOPANDAS_COUNT = 10_000
DEFAULT_REPETITIONS = 3
# PostGIS's point-driven forms cost the same per position and are far slower than the others:
# they are timed on a sample.
DEFAULT_POINT_DRIVEN_COUNT = 20_000
# A form of the PostGIS query that runs longer than this is stopped and recorded as such.
DEFAULT_STATEMENT_TIMEOUT_S = 600
POSITIONS_SEED = 20_250_611
SRID = 6933
# ST_Subdivide's limit: no piece keeps more vertices than this.
SUBDIVIDE_VERTICES = 256
PARTS = ("ours", "postgis", "geopandas")
# Disagreements kept as examples in the results.
EXAMPLES = 10
# A position closer than this to an outline counts as on it. The query keeps these layers'
# coordinates on a grid of 1/16 m (the layers span 35,000 km) and counts a position within one
# grid unit of an outline as on it, so it may answer the polygon next door for a position up to
# about 9 cm inside a neighbour (half a unit of rounding and one of tolerance).
DEFAULT_EDGE_TOLERANCE_M = 0.1
# Disagreeing cells whose distance to the outlines is worked out; any beyond count as real.
EDGE_CHECKS = 1000

MAP_FOLDER = "positions-map"
MAP_FILE = "bench.mv"
MAP_HEADER = "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field"
# The map's projection parameters (central meridian, origin latitude, standard parallels). The
# layers lie in EPSG:6933 and the positions are given in the layers' own units (x, y), so the
# projection only turns them into the lon and lat columns of the output.
PROJECTION = ["-154", "50", "55", "65"]

COUNT_LINE = re.compile(r"^([0-9,]+) rows? read, ([0-9,]+) left out$")

EXIT_FAILED = 1
EXIT_DISAGREE = 3


def log(text):
    print(f"positions: {text}", flush=True)


def load_averages():
    try:
        return Path("/proc/loadavg").read_text().split()[:3]
    except OSError:
        return ["?", "?", "?"]


# ---------------------------------------------------------------------------------------------
# Data


def layer_list(manifest):
    """The queryable layers in map order: (name, shapefile path relative to the data folder,
    attribute field, features)."""
    layers = [(manifest["coastline"]["name"], manifest["coastline"]["path"], "A3",
               manifest["coastline"]["features"])]
    layers += [(g["name"], g["path"], "NAME", g["features"]) for g in manifest["grids"]]
    return layers


def positions_file(folder, manifest, count):
    """positions-<count>.csv in the data folder, made when missing: id,x,y with ids 1..count."""
    path = Path(folder) / f"positions-{count}.csv"
    if path.is_file():
        return path
    log(f"making {path.name}")
    min_x, min_y, max_x, max_y = manifest["coastline"]["extent"]
    rng = random.Random(POSITIONS_SEED)
    partial = path.with_name(path.name + ".partial")
    with open(partial, "w", encoding="ascii", newline="") as out:
        out.write("id,x,y\n")
        for i in range(1, count + 1):
            x = rng.uniform(min_x, max_x)
            y = rng.uniform(min_y, max_y)
            out.write(f"{i},{x:.3f},{y:.3f}\n")
    os.replace(partial, path)
    return path


def write_if_changed(path, text):
    if not path.is_file() or path.read_text(encoding="utf-8") != text:
        path.write_text(text, encoding="utf-8")


def map_folder(folder, layers):
    """positions-map/ in the data folder: the definition of every layer as queryable by its
    attribute, the projection parameters, and Shapefiles/ with relative links to the layers'
    files. Made or mended on every run; returns the definition's path."""
    root = Path(folder) / MAP_FOLDER
    shapefiles = root / "Shapefiles"
    shapefiles.mkdir(parents=True, exist_ok=True)
    lines = [MAP_HEADER]
    for name, _, field, _ in layers:
        if name == "coastline":
            lines.append(f"{name},2,True,{name},,120.170.120,0.0.0,0,,,{field}")
        else:
            lines.append(f"{name},2,True,{name},,255.255.255,0.0.0,1,,,{field}")
    write_if_changed(root / MAP_FILE, "\n".join(lines) + "\n")
    write_if_changed(root / "ProjPars.alb", "\n".join(PROJECTION) + "\n")
    for name, relative, _, _ in layers:
        shp = Path(folder) / relative
        parts = sorted(shp.parent.glob(shp.stem + ".*"))
        if not any(p.suffix == ".shp" for p in parts):
            raise benchlib.BenchError(f"{shp}: missing; run bench/make-data")
        for part in parts:
            link = shapefiles / part.name
            target = os.path.relpath(part, shapefiles)
            if link.is_symlink() and os.readlink(link) == target:
                continue
            if link.is_symlink() or link.exists():
                link.unlink()
            link.symlink_to(target)
    return root / MAP_FILE


def read_rows(path, count):
    """The first count positions of a positions file: lists of ids, xs and ys."""
    ids, xs, ys = [], [], []
    with open(path, newline="", encoding="ascii") as f:
        reader = csv.reader(f)
        next(reader)
        for row in reader:
            if len(ids) == count:
                break
            ids.append(int(row[0]))
            xs.append(float(row[1]))
            ys.append(float(row[2]))
    return ids, xs, ys


# ---------------------------------------------------------------------------------------------
# Our command


def run_child(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **popen):
    """Runs a command to its end: (exit status, wall s, CPU s, peak resident bytes), the CPU time
    and memory being the child's own (wait4 on it, not all children together)."""
    start = time.perf_counter()
    try:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=stdout,
                                   stderr=stderr, **popen)
    except FileNotFoundError as e:
        raise benchlib.BenchError(f"{command[0]}: cannot be run ({e.strerror})") from e
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    return (process.returncode, wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024)


def counted_rows(stderr_text):
    """(read, left out) from the command's closing count line, or None."""
    for line in reversed(stderr_text.strip().splitlines()):
        match = COUNT_LINE.match(line.strip())
        if match:
            return int(match.group(1).replace(",", "")), int(match.group(2).replace(",", ""))
    return None


def run_cli(cli, map_path, positions, output, threads, expected, work):
    """One timed run of the query command; checks its exit status and its count line."""
    command = [str(cli), "query", str(map_path), "--csv", str(positions), "-o", str(output)]
    if threads is not None:
        command += ["--threads", str(threads)]
    stderr_path = Path(work) / "cli-stderr.txt"
    with open(stderr_path, "wb") as err:
        status, wall, cpu, rss = run_child(command, stderr=err)
    text = stderr_path.read_text(encoding="utf-8", errors="replace")
    shown = " ".join(command[1:])
    if status != 0:
        raise benchlib.BenchError(
            f"pelagon-cli {shown} failed with exit status {status}: {text.strip()[-2000:]}")
    counts = counted_rows(text)
    if counts is None:
        raise benchlib.BenchError(
            f"pelagon-cli {shown}: no 'N rows read, M left out' line on standard error: "
            f"{text.strip()[-2000:]}")
    if counts != (expected, 0):
        raise benchlib.BenchError(
            f"pelagon-cli {shown}: read {counts[0]:,} rows and left {counts[1]:,} out, "
            f"expected {expected:,} rows read and none left out")
    return {"wall_s": wall, "cpu_s": cpu, "peak_rss_bytes": rss}


def summarise(warmup, runs, count):
    walls = [r["wall_s"] for r in runs]
    series = {
        "warmup": warmup,
        "runs": runs,
        "median_wall_s": benchlib.median(walls),
        "median_cpu_s": benchlib.median([r["cpu_s"] for r in runs]),
    }
    if count and series["median_wall_s"] > 0:
        series["per_s"] = count / series["median_wall_s"]
    if runs and "peak_rss_bytes" in runs[0]:
        series["peak_rss_bytes"] = max(r["peak_rss_bytes"] for r in runs)
    return series


def cli_series(cli, map_path, positions, output, threads, expected, repetitions, work):
    label = "every core" if threads is None else f"{threads} thread"
    if expected == 0:
        label += ", a file of no positions (the opening alone)"
    log(f"ours on {label}: warm-up and {repetitions} timed runs")
    warmup = run_cli(cli, map_path, positions, output, threads, expected, work)
    runs = []
    for _ in range(repetitions):
        runs.append(run_cli(cli, map_path, positions, output, threads, expected, work))
        log(f"  {runs[-1]['wall_s']:.2f} s (CPU {runs[-1]['cpu_s']:.2f} s)")
    series = summarise(warmup, runs, expected)
    series["threads"] = threads
    return series


def measure_ours(cli, map_path, positions, count, repetitions, work):
    work = Path(work)
    empty = work / "positions-none.csv"
    empty.write_text("id,x,y\n", encoding="ascii")
    all_out, one_out = work / "ours-all-cores.csv", work / "ours-one-thread.csv"
    none_out = work / "ours-none.csv"
    # The opening is timed with the same threads as the query it is taken from.
    result = {
        "command": "pelagon-cli query MAP --csv POSITIONS -o OUT",
        "open": cli_series(cli, map_path, empty, none_out, None, 0, repetitions, work),
        "open_one_thread": cli_series(cli, map_path, empty, none_out, 1, 0, repetitions, work),
        "all_cores": cli_series(cli, map_path, positions, all_out, None, count, repetitions, work),
        "one_thread": cli_series(cli, map_path, positions, one_out, 1, count, repetitions, work),
    }
    for name, opening in (("all_cores", "open"), ("one_thread", "open_one_thread")):
        series = result[name]
        query_s = series["median_wall_s"] - result[opening]["median_wall_s"]
        series["query_only_s"] = query_s
        if query_s > 0:
            series["query_only_per_s"] = count / query_s
    # The table must not depend on how many threads wrote it.
    result["one_thread_output_identical"] = filecmp.cmp(all_out, one_out, shallow=False)
    if not result["one_thread_output_identical"]:
        raise benchlib.BenchError(
            f"{all_out} and {one_out} differ: the output on one thread is not the output on "
            "every core")
    return result, all_out


# ---------------------------------------------------------------------------------------------
# PostGIS

PG_BIN = Path("/usr/lib/postgresql/15/bin")


def memory_bytes():
    try:
        for line in Path("/proc/meminfo").read_text().splitlines():
            if line.startswith("MemTotal:"):
                return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 4 << 30


def server_settings(cores, memory):
    """The server's settings for one analytic run on this machine: caches sized from the memory,
    parallel query on every core, and no durability (the data is thrown away afterwards)."""
    mib = memory // (1 << 20)
    return {
        # A quarter of the memory, at least PostgreSQL's default and at most 8 GiB: the layers,
        # positions and indexes together take about 1 GiB.
        "shared_buffers": f"{min(max(mib // 4, 128), 8192)}MB",
        "effective_cache_size": f"{max(mib // 2, 256)}MB",
        "work_mem": "256MB",
        "maintenance_work_mem": "1GB",
        "max_worker_processes": str(cores + 8),
        "max_parallel_workers": str(cores),
        "max_parallel_workers_per_gather": str(cores),
        "max_parallel_maintenance_workers": str(cores),
        "random_page_cost": "1.1",
        "effective_io_concurrency": "200",
        "jit": "off",
        "fsync": "off",
        "synchronous_commit": "off",
        "full_page_writes": "off",
        "wal_level": "minimal",
        "max_wal_senders": "0",
        "max_wal_size": "8GB",
        "checkpoint_timeout": "30min",
        "autovacuum": "off",
    }


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class PostgisServer:
    """A PostgreSQL server of its own in a temporary folder, reachable only through a Unix socket
    in that folder. PostgreSQL refuses to run as root, so under root the server runs as the
    postgres user and the folder belongs to it. stop() removes everything; call it in a finally."""

    def __init__(self, settings):
        self.settings = settings
        self.folder = None
        self.port = None
        self.started = False

    def as_server_user(self, command):
        if os.geteuid() == 0:
            return ["runuser", "-u", "postgres", "--", *command]
        return command

    def run(self, command, what):
        try:
            result = subprocess.run(self.as_server_user(command), capture_output=True, text=True,
                                    start_new_session=True)
        except FileNotFoundError as e:
            raise benchlib.BenchError(
                f"{command[0]}: cannot be run ({e.strerror}); run scripts/setup bench") from e
        if result.returncode != 0:
            raise benchlib.BenchError(
                f"{what} failed with exit status {result.returncode}: "
                f"{(result.stderr or result.stdout).strip()[-2000:]}")
        return result.stdout

    def start(self):
        for program in ("initdb", "pg_ctl", "postgres"):
            if not (PG_BIN / program).is_file():
                raise benchlib.BenchError(
                    f"{PG_BIN / program}: missing; run scripts/setup bench")
        self.folder = Path(tempfile.mkdtemp(prefix="pelagon-postgis-"))
        if os.geteuid() == 0:
            user = pwd.getpwnam("postgres")
            os.chown(self.folder, user.pw_uid, user.pw_gid)
        data = self.folder / "data"
        self.run([str(PG_BIN / "initdb"), "-D", str(data), "-U", "postgres", "--auth=trust",
                  "--encoding=UTF8", "--locale=C", "--no-sync"], "initdb")
        self.port = free_port()
        conf = {**self.settings, "listen_addresses": "''",
                "unix_socket_directories": f"'{self.folder}'", "port": str(self.port)}
        with open(data / "postgresql.conf", "a", encoding="utf-8") as f:
            f.write("\n# Written by bench/positions.py for one benchmark run.\n")
            for key, value in conf.items():
                f.write(f"{key} = {value}\n")
        # Its own session, so that Ctrl+C in the terminal reaches only this script, which then
        # stops the server in its own time. Marked as started first: a start that fails late
        # may still leave a server running, and stop() must see to it.
        self.started = True
        self.run([str(PG_BIN / "pg_ctl"), "-D", str(data), "-l", str(self.folder / "server.log"),
                  "-w", "-t", "120", "start"], "pg_ctl start")

    def server_log_tail(self):
        try:
            return (self.folder / "server.log").read_text(errors="replace")[-2000:]
        except (OSError, TypeError):
            return ""

    def stop(self):
        if self.folder is None:
            return
        try:
            if self.started:
                try:
                    self.run([str(PG_BIN / "pg_ctl"), "-D", str(self.folder / "data"), "-m",
                              "fast", "-w", "-t", "120", "stop"], "pg_ctl stop")
                except benchlib.BenchError:
                    self.kill_postmaster()
                self.started = False
        finally:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None

    def kill_postmaster(self):
        try:
            pid = int((self.folder / "data" / "postmaster.pid").read_text().split()[0])
        except (OSError, ValueError, IndexError):
            return
        try:
            os.kill(pid, signal.SIGQUIT)
        except ProcessLookupError:
            return
        for _ in range(100):
            try:
                os.kill(pid, 0)
            except ProcessLookupError:
                return
            time.sleep(0.1)
        os.kill(pid, signal.SIGKILL)

    def postmaster_pid(self):
        return int((self.folder / "data" / "postmaster.pid").read_text().split()[0])

    def connection_string(self):
        return f"host={self.folder} port={self.port} user=postgres dbname=postgres"

    def connect(self):
        import psycopg2
        import psycopg2.extensions
        import psycopg2.extras

        # Waiting in Python rather than in libpq lets Ctrl+C through during a long query; the
        # query is then cancelled on the server.
        psycopg2.extensions.set_wait_callback(psycopg2.extras.wait_select)
        connection = psycopg2.connect(self.connection_string())
        connection.autocommit = True
        return connection

    def cpu_seconds(self):
        """CPU time of the server so far: the postmaster, its live children and the children it
        has already reaped (parallel workers end with each query)."""
        ticks = os.sysconf("SC_CLK_TCK")
        master = self.postmaster_pid()
        total = 0
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                stat = Path(f"/proc/{entry}/stat").read_text()
            except OSError:
                continue
            fields = stat[stat.rindex(")") + 2:].split()
            pid, ppid = int(entry), int(fields[1])
            if pid == master:
                total += sum(int(v) for v in fields[11:15])  # utime stime cutime cstime
            elif ppid == master:
                total += int(fields[11]) + int(fields[12])
        return total / ticks


def copy_through_client(cursor, sql, stream):
    """COPY ... FROM STDIN or TO STDOUT. psycopg2 does not copy while a wait callback is set, so
    the callback is off for the copy (Ctrl+C then waits for the copy's end)."""
    import psycopg2.extensions
    import psycopg2.extras

    psycopg2.extensions.set_wait_callback(None)
    try:
        cursor.copy_expert(sql, stream)
    finally:
        psycopg2.extensions.set_wait_callback(psycopg2.extras.wait_select)


def q(name):
    """A quoted SQL identifier."""
    return '"' + name.replace('"', '""') + '"'


def load_postgis(server, data_folder, layers, positions, count):
    """Loads the layers and the positions, indexes them and cuts the layers with big polygons.
    Returns the load's figures; none of this is timed as part of the query."""
    figures = {"layers_s": 0.0}
    start = time.perf_counter()
    destination = "PG:" + server.connection_string()
    for name, relative, _, _ in layers:
        log(f"loading {name}")
        command = ["ogr2ogr", "-f", "PostgreSQL", destination, str(Path(data_folder) / relative),
                   "-nln", name, "-nlt", "PROMOTE_TO_MULTI", "-a_srs", f"EPSG:{SRID}",
                   "-lco", "GEOMETRY_NAME=geom", "-lco", "FID=fid", "-lco", "SPATIAL_INDEX=GIST",
                   "-lco", "UNLOGGED=ON", "--config", "PG_USE_COPY", "YES", "-gt", "65536"]
        try:
            result = subprocess.run(command, capture_output=True, text=True)
        except FileNotFoundError as e:
            raise benchlib.BenchError("ogr2ogr: cannot be run; run scripts/setup bench") from e
        if result.returncode != 0:
            raise benchlib.BenchError(
                f"ogr2ogr of {relative} into PostGIS failed with exit status "
                f"{result.returncode}: {(result.stderr or result.stdout).strip()[-2000:]}")
    figures["layers_s"] = time.perf_counter() - start

    connection = server.connect()
    cursor = connection.cursor()
    start = time.perf_counter()
    log(f"loading {count:,} positions")
    cursor.execute("CREATE UNLOGGED TABLE positions_text "
                   "(id bigint, x double precision, y double precision)")
    with open(positions, encoding="ascii") as f:
        copy_through_client(cursor, "COPY positions_text FROM STDIN WITH (FORMAT csv, HEADER)",
                            f)
    cursor.execute(
        f"CREATE UNLOGGED TABLE positions AS SELECT id, x, y, "
        f"ST_SetSRID(ST_MakePoint(x, y), {SRID})::geometry(Point, {SRID}) AS geom "
        "FROM positions_text")
    cursor.execute("DROP TABLE positions_text")
    cursor.execute("ALTER TABLE positions ADD PRIMARY KEY (id)")
    cursor.execute("CREATE INDEX positions_geom ON positions USING gist (geom)")
    cursor.execute("SELECT count(*) FROM positions")
    loaded = cursor.fetchone()[0]
    if loaded != count:
        raise benchlib.BenchError(f"{positions}: PostGIS loaded {loaded:,} of {count:,} rows")
    figures["positions_s"] = time.perf_counter() - start

    # ST_Subdivide cuts polygons with many vertices into pieces of at most SUBDIVIDE_VERTICES,
    # so a point is tested against a small piece with a tight box. Layers whose polygons are all
    # small already (the grids' squares) would come out the same and are used as they are.
    start = time.perf_counter()
    cut = {}
    for name, _, field, _ in layers:
        cursor.execute(f"SELECT max(ST_NPoints(geom)) FROM {q(name)}")
        if (cursor.fetchone()[0] or 0) <= SUBDIVIDE_VERTICES:
            continue
        log(f"cutting {name} with ST_Subdivide")
        column = field.lower()
        cursor.execute(
            f"CREATE UNLOGGED TABLE {q(name + '_cut')} AS SELECT {q(column)}, "
            f"ST_Subdivide(geom, {SUBDIVIDE_VERTICES}) AS geom FROM {q(name)}")
        cursor.execute(f"CREATE INDEX ON {q(name + '_cut')} USING gist (geom)")
        cursor.execute(f"SELECT count(*) FROM {q(name + '_cut')}")
        cut[name] = cursor.fetchone()[0]
    figures["subdivide_s"] = time.perf_counter() - start
    figures["cut_layers"] = cut

    start = time.perf_counter()
    log("VACUUM ANALYZE")
    cursor.execute("VACUUM ANALYZE")
    figures["vacuum_analyze_s"] = time.perf_counter() - start
    figures["total_s"] = (figures["layers_s"] + figures["positions_s"] + figures["subdivide_s"]
                          + figures["vacuum_analyze_s"])
    connection.close()
    return figures


def point_driven(layers, tables, count):
    """The positions with ids up to count, each left-joined to every layer through the layer's
    GiST index."""
    select = ["p.id"]
    joins = []
    for i, (name, _, field, _) in enumerate(layers):
        alias = f"l{i}"
        select.append(f"{alias}.{q(field.lower())} AS {q(name)}")
        joins.append(f"LEFT JOIN {q(tables[name])} {alias} "
                     f"ON ST_Intersects({alias}.geom, p.geom)")
    return (f"SELECT {', '.join(select)}\nFROM positions p\n" + "\n".join(joins)
            + f"\nWHERE p.id <= {int(count)}")


def polygon_driven(layers, tables, materialized):
    """Each layer's polygons find their positions through the positions' GiST index (one common
    table expression per layer giving id and value); the answers are joined back to the
    positions by id. The polygon must drive: left to itself the planner turns the join round
    and probes the layer's index once per position, as the point-driven form does, so the
    positions are reached from each polygon in a lateral subquery that OFFSET 0 keeps from being
    flattened."""
    ctes, select, joins = [], ["p.id"], []
    keyword = "MATERIALIZED " if materialized else ""
    for i, (name, _, field, _) in enumerate(layers):
        hits = f"h{i}"
        ctes.append(
            f"{hits} AS {keyword}(SELECT pt.id, l.{q(field.lower())} AS v "
            f"FROM {q(tables[name])} l CROSS JOIN LATERAL (SELECT id FROM positions p "
            "WHERE ST_Intersects(l.geom, p.geom) OFFSET 0) pt)")
        select.append(f"{hits}.v AS {q(name)}")
        joins.append(f"LEFT JOIN {hits} ON {hits}.id = p.id")
    return ("WITH " + ",\n".join(ctes) + f"\nSELECT {', '.join(select)}\nFROM positions p\n"
            + "\n".join(joins))


def query_forms(layers, cut, count, point_count):
    """The forms timed, as (name, description, positions answered, SQL).

    The point-driven forms cost the same for every position (one probe of each layer's index
    and the exact test against what it finds), so they are timed on the first point_count
    positions: on all of them they would take many times as long as the polygon-driven forms.
    The polygon-driven forms' common table expressions are left to the planner to inline:
    MATERIALIZED, which computes each apart for the join back, measured slower (153 s against
    115 s for the cut layers and all the positions, on the development machine)."""
    plain = {name: name for name, _, _, _ in layers}
    cut_tables = {name: (name + "_cut" if name in cut else name) for name, _, _, _ in layers}
    point_count = min(point_count, count)
    return [
        ("polygon_driven", "each layer's polygons find their positions through the positions' "
         "GiST index; joined back to the positions by id", count,
         polygon_driven(layers, plain, materialized=False)),
        ("polygon_driven_subdivided", "the same over the layers cut with ST_Subdivide", count,
         polygon_driven(layers, cut_tables, materialized=False)),
        ("point_driven", "positions LEFT JOIN each layer ON ST_Intersects: each layer's GiST "
         "index probed once per position", point_count,
         point_driven(layers, plain, point_count)),
        ("point_driven_subdivided", "the same over the layers cut with ST_Subdivide",
         point_count, point_driven(layers, cut_tables, point_count)),
    ]


def time_statement(server, cursor, sql):
    """Runs COPY (sql) TO '/dev/null' on the server: wall s, the server's CPU s, rows."""
    cpu_before = server.cpu_seconds()
    start = time.perf_counter()
    cursor.execute(f"COPY ({sql}) TO '/dev/null'")
    wall = time.perf_counter() - start
    cpu = server.cpu_seconds() - cpu_before
    return {"wall_s": wall, "cpu_s": cpu, "rows": cursor.rowcount}


def measure_postgis(data_folder, layers, positions, count, point_count, repetitions, timeout_s,
                    work, cores):
    try:
        import psycopg2
        import psycopg2.errors
    except ImportError as e:
        raise benchlib.BenchError("Python's psycopg2 is missing; run scripts/setup bench") from e

    result = {"settings": server_settings(cores, memory_bytes()),
              "statement_timeout_s": timeout_s}
    server = PostgisServer(result["settings"])
    try:
        log("starting a PostgreSQL server of our own")
        server.start()
        connection = server.connect()
        cursor = connection.cursor()
        cursor.execute("CREATE EXTENSION postgis")
        cursor.execute("SELECT version(), postgis_lib_version(), postgis_geos_version(), "
                       "postgis_proj_version()")
        versions = cursor.fetchone()
        result["versions"] = {"postgresql": versions[0].split(" on ")[0],
                              "postgis": versions[1], "geos": versions[2], "proj": versions[3]}
        connection.close()

        result["load"] = load_postgis(server, data_folder, layers, positions, count)
        log(f"loading took {result['load']['total_s']:.0f} s (not timed as part of the query)")

        connection = server.connect()
        cursor = connection.cursor()
        cursor.execute(f"SET statement_timeout = '{int(timeout_s * 1000)}ms'")
        forms = []
        for name, description, answered, sql in query_forms(
                layers, result["load"]["cut_layers"], count, point_count):
            log(f"PostGIS, {name} ({answered:,} positions): warm-up and {repetitions} timed runs")
            form = {"name": name, "description": description, "count": answered, "sql": sql}
            forms.append(form)
            try:
                warmup = time_statement(server, cursor, sql)
                runs = []
                for _ in range(repetitions):
                    runs.append(time_statement(server, cursor, sql))
                    log(f"  {runs[-1]['wall_s']:.2f} s (server CPU {runs[-1]['cpu_s']:.2f} s)")
            except psycopg2.errors.QueryCanceled as e:
                if "statement timeout" not in str(e):
                    raise  # cancelled by Ctrl+C
                form["timed_out"] = True
                log(f"  ran past the statement timeout of {timeout_s:g} s")
                continue
            form.update(summarise(warmup, runs, answered))
            for run in [warmup, *runs]:
                if run["rows"] < answered:
                    raise benchlib.BenchError(
                        f"PostGIS form {name} gave {run['rows']:,} rows for {answered:,} "
                        "positions")
        result["forms"] = forms
        timed = [f for f in forms if not f.get("timed_out")]
        if not timed:
            raise benchlib.BenchError(
                f"every PostGIS form ran past the statement timeout of {timeout_s:g} s")
        fastest = max(timed, key=lambda f: f["per_s"])
        result["fastest"] = fastest["name"]

        answers = Path(work) / "postgis-answers.csv"
        log(f"fetching the answers of {fastest['name']}")
        cursor.execute("SET statement_timeout = 0")
        with open(answers, "w", encoding="utf-8", newline="") as f:
            copy_through_client(
                cursor, f"COPY (SELECT * FROM ({fastest['sql']}) answers ORDER BY id) "
                "TO STDOUT WITH (FORMAT csv, HEADER)", f)
        connection.close()
        return result, answers, fastest["count"]
    except psycopg2.errors.QueryCanceled as e:
        # With the wait callback, Ctrl+C cancels the query on the server and comes back as this.
        raise KeyboardInterrupt from e
    except psycopg2.Error as e:
        raise benchlib.BenchError(
            f"PostGIS: {str(e).strip()} {server.server_log_tail()}".strip()) from e
    finally:
        log("stopping and removing the PostgreSQL server")
        server.stop()


# ---------------------------------------------------------------------------------------------
# GeoPandas, run in a process of its own so that its memory is its own and ours stays small


def geopandas_worker(job_path):
    import geopandas
    import geopandas._compat

    job = json.loads(Path(job_path).read_text(encoding="utf-8"))
    start = time.perf_counter()
    layers = []
    for name, path, field in job["layers"]:
        frame = geopandas.read_file(path)
        layers.append((name, field, frame[[field, "geometry"]]))
    ids, xs, ys = read_rows(job["positions"], job["count"])
    if len(ids) != job["count"]:
        raise benchlib.BenchError(
            f"{job['positions']}: holds {len(ids):,} positions, fewer than {job['count']:,}")
    points = geopandas.GeoDataFrame({"id": ids}, geometry=geopandas.points_from_xy(xs, ys),
                                    crs=layers[0][2].crs).set_index("id")
    read_s = time.perf_counter() - start

    def one_run():
        joined = {}
        wall_start, cpu_start = time.perf_counter(), time.process_time()
        for name, field, frame in layers:
            joined[name] = geopandas.sjoin(points, frame, how="left", predicate="intersects")
        return joined, {"wall_s": time.perf_counter() - wall_start,
                        "cpu_s": time.process_time() - cpu_start}

    one_run()
    runs = []
    for _ in range(job["repetitions"]):
        joined, figures = one_run()
        runs.append(figures)
        print(f"positions:   {figures['wall_s']:.2f} s (CPU {figures['cpu_s']:.2f} s)",
              flush=True)

    # The answers of the last run, one row per id and combination, as PostGIS gives them.
    values = {}
    for name, field, _ in layers:
        column = joined[name][field]
        per_id = {}
        for position_id, value in zip(column.index, column.tolist()):
            text = "" if value is None or value != value else str(value)
            per_id.setdefault(position_id, []).append(text)
        values[name] = per_id
    with open(job["answers"], "w", encoding="utf-8", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["id", *[name for name, _, _ in layers]])
        for position_id in ids:
            cells = [values[name].get(position_id, [""]) for name, _, _ in layers]
            for k in range(max(len(c) for c in cells)):
                writer.writerow([position_id, *[c[min(k, len(c) - 1)] for c in cells]])

    import rtree
    import shapely

    result = {
        "count": job["count"],
        "read_s": read_s,
        "runs": runs,
        "peak_rss_bytes": resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024,
        "versions": {"geopandas": geopandas.__version__, "shapely": shapely.__version__,
                     "rtree": rtree.__version__,
                     "pygeos": bool(getattr(geopandas._compat, "USE_PYGEOS", False)),
                     "spatial_index": "pygeos STRtree"
                     if getattr(geopandas._compat, "USE_PYGEOS", False) else "rtree"},
    }
    Path(job["result"]).write_text(json.dumps(result, indent=1) + "\n", encoding="utf-8")


def measure_geopandas(data_folder, layers, positions, count, repetitions, work):
    work = Path(work)
    job = {
        "layers": [(name, str(Path(data_folder) / relative), field)
                   for name, relative, field, _ in layers],
        "positions": str(positions), "count": count, "repetitions": repetitions,
        "answers": str(work / "geopandas-answers.csv"), "result": str(work / "geopandas.json"),
    }
    job_path = work / "geopandas-job.json"
    job_path.write_text(json.dumps(job), encoding="utf-8")
    log(f"GeoPandas on the first {count:,} positions: reading the layers, warm-up and "
        f"{repetitions} timed runs")
    status, wall, _, _ = run_child([sys.executable, __file__, "--geopandas-worker",
                                    str(job_path)], stdout=None, stderr=None)
    if status != 0:
        raise benchlib.BenchError(f"the GeoPandas run failed with exit status {status}")
    result = json.loads(Path(job["result"]).read_text(encoding="utf-8"))
    result.update(summarise(None, result["runs"], count))
    del result["warmup"]
    result["process_s"] = wall
    return result, Path(job["answers"])


# ---------------------------------------------------------------------------------------------
# Answers


def answer_columns(header, layer_names, whose):
    """The places of the layers' columns and of the id column in a table's header row."""
    try:
        return [header.index(name) for name in layer_names], header.index("id")
    except ValueError as e:
        raise benchlib.BenchError(f"{whose} lack a column: {e}") from e


def peer_groups(reader, layer_names):
    """(id, [set of values per layer]) for every run of rows with one id, in file order."""
    columns, id_column = answer_columns(next(reader), layer_names, "the peer's answers")
    current, sets = None, None
    for row in reader:
        position_id = int(row[id_column])
        if position_id != current:
            if current is not None:
                yield current, sets
            current, sets = position_id, [set() for _ in columns]
        for values, column in zip(sets, columns):
            values.add(row[column])
    if current is not None:
        yield current, sets


def compare_answers(ours_rows, peer_rows, layer_names, count, peer_label):
    """Our answers against a peer's for the first count positions. A cell agrees when our value
    is one of the peer's values for that position and layer (a position on an edge shared by two
    polygons lies in both; we give one), or when both have none. Both inputs are CSV row
    iterables in ascending id order; the peer may give several rows for one id."""
    columns, id_column = answer_columns(next(ours_rows), layer_names, "our answers")
    groups = peer_groups(peer_rows, layer_names)
    pending = next(groups, None)
    result = {"peer": peer_label, "positions_compared": 0, "cells_compared": 0,
              "mismatches": 0, "mismatches_at_edge": 0, "cells_with_several_values": 0,
              "missing_rows": 0, "extra_rows": 0, "examples": [], "cells": []}

    def example(kind, **details):
        if len(result["examples"]) < EXAMPLES:
            result["examples"].append({"kind": kind, **details})

    previous = None
    for row in ours_rows:
        if result["positions_compared"] == count:
            break
        position_id = int(row[id_column])
        if previous is not None and position_id <= previous:
            raise benchlib.BenchError(f"our answers are not in ascending id order at id "
                                      f"{position_id}")
        previous = position_id
        while pending is not None and pending[0] < position_id:
            result["extra_rows"] += 1
            example("peer only", id=pending[0])
            pending = next(groups, None)
        result["positions_compared"] += 1
        result["cells_compared"] += len(columns)
        if pending is None or pending[0] != position_id:
            result["missing_rows"] += 1
            result["mismatches"] += len(columns)
            example("missing at the peer", id=position_id)
            continue
        for name, column, peer_values in zip(layer_names, columns, pending[1]):
            ours = row[column]
            given = {v for v in peer_values if v != ""}
            if len(given) > 1:
                result["cells_with_several_values"] += 1
            if (ours == "" and not given) or ours in given:
                continue
            result["mismatches"] += 1
            if len(result["cells"]) < EDGE_CHECKS:
                result["cells"].append({"kind": "different", "id": position_id, "layer": name,
                                        "ours": ours, "peer": sorted(given)})
        pending = next(groups, None)
    while pending is not None:
        result["extra_rows"] += 1
        example("peer only", id=pending[0])
        pending = next(groups, None)
    result["examples"] += result["cells"][:EXAMPLES - len(result["examples"])]
    settle_agreement(result, count)
    return result


def settle_agreement(result, count):
    """Whether the answers agree, disagreements at an edge aside."""
    result["agree"] = (result["mismatches"] == result["mismatches_at_edge"]
                       and result["extra_rows"] == 0 and result["positions_compared"] == count)
    result["expected"] = count


def position_coordinates(path, ids):
    """{id: (x, y)} of the given ids in a positions file."""
    found = {}
    with open(path, newline="", encoding="ascii") as f:
        reader = csv.reader(f)
        next(reader)
        for row in reader:
            position_id = int(row[0])
            if position_id in ids:
                found[position_id] = (float(row[1]), float(row[2]))
                if len(found) == len(ids):
                    break
    return found


def outline_distance(layer, field, value, x, y, tolerance, ogr, boundary):
    """Distance from (x, y) to the nearest feature of an OGR layer whose field holds value (to its
    area, 0 inside, or with boundary to its outline); infinity beyond the tolerance."""
    point = ogr.Geometry(ogr.wkbPoint)
    point.AddPoint_2D(x, y)
    layer.SetSpatialFilterRect(x - tolerance, y - tolerance, x + tolerance, y + tolerance)
    nearest = float("inf")
    for feature in layer:
        geometry = feature.GetGeometryRef()
        if feature.GetField(field) != value or geometry is None:
            continue
        if boundary:
            geometry = geometry.Boundary()
        nearest = min(nearest, geometry.Distance(point))
    layer.SetSpatialFilter(None)
    return nearest


def classify_edges(agreement, positions, layers, data_folder, tolerance):
    """Marks the disagreeing cells whose position lies on an outline within the tolerance: where
    we answer a polygon, that polygon reaches within the tolerance of the position; where we
    answer nothing, the peer's polygons have their outline within it. Such cells are counted
    apart and do not fail the comparison. Needs GDAL's Python bindings."""
    cells = agreement.pop("cells", [])
    if not cells:
        return
    from osgeo import ogr

    ogr.UseExceptions()
    coordinates = position_coordinates(positions, {c["id"] for c in cells})
    sources = {name: (Path(data_folder) / relative, field) for name, relative, field, _ in layers}
    opened = {}
    for cell in cells:
        path, field = sources[cell["layer"]]
        if cell["layer"] not in opened:
            dataset = ogr.Open(str(path))
            if dataset is None:
                raise benchlib.BenchError(f"{path}: OGR cannot open it")
            opened[cell["layer"]] = (dataset, dataset.GetLayer(0))
        layer = opened[cell["layer"]][1]
        x, y = coordinates[cell["id"]]
        if cell["ours"]:
            distance = outline_distance(layer, field, cell["ours"], x, y, tolerance, ogr, False)
        else:
            distance = max(outline_distance(layer, field, value, x, y, tolerance, ogr, True)
                           for value in cell["peer"])
        cell["at_edge"] = distance <= tolerance
        if distance <= tolerance:
            cell["distance_m"] = round(distance, 4)
            agreement["mismatches_at_edge"] += 1
    at_edge = [c for c in cells if c["at_edge"]]
    if at_edge:
        agreement["largest_edge_distance_m"] = max(c["distance_m"] for c in at_edge)
    # The examples: whatever is not a cell (missing rows), then the real disagreements, then
    # those at an edge.
    others = [e for e in agreement["examples"] if e.get("kind") != "different"]
    real = [c for c in cells if not c["at_edge"]]
    agreement["examples"] = (others + real + at_edge)[:EXAMPLES]
    agreement["edge_tolerance_m"] = tolerance
    settle_agreement(agreement, agreement["expected"])


def compare_files(ours_path, peer_path, layer_names, count, peer_label):
    with open(ours_path, newline="", encoding="utf-8") as ours, \
            open(peer_path, newline="", encoding="utf-8") as peer:
        return compare_answers(csv.reader(ours), csv.reader(peer), layer_names, count,
                               peer_label)


def disagreement_text(agreement):
    first = agreement["examples"][0] if agreement["examples"] else {}
    real = agreement["mismatches"] - agreement["mismatches_at_edge"]
    text = (f"our answers disagree with {agreement['peer']}: {real:,} of "
            f"{agreement['cells_compared']:,} cells")
    if agreement["mismatches_at_edge"]:
        text += (f" (and {agreement['mismatches_at_edge']:,} more at an edge, within "
                 f"{agreement['edge_tolerance_m']:g} m)")
    if agreement["extra_rows"]:
        text += f", {agreement['extra_rows']:,} positions only the peer answered"
    if agreement["positions_compared"] < agreement.get("expected", 0):
        text += f", only {agreement['positions_compared']:,} positions in our output"
    if first.get("kind") == "different":
        text += (f" (first: id {first['id']}, layer {first['layer']}: ours '{first['ours']}', "
                 f"{agreement['peer']} {first['peer']})")
    elif first:
        text += f" (first: id {first['id']}, {first['kind']})"
    return text


# ---------------------------------------------------------------------------------------------


def build_folder_of(cli):
    """The build folder a program lies in (build/src/pelagon-cli gives build), when it is one."""
    for parent in Path(cli).resolve().parents:
        if (parent / "CMakeCache.txt").is_file():
            return parent
    return Path(cli).resolve().parent


def run_benchmark(args, work):
    started = time.perf_counter()
    durations = {}
    folder = benchlib.data_folder(args.folder)
    manifest = benchlib.load_manifest(folder)
    layers = layer_list(manifest)
    layer_names = [name for name, _, _, _ in layers]
    cli = Path(args.cli)
    if "ours" not in args.skip and not os.access(cli, os.X_OK):
        raise benchlib.BenchError(f"{cli}: no such program; build it first "
                                  "(cmake --build --preset default --target pelagon-cli)")

    start = time.perf_counter()
    positions = positions_file(folder, manifest, args.count)
    map_path = map_folder(folder, layers)
    durations["data_s"] = time.perf_counter() - start

    cores = os.cpu_count() or 1
    results = {
        "version": RESULTS_VERSION,
        "count": args.count,
        "seed": POSITIONS_SEED,
        "repetitions": args.repetitions,
        "layers": [{"name": name, "field": field, "features": features}
                   for name, _, field, features in layers],
        "cores": cores,
        "machine": report.collect_machine(build_folder_of(cli)),
        "loads": [],
        "durations_s": durations,
        "agreement": {},
    }

    def note_load(part):
        results["loads"].append([part, load_averages()])

    failures = []
    ours_output = None
    if "ours" not in args.skip:
        note_load("ours")
        start = time.perf_counter()
        # Read every layer file once, so the first contender does not pay for the disk.
        for name, relative, _, _ in layers:
            for part in (folder / relative).parent.glob(Path(relative).stem + ".*"):
                with open(part, "rb") as f:
                    while f.read(1 << 20):
                        pass
        results["ours"], ours_output = measure_ours(cli, map_path, positions, args.count,
                                                    args.repetitions, work)
        durations["ours_s"] = time.perf_counter() - start

    peers = []
    if "postgis" not in args.skip:
        note_load("postgis")
        start = time.perf_counter()
        results["postgis"], answers, answered = measure_postgis(
            folder, layers, positions, args.count, args.point_driven_count, args.repetitions,
            args.statement_timeout, work, cores)
        durations["postgis_s"] = time.perf_counter() - start
        durations["postgis_load_s"] = results["postgis"]["load"]["total_s"]
        peers.append(("PostGIS", "postgis", answers, answered))

    if "geopandas" not in args.skip:
        note_load("geopandas")
        start = time.perf_counter()
        count = min(args.geopandas_count, args.count)
        results["geopandas"], answers = measure_geopandas(folder, layers, positions, count,
                                                          args.repetitions, work)
        durations["geopandas_s"] = time.perf_counter() - start
        peers.append(("GeoPandas", "geopandas", answers, count))

    if ours_output is not None:
        start = time.perf_counter()
        for label, key, answers, count in peers:
            log(f"comparing our answers with {label}'s")
            agreement = compare_files(ours_output, answers, layer_names, count, label)
            classify_edges(agreement, positions, layers, folder, args.edge_tolerance)
            results["agreement"][key] = agreement
            if not agreement["agree"]:
                failures.append(disagreement_text(agreement))
        durations["compare_s"] = time.perf_counter() - start
    durations["total_s"] = time.perf_counter() - started
    return results, failures


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--geopandas-worker":
        try:
            geopandas_worker(sys.argv[2])
        except benchlib.BenchError as e:
            print(f"positions: {e}", file=sys.stderr)
            return EXIT_FAILED
        return 0

    parser = argparse.ArgumentParser(
        description="Times the query of many positions over the 31 benchmark layers: "
                    "pelagon-cli, PostGIS and GeoPandas.")
    parser.add_argument("--out", required=True, help="JSON file of the results")
    parser.add_argument("--cli", default=str(REPO / "build" / "src" / "pelagon-cli"),
                        help="the pelagon-cli program (default: build/src/pelagon-cli)")
    parser.add_argument("--folder", help="data folder (default: the cache folder)")
    parser.add_argument("--count", type=int, default=DEFAULT_COUNT,
                        help=f"positions (default {DEFAULT_COUNT:,})")
    parser.add_argument("--repetitions", type=int, default=DEFAULT_REPETITIONS,
                        help=f"timed runs per contender after one untimed run "
                             f"(default {DEFAULT_REPETITIONS})")
    parser.add_argument("--geopandas-count", type=int, default=DEFAULT_GEOPANDAS_COUNT,
                        help="GeoPandas answers the first N positions "
                             f"(default {DEFAULT_GEOPANDAS_COUNT:,})")
    parser.add_argument("--point-driven-count", type=int, default=DEFAULT_POINT_DRIVEN_COUNT,
                        help="PostGIS's point-driven form answers the first N positions "
                             f"(default {DEFAULT_POINT_DRIVEN_COUNT:,})")
    parser.add_argument("--statement-timeout", type=float, default=DEFAULT_STATEMENT_TIMEOUT_S,
                        help="seconds after which a PostGIS form is stopped and recorded as "
                             f"having run past it (default {DEFAULT_STATEMENT_TIMEOUT_S})")
    parser.add_argument("--edge-tolerance", type=float, default=DEFAULT_EDGE_TOLERANCE_M,
                        help="metres: a position this close to an outline counts as on it when "
                             "our answer differs from a peer's "
                             f"(default {DEFAULT_EDGE_TOLERANCE_M:g})")
    parser.add_argument("--skip", action="append", default=[], choices=PARTS,
                        help="leave a contender out (repeatable)")
    parser.add_argument("--work", help="folder for the outputs and answers (default: a "
                                       "temporary folder)")
    parser.add_argument("--keep", action="store_true",
                        help="keep the work folder (always kept when given with --work)")
    args = parser.parse_args()
    for name in ("count", "repetitions", "geopandas_count", "point_driven_count"):
        if getattr(args, name) < 1:
            parser.error(f"--{name.replace('_', '-')} needs a whole number of 1 or more")
    if args.statement_timeout <= 0:
        parser.error("--statement-timeout needs a number of seconds above 0")
    if args.edge_tolerance < 0:
        parser.error("--edge-tolerance needs a distance of 0 or more")

    # A terminating signal unwinds like Ctrl+C, so the server is stopped and removed.
    def terminate(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, terminate)

    if args.work:
        work = Path(args.work)
        work.mkdir(parents=True, exist_ok=True)
        remove_work = False
    else:
        work = Path(tempfile.mkdtemp(prefix="pelagon-positions-"))
        remove_work = not args.keep
    try:
        results, failures = run_benchmark(args, work)
        Path(args.out).write_text(json.dumps(results, indent=1) + "\n", encoding="utf-8")
        log(f"results written to {args.out}; the whole run took "
            f"{results['durations_s']['total_s'] / 60:.1f} min")
    except benchlib.BenchError as e:
        print(f"positions: {e}", file=sys.stderr)
        return EXIT_FAILED
    except KeyboardInterrupt:
        print("positions: interrupted", file=sys.stderr)
        return 130
    finally:
        if remove_work:
            shutil.rmtree(work, ignore_errors=True)
        else:
            log(f"work files kept in {work}")
    for failure in failures:
        print(f"positions: {failure}", file=sys.stderr)
    return EXIT_DISAGREE if failures else 0


if __name__ == "__main__":
    sys.exit(main())
