"""Builds the sample map folder (map definition, shapefiles, lists, pages) from the Natural Earth
land of the world-atlas package.

    make_sample.py LAND_TOPOJSON OUTPUT_FOLDER

The output folder is emptied first; scripts/make-sample builds into a fresh folder and swaps it in.
"""

import os
import shutil
import sys

from osgeo import ogr

import areas
import geo
import land
import layers
import pages
import pdf
import places
import shapefiles
import textfiles

TEXT = "text"
INT = "int"
REAL = "real"

NO_TRANSIT_RULE = "No vessel may enter"
CLOSURE_RULE = "Trawling closed all year"

# The layers in the order they are added to the map: each new layer is drawn over the ones before
# it, so the grid of statistical areas and the land come first, then the large areas, the small
# zones, and the lines and points last, on top.
# Each: map definition fields, then the geometry type and the attribute fields of the shapefile.
LAYERS = [
    {
        "name": "Statistical areas",
        "query": 2, "visible": True, "file": "statareas", "doc": "",
        "color": "200.225.255", "border": "255.255.255", "style": 0,
        "label": "STAT_AREA", "caption": "Stat area", "field": "STAT_AREA",
        "geom": ogr.wkbPolygon,
        "fields": [("STAT_AREA", INT, 6, 0), ("MGMT_AREA", TEXT, 30, 0), ("AREA_KM2", REAL, 12, 1)],
    },
    {
        "name": "Land",
        "query": 0, "visible": True, "file": "land", "doc": "",
        "color": "230.220.170", "border": "", "style": 0,
        "label": "", "caption": "", "field": "",
        "geom": ogr.wkbPolygon,
        "fields": [("LAND_ID", INT, 5, 0), ("AREA_KM2", REAL, 12, 1)],
    },
    {
        "name": "Management areas",
        "query": 2, "visible": True, "file": "mgmtareas", "doc": "",
        "color": "0.0.160", "border": "0.0.160", "style": 1,
        "label": "NAME", "caption": "Management area", "field": "NAME",
        "geom": ogr.wkbPolygon,
        "fields": [("NAME", TEXT, 40, 0), ("CODE", TEXT, 2, 0), ("AREA_KM2", REAL, 12, 1)],
    },
    {
        "name": "Foraging buffers (20 nm)",
        "query": 2, "visible": False, "file": "foraging", "doc": "",
        "color": "192.192.192", "border": "128.128.128", "style": 8,
        "label": "", "caption": "Foraging area of", "field": "SITE",
        "geom": ogr.wkbPolygon,
        "fields": [("SITE", TEXT, 40, 0), ("RADIUS_NM", INT, 3, 0)],
    },
    {
        "name": "Habitat conservation areas",
        "query": 1, "visible": True, "file": "habitat", "doc": "docs/HabitatAreas.htm",
        "color": "0.128.0", "border": "0.96.0", "style": 2,
        "label": "NAME", "caption": "", "field": "",
        "geom": ogr.wkbPolygon,
        "fields": [("NAME", TEXT, 40, 0), ("RULE", TEXT, 60, 0), ("AREA_KM2", REAL, 12, 1)],
    },
    {
        "name": "Crab protection areas",
        "query": 1, "visible": True, "file": "crabareas", "doc": "CrabAreas.htm",
        "color": "160.32.240", "border": "80.0.160", "style": 3,
        "label": "NAME", "caption": "", "field": "",
        "geom": ogr.wkbPolygon,
        "fields": [("NAME", TEXT, 40, 0), ("SPECIES", TEXT, 20, 0), ("AREA_KM2", REAL, 12, 1)],
    },
    {
        "name": "Trawl closures (10 nm)",
        "query": 1, "visible": True, "file": "closures", "doc": "docs\\TrawlClosures.pdf",
        "color": "255.128.0", "border": "", "style": 5,
        "label": "", "caption": "", "field": "",
        "geom": ogr.wkbPolygon,
        "fields": [("SITE", TEXT, 40, 0), ("RADIUS_NM", INT, 3, 0), ("RULE", TEXT, 60, 0)],
    },
    {
        "name": "No-transit zones (3 nm)",
        "query": 3, "visible": True, "file": "notransit", "doc": "NoTransit.htm",
        "color": "220.0.0", "border": "160.0.0", "style": 7,
        "label": "", "caption": "", "field": "",
        "geom": ogr.wkbPolygon,
        "fields": [("SITE", TEXT, 40, 0), ("RADIUS_NM", INT, 3, 0), ("RULE", TEXT, 60, 0)],
    },
    {
        "name": "Convention line of 1867",
        "query": 2, "visible": True, "file": "convline", "doc": "",
        # The legend draws a line layer's swatch in its border colour: give the line's colour.
        "color": "128.0.128", "border": "128.0.128", "style": 0,
        "label": "", "caption": "Boundary", "field": "NAME",
        "geom": ogr.wkbLineString,
        "fields": [("NAME", TEXT, 40, 0), ("SEGMENT", TEXT, 20, 0), ("NAME_RU", TEXT, 80, 0)],
    },
    {
        "name": "Sites",
        "query": 2, "visible": True, "file": "sites", "doc": "",
        "color": "200.0.0", "border": "", "style": 0,
        "label": "NAME", "caption": "Site", "field": "NAME",
        "geom": ogr.wkbPoint,
        "fields": [("SITE_ID", INT, 4, 0), ("NAME", TEXT, 40, 0), ("KIND", TEXT, 10, 0),
                   ("LON", REAL, 11, 4), ("LAT", REAL, 10, 4)],
    },
]


