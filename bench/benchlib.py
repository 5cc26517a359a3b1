"""Shared pieces of the benchmark scripts: where the data lives, the manifest that describes it,
medians, and the counting of features, rings and vertices through OGR.

Only the standard library is imported at module level, so the report and its tests run without GDAL.
"""

import json
import os
import statistics
from pathlib import Path

# Bumped whenever the data or the manifest changes shape, so older caches are rebuilt.
MANIFEST_VERSION = 1
MANIFEST_NAME = "manifest.json"


class BenchError(Exception):
    """A failure the user sees as one plain sentence naming the file and the problem."""


def data_folder(explicit=None):
    """The cache folder of the benchmark data: the explicit folder, else $PELAGON_BENCH_DATA,
    else ${XDG_CACHE_HOME:-$HOME/.cache}/pelagon/bench."""
    if explicit:
        return Path(explicit)
    if os.environ.get("PELAGON_BENCH_DATA"):
        return Path(os.environ["PELAGON_BENCH_DATA"])
    cache = os.environ.get("XDG_CACHE_HOME") or os.path.join(Path.home(), ".cache")
    return Path(cache) / "pelagon" / "bench"


def load_manifest(folder):
    """Reads the manifest of a data folder; raises BenchError naming the file when it is missing,
    malformed or of another version."""
    path = Path(folder) / MANIFEST_NAME
    try:
        text = path.read_text(encoding="utf-8")
    except OSError as e:
        raise BenchError(f"{path}: cannot be read ({e.strerror}); run bench/make-data") from e
    try:
        manifest = json.loads(text)
    except json.JSONDecodeError as e:
        raise BenchError(f"{path}, line {e.lineno}: not valid JSON ({e.msg})") from e
    if manifest.get("version") != MANIFEST_VERSION:
        raise BenchError(
            f"{path}: version {manifest.get('version')!r}, expected {MANIFEST_VERSION}; "
            "run bench/make-data --force"
        )
    return manifest


def manifest_files_present(folder, manifest):
    """True when every shapefile and the search point file that the manifest names exist."""
    folder = Path(folder)
    names = [layer["path"] for layer in [manifest["coastline"], *manifest["grids"]]]
    names.append(manifest["search_points"]["path"])
    for name in names:
        path = folder / name
        if not path.is_file():
            return False
        if path.suffix == ".shp" and not all(
            path.with_suffix(s).is_file() for s in (".shx", ".dbf")
        ):
            return False
    return True


def median(values):
    """The median of a non-empty sequence; the mean of the two middle values for an even count."""
    if not values:
        raise ValueError("median of no values")
    return statistics.median(values)


def count_geometry(geometry, ogr):
    """(rings, vertices) of an OGR geometry, walking collections and polygons down to their curves.

    A shapefile polygon whose rings do not nest as one shell with holes comes back from OGR as a
    multipolygon, so the walk must not assume the top level is a polygon."""
    flat = ogr.GT_Flatten(geometry.GetGeometryType())
    if flat == ogr.wkbPoint:
        return 0, 0 if geometry.IsEmpty() else 1
    if flat in (ogr.wkbLineString, ogr.wkbLinearRing):
        return 1, geometry.GetPointCount()
    rings = vertices = 0
    for i in range(geometry.GetGeometryCount()):
        r, v = count_geometry(geometry.GetGeometryRef(i), ogr)
        rings += r
        vertices += v
    return rings, vertices


def count_layer(path, ogr):
    """Counts of a shapefile's first layer: name, features, rings, vertices and extent."""
    dataset = ogr.Open(str(path))
    if dataset is None:
        raise BenchError(f"{path}: OGR cannot open it")
    layer = dataset.GetLayer(0)
    features = rings = vertices = 0
    for feature in layer:
        features += 1
        geometry = feature.GetGeometryRef()
        if geometry is not None:
            r, v = count_geometry(geometry, ogr)
            rings += r
            vertices += v
    min_x, max_x, min_y, max_y = layer.GetExtent()
    return {
        "name": layer.GetName(),
        "features": features,
        "rings": rings,
        "vertices": vertices,
        "extent": [min_x, min_y, max_x, max_y],
    }
