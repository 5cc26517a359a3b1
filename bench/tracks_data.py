"""The vessel tracks of the visits benchmark: 1,000 vessels and 10 million positions over the sample
map's waters for a month, made from a fixed seed, so every run reads the same files.

Each vessel sails straight legs between points near those of the statistical areas (the next one
40 to 400 km from the last, moved by a normal offset of 15 km in x and y), at a speed drawn per leg
from 0 to 12 knots (one leg in six at most 1 knot: fishing or drifting); it reports every 1 to 7.6
minutes (4.3 on average, a month for 10,000 reports), and falls silent now and then for 7 to 30
hours, which breaks its track. Legs are straight on the map's plane and pay no heed to land.
Positions are written as longitude and latitude with six decimals, times as ISO 8601 to the
second.

Files, in the data folder: tracks-<count>.csv in time order (the vessels interleaved, as a feed
gives them), tracks-<count>-sorted.csv ordered by vessel and time, and subsets of the first vessels
(tracks-<count>-first<n>.csv, both orders) for the peer and for the memory of the sorted read.
"""

import os
from pathlib import Path

SEED = 20_261_209
VESSELS = 1000
PER_VESSEL = 10_000
START = "2026-01-01T00:00:00"
KNOT = 1852.0 / 3600.0  # metres a second
# The map's plane (the layers' EPSG:3338, NAD83 / Alaska Albers) and NAD83's degrees: the same
# ellipsoid, so the map's own projection turns the degrees back into the same metres.
PLANE_SRS, DEGREES_SRS = 3338, 4269


def vessel_name(k):
    return f"V{k + 1:04d}"


def file_names(count, first=None):
    stem = f"tracks-{count}" + (f"-first{first}" if first else "")
    return f"{stem}.csv", f"{stem}-sorted.csv"


def area_points(statareas, ogr):
    """A point in every statistical area (its centroid when that lies inside, else a point on its
    surface), as an array of x and y."""
    import numpy as np

    dataset = ogr.Open(str(statareas))
    points = []
    for feature in dataset.GetLayer(0):
        geometry = feature.GetGeometryRef()
        point = geometry.Centroid()
        if not geometry.Contains(point):
            point = geometry.PointOnSurface()
        points.append((point.GetX(), point.GetY()))
    return np.array(points)


def simulate(rng, points, per_vessel, start_s):
    """One vessel's reports: times (s since the epoch) and x, y on the plane."""
    import numpy as np

    dt = rng.uniform(60.0, 456.0, per_vessel)
    silent = rng.random(per_vessel) < 0.0008
    dt[silent] += rng.uniform(7 * 3600.0, 30 * 3600.0, int(silent.sum()))
    dt[0] = rng.uniform(0.0, 3 * 3600.0)
    times = np.floor(start_s + np.cumsum(dt)).astype(np.int64)
    # Legs: a new speed now and then, every 300 reports on average.
    leg = np.cumsum(rng.random(per_vessel) < 1 / 300)
    legs = int(leg[-1]) + 1
    speed = rng.uniform(0.0, 12.0, legs)
    slow = rng.random(legs) < 1 / 6
    speed[slow] = rng.uniform(0.0, 1.0, int(slow.sum()))
    step = np.diff(times, prepend=times[0]) * speed[leg] * KNOT
    travelled = np.cumsum(step)
    # The route: points of the areas, each 40 to 400 km from the one before.
    route = [points[rng.integers(len(points))]]
    length = [0.0]
    while length[-1] <= travelled[-1]:
        here = route[-1]
        distance = np.hypot(points[:, 0] - here[0], points[:, 1] - here[1])
        near = np.flatnonzero((distance > 40e3) & (distance < 400e3))
        choice = points[rng.choice(near)] if len(near) else points[rng.integers(len(points))]
        # Anywhere near that area's point: the areas' points lie on a lattice, and legs between
        # them alone would often run along the same lines.
        choice = choice + rng.normal(0.0, 15e3, 2)
        length.append(length[-1] + float(np.hypot(*(choice - here))))
        route.append(choice)
    route = np.array(route)
    x = np.interp(travelled, length, route[:, 0])
    y = np.interp(travelled, length, route[:, 1])
    return times, x, y


def degrees(x, y, osr):
    """Longitudes and latitudes of points of the plane, through OSR, in chunks."""
    import numpy as np

    plane, geographic = osr.SpatialReference(), osr.SpatialReference()
    plane.ImportFromEPSG(PLANE_SRS)
    geographic.ImportFromEPSG(DEGREES_SRS)
    geographic.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    plane.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    transform = osr.CoordinateTransformation(plane, geographic)
    lon, lat = np.empty_like(x), np.empty_like(y)
    chunk = 1 << 20
    for begin in range(0, len(x), chunk):
        end = min(begin + chunk, len(x))
        out = np.array(transform.TransformPoints(
            np.column_stack((x[begin:end], y[begin:end])).tolist()))
        lon[begin:end], lat[begin:end] = out[:, 0], out[:, 1]
    return lon, lat


def write_rows(path, order, vessel, times, lon, lat):
    """Writes the rows in the given order, header first, replacing the file once it is whole."""
    import numpy as np

    names = [vessel_name(k) for k in range(int(vessel.max()) + 1)]
    partial = Path(str(path) + ".partial")
    chunk = 1 << 20
    with open(partial, "w", encoding="ascii", newline="") as out:
        out.write("vessel,time,lon,lat\n")
        for begin in range(0, len(order), chunk):
            rows = order[begin:begin + chunk]
            stamps = np.datetime_as_string(times[rows].astype("datetime64[s]"), unit="s")
            out.write("".join(
                f"{names[v]},{t}Z,{a:.6f},{b:.6f}\n"
                for v, t, a, b in zip(vessel[rows].tolist(), stamps.tolist(),
                                      lon[rows].tolist(), lat[rows].tolist())))
    os.replace(partial, path)


def make_tracks(folder, statareas, subsets=(), log=print):
    """Makes the files that are missing; returns {name: path} of all of them."""
    count_vessels, per_vessel = VESSELS, PER_VESSEL
    count = count_vessels * per_vessel
    folder = Path(folder)
    wanted = {}
    for first in (None, *subsets):
        for name in file_names(count, first):
            wanted[name] = folder / name
    if all(path.is_file() for path in wanted.values()):
        return wanted
    import numpy as np
    from osgeo import ogr, osr

    ogr.UseExceptions()
    osr.UseExceptions()
    log(f"making {count:,} positions of {count_vessels:,} vessels")
    points = area_points(statareas, ogr)
    rng = np.random.default_rng(SEED)
    start_s = int(np.datetime64(START, "s").astype(np.int64))
    vessel = np.repeat(np.arange(count_vessels, dtype=np.int32), per_vessel)
    times = np.empty(count, dtype=np.int64)
    x, y = np.empty(count), np.empty(count)
    for k in range(count_vessels):
        part = slice(k * per_vessel, (k + 1) * per_vessel)
        times[part], x[part], y[part] = simulate(rng, points, per_vessel, start_s)
    lon, lat = degrees(x, y, osr)
    by_vessel = np.arange(count)  # vessel names sort as their numbers do
    by_time = np.lexsort((vessel, times))
    for first in (None, *subsets):
        in_time, in_vessel = file_names(count, first)
        rows = count if first is None else first * per_vessel
        subset_time = by_time if first is None else by_time[vessel[by_time] < first]
        for name, order in ((in_time, subset_time), (in_vessel, by_vessel[:rows])):
            log(f"writing {name}")
            write_rows(folder / name, order, vessel, times, lon, lat)
    return wanted