def build_features(land_path):
    rect = places.MAP_RECT
    land_polys = land.load_land(land_path, places.LONLAT_WINDOW, rect)
    land_all = geo.multipolygon(land_polys)
    area_geoms = areas.management_areas(land_polys, rect)
    return {
        "sites": layers.sites(),
        "convline": layers.convention_line(rect),
        "notransit": layers.zones(places.NO_TRANSIT_NM, NO_TRANSIT_RULE),
        "closures": layers.zones(places.TRAWL_CLOSURE_NM, CLOSURE_RULE),
        "crabareas": layers.sea_outlines(places.CRAB_AREAS, land_all, rect, "SPECIES"),
        "habitat": layers.sea_outlines(places.HABITAT_AREAS, land_all, rect, "RULE"),
        "foraging": layers.zones(places.FORAGING_NM, None),
        "mgmtareas": layers.management(area_geoms),
        "land": layers.land_features(land_polys),
        "statareas": layers.statistical(area_geoms),
    }


def page_context(features):
    def table(name, extra):
        return [(a["NAME"], a[extra], a["AREA_KM2"]) for _, a in features[name]]

    return {
        "management": [(a["NAME"], a["CODE"], a["AREA_KM2"]) for _, a in features["mgmtareas"]],
        "rookeries": [(name, lon, lat) for name, _, lon, lat in layers.rookeries()],
        "crab": table("crabareas", "SPECIES"),
        "habitat": table("habitat", "RULE"),
        "no_transit_nm": places.NO_TRANSIT_NM,
        "closure_nm": places.TRAWL_CLOSURE_NM,
        "foraging_nm": places.FORAGING_NM,
    }


def write_text(path, text):
    """A page with CR LF line ends, UTF-8."""
    with open(path, "wb") as out:
        out.write(text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8"))


def write_pages(folder, ctx):
    html_dir = os.path.join(folder, "HTML")
    docs_dir = os.path.join(html_dir, "docs")
    os.makedirs(docs_dir, exist_ok=True)
    write_text(os.path.join(html_dir, "sample.css"), pages.STYLE)
    write_text(os.path.join(html_dir, "Regs.htm"), pages.regs_page(ctx))
    write_text(os.path.join(html_dir, "MapHelp.htm"), pages.help_page())
    write_text(os.path.join(html_dir, "NoTransit.htm"), pages.no_transit_page(ctx))
    write_text(os.path.join(html_dir, "CrabAreas.htm"), pages.crab_page(ctx))
    write_text(os.path.join(docs_dir, "HabitatAreas.htm"), pages.habitat_page(ctx))
    document = pdf.make_pdf(
        "Trawl closures around sea lion rookeries (sample)",
        pages.SAMPLE_NOTE.upper(),
        pages.trawl_closure_lines(ctx),
    )
    with open(os.path.join(docs_dir, "TrawlClosures.pdf"), "wb") as out:
        out.write(document)


def build(land_path, folder):
    if os.path.exists(folder):
        shutil.rmtree(folder)
    shp_dir = os.path.join(folder, "Shapefiles")
    os.makedirs(shp_dir)
    features = build_features(land_path)
    for layer in LAYERS:
        shapefiles.write_layer(
            shp_dir, layer["file"], layer["geom"], layer["fields"], features[layer["file"]]
        )
    textfiles.write_map_definition(os.path.join(folder, "Alaska.mv"), LAYERS)
    textfiles.write_proj_pars(os.path.join(folder, "ProjPars.alb"))
    textfiles.write_sites(os.path.join(folder, "SSL_Locs.csv"), places.SITES)
    textfiles.write_regions(os.path.join(folder, "Regions.csv"), places.REGIONS)
    write_pages(folder, page_context(features))
    # Git must keep the files byte for byte: CR LF text files and binary shapefiles.
    with open(os.path.join(folder, ".gitattributes"), "w", encoding="ascii", newline="\n") as out:
        out.write("* -text\n")
    for layer in LAYERS:
        print(f"  {layer['file']:10s} {len(features[layer['file']]):5d} features")


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    land_path, folder = argv[1], argv[2]
    if not os.path.isfile(land_path):
        print(f"make_sample: {land_path}: no such file", file=sys.stderr)
        return 1
    build(land_path, folder)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
