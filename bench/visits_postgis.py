"""The PostGIS peer of the visits benchmark: the visits of vessels to the map's areas computed as
analysts do it in SQL, on the temporary server of bench/positions.py.

Per vessel, the positions in time order are cut where two lie more than the gap apart; each run
becomes one LINESTRINGM with the time (seconds since the epoch) as M. Every run is intersected
with every area it meets (ST_Intersection, the pieces taken apart with ST_Dump); a piece that is
a line is a stretch inside the area, and the times at its ends come from ST_InterpolatePoint on
the run. Pieces of one run in one area whose times touch or overlap are one visit (the
intersection's result is noded where the track crosses itself, which cuts a stretch in two).
A point piece is an instant of contact: no visit, as ours.
"""

import subprocess
import time
from pathlib import Path

import benchlib
from positions import PostgisServer, copy_through_client, memory_bytes, q, server_settings

PLANE_SRID = 3338
DEGREES_SRID = 4269

RUNS_SQL = """
CREATE UNLOGGED TABLE runs AS
WITH ordered AS (
    SELECT vessel, t, lon, lat, ord,
           t - lag(t) OVER (PARTITION BY vessel ORDER BY t, ord) AS since
    FROM positions
), marked AS (
    SELECT *, count(*) FILTER (WHERE since IS NULL OR since > %(gap)s)
              OVER (PARTITION BY vessel ORDER BY t, ord) AS run
    FROM ordered
)
SELECT vessel, run, count(*) AS positions,
       ST_SetSRID(ST_MakeLine(ST_MakePointM(ST_X(p), ST_Y(p), t) ORDER BY t, ord), {plane})
           AS track
FROM (SELECT vessel, run, t, ord,
             ST_Transform(ST_SetSRID(ST_MakePoint(lon, lat), {degrees}), {plane}) AS p
      FROM marked) projected
GROUP BY vessel, run
""".format(degrees=DEGREES_SRID, plane=PLANE_SRID)

VISITS_SQL = """
CREATE UNLOGGED TABLE pg_visits AS
WITH pieces AS (
    SELECT r.vessel, r.run, a.id, a.layer, a.area, r.track,
           (ST_Dump(ST_Intersection(r.track, a.geom))).geom AS piece
    FROM runs r JOIN areas a ON ST_Intersects(r.track, a.geom)
    WHERE r.positions >= 2
), timed AS (
    SELECT vessel, run, id, layer, area,
           least(ST_InterpolatePoint(track, ST_StartPoint(piece)),
                 ST_InterpolatePoint(track, ST_EndPoint(piece))) AS enter_t,
           greatest(ST_InterpolatePoint(track, ST_StartPoint(piece)),
                    ST_InterpolatePoint(track, ST_EndPoint(piece))) AS exit_t
    FROM pieces
    WHERE ST_Dimension(piece) = 1
), chained AS (
    SELECT *, max(exit_t) OVER (PARTITION BY vessel, run, id ORDER BY enter_t, exit_t
                                ROWS BETWEEN UNBOUNDED PRECEDING AND 1 PRECEDING) AS before
    FROM timed
), islands AS (
    SELECT *, count(*) FILTER (WHERE before IS NULL OR enter_t > before)
              OVER (PARTITION BY vessel, run, id ORDER BY enter_t, exit_t) AS visit
    FROM chained
)
SELECT vessel, layer, area, min(enter_t) AS enter_t, max(exit_t) AS exit_t
FROM islands
GROUP BY vessel, run, id, layer, area, visit
"""


