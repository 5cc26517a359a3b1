"""The text files of the map folder: map definition, projection parameters, site and region lists.

All are written as UTF-8 with CR LF line ends, a line end after the last line too.
"""

import math

import geo

MAP_HEADER = "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field"
SITE_HEADER = "Name,X,Y,Longitude,Latitude"
REGION_HEADER = "Name,Left,Right,Bottom,Top"

# Projection parameters of the map plane: central meridian, latitude of origin, standard parallels.
PROJ_PARS = ("-154", "50", "55", "65")


def write_lines(path, lines):
    for line in lines:
        if "\n" in line or "\r" in line:
            raise ValueError(f"{path}: a line holds a line break: {line!r}")
    with open(path, "wb") as out:
        out.write("".join(line + "\r\n" for line in lines).encode("utf-8"))


def _check_field(path, text):
    if "," in text:
        raise ValueError(f"{path}: the field {text!r} holds a comma, which the format cannot carry")
    return text


def map_definition_line(layer):
    fields = [
        layer["name"],
        str(layer["query"]),
        "True" if layer["visible"] else "False",
        layer["file"],
        layer["doc"],
        layer["color"],
        layer["border"],
        str(layer["style"]),
        layer["label"],
        layer["caption"],
        layer["field"],
    ]
    return ",".join(_check_field("map definition", f) for f in fields)


def write_map_definition(path, layers):
    write_lines(path, [MAP_HEADER] + [map_definition_line(layer) for layer in layers])


def write_proj_pars(path):
    write_lines(path, list(PROJ_PARS))


def _lon180(lon):
    return lon + 360.0 if lon < -180.0 else lon


def write_sites(path, sites):
    """sites: (name, kind, lon, lat); X and Y are the projected position, whole metres."""
    lines = [SITE_HEADER]
    for name, _, lon, lat in sites:
        x, y = geo.to_map(lon, lat)
        lines.append(
            f"{_check_field(path, name)},{round(x)},{round(y)},{_lon180(lon):.4f},{lat:.4f}"
        )
    write_lines(path, lines)


def region_rect(west, east, south, north):
    """Smallest rectangle of whole kilometres around a geographic box on the map."""
    edge = []
    steps = 40
    for i in range(steps + 1):
        t = i / steps
        lon = west + (east - west) * t
        lat = south + (north - south) * t
        edge += [(lon, south), (lon, north), (west, lat), (east, lat)]
    pts = [geo.to_map(lon, lat) for lon, lat in edge]
    left = math.floor(min(p[0] for p in pts) / 1000.0) * 1000
    right = math.ceil(max(p[0] for p in pts) / 1000.0) * 1000
    bottom = math.floor(min(p[1] for p in pts) / 1000.0) * 1000
    top = math.ceil(max(p[1] for p in pts) / 1000.0) * 1000
    return left, right, bottom, top


def write_regions(path, regions):
    lines = [REGION_HEADER]
    for name, west, east, south, north in regions:
        left, right, bottom, top = region_rect(west, east, south, north)
        lines.append(f"{_check_field(path, name)},{left},{right},{bottom},{top}")
    write_lines(path, lines)