def load(server, layers, tracks):
    """Loads the map's layers of areas into one table `areas` (layer, area, geom; area is NULL
    for a layer of documents, whose cells name the layer's document, not the area) and the
    positions into `positions`. Not timed as part of the visits."""
    figures = {}
    start = time.perf_counter()
    destination = "PG:" + server.connection_string()
    for table, (name, shapefile, field) in enumerate(layers):
        command = ["ogr2ogr", "-f", "PostgreSQL", destination, str(shapefile),
                   "-nln", f"layer{table}", "-nlt", "PROMOTE_TO_MULTI",
                   "-a_srs", f"EPSG:{PLANE_SRID}", "-lco", "GEOMETRY_NAME=geom",
                   "-lco", "FID=fid", "-lco", "UNLOGGED=ON", "--config", "PG_USE_COPY", "YES"]
        result = subprocess.run(command, capture_output=True, text=True)
        if result.returncode != 0:
            raise benchlib.BenchError(f"ogr2ogr of {shapefile} failed: "
                                      f"{(result.stderr or result.stdout).strip()[-2000:]}")
    connection = server.connect()
    cursor = connection.cursor()
    cursor.execute(f"CREATE UNLOGGED TABLE areas (id serial PRIMARY KEY, layer text, area text, "
                   f"geom geometry(MultiPolygon, {PLANE_SRID}))")
    for table, (name, _, field) in enumerate(layers):
        area = f"{q(field.lower())}::text" if field else "NULL"
        cursor.execute(f"INSERT INTO areas (layer, area, geom) SELECT %s, {area}, geom "
                       f"FROM layer{table}", (name,))
    cursor.execute("CREATE INDEX ON areas USING gist (geom)")
    figures["layers_s"] = time.perf_counter() - start

    start = time.perf_counter()
    cursor.execute("CREATE UNLOGGED TABLE positions_text (vessel text, time text, "
                   "lon double precision, lat double precision)")
    with open(tracks, encoding="utf-8") as f:
        copy_through_client(cursor, "COPY positions_text FROM STDIN WITH (FORMAT csv, HEADER)", f)
    # ord keeps the file's order among equal times, as the tracks do.
    cursor.execute("CREATE UNLOGGED TABLE positions AS SELECT vessel, "
                   "extract(epoch FROM time::timestamptz)::double precision AS t, lon, lat, "
                   "row_number() OVER () AS ord FROM positions_text")
    cursor.execute("DROP TABLE positions_text")
    cursor.execute("VACUUM ANALYZE")
    cursor.execute("SELECT count(*) FROM positions")
    figures["positions"] = cursor.fetchone()[0]
    figures["positions_s"] = time.perf_counter() - start
    connection.close()
    return figures


def measure(layers, tracks, gap_hours, work, cores, log):
    """Loads, then times the making of the runs and of the visits (each a CREATE TABLE AS on the
    server) and fetches the visits as CSV (vessel, layer, area, enter_t, exit_t). Returns the
    figures and the path of the visits."""
    try:
        import psycopg2
    except ImportError as e:
        raise benchlib.BenchError("Python's psycopg2 is missing; run scripts/setup bench") from e
    result = {"settings": server_settings(cores, memory_bytes())}
    server = PostgisServer(result["settings"])
    try:
        log("starting a PostgreSQL server of our own")
        server.start()
        connection = server.connect()
        cursor = connection.cursor()
        cursor.execute("CREATE EXTENSION postgis")
        cursor.execute("SELECT version(), postgis_lib_version(), postgis_geos_version()")
        versions = cursor.fetchone()
        result["versions"] = {"postgresql": versions[0].split(" on ")[0],
                              "postgis": versions[1], "geos": versions[2]}
        connection.close()
        log("loading the areas and the positions (not timed)")
        result["load"] = load(server, layers, tracks)

        connection = server.connect()
        cursor = connection.cursor()
        steps = []
        cpu_before = server.cpu_seconds()
        started = time.perf_counter()
        for name, sql in (("runs", RUNS_SQL % {"gap": gap_hours * 3600.0}),
                          ("visits", VISITS_SQL)):
            log(f"PostGIS: making the {name}")
            start = time.perf_counter()
            cursor.execute(sql)
            steps.append({"name": name, "wall_s": time.perf_counter() - start})
            log(f"  {steps[-1]['wall_s']:.1f} s")
        result["wall_s"] = time.perf_counter() - started
        result["cpu_s"] = server.cpu_seconds() - cpu_before
        result["steps"] = steps
        result["sql"] = {"runs": RUNS_SQL, "visits": VISITS_SQL}
        cursor.execute("SELECT count(*), sum(positions) FROM runs")
        result["runs"], _ = cursor.fetchone()
        cursor.execute("SELECT count(*) FROM pg_visits")
        result["visits"] = cursor.fetchone()[0]
        answers = Path(work) / "postgis-visits.csv"
        with open(answers, "w", encoding="utf-8", newline="") as f:
            copy_through_client(cursor, "COPY (SELECT vessel, layer, area, enter_t, exit_t "
                                "FROM pg_visits) TO STDOUT WITH (FORMAT csv, HEADER)", f)
        connection.close()
        return result, answers
    except psycopg2.Error as e:
        raise benchlib.BenchError(
            f"PostGIS: {str(e).strip()} {server.server_log_tail()}".strip()) from e
    finally:
        log("stopping and removing the PostgreSQL server")
        server.stop()
