"""HTML pages of the map folder: regulations overview, help, and the documents the query links to.

Every regulation and document here is sample content made for trying the viewer, not a rule.
"""

import html

SAMPLE_NOTE = "Sample content: not real regulations"

STYLE = """body { font-family: Arial, Helvetica, sans-serif; font-size: 10pt; margin: 12px; }
h1 { font-size: 15pt; color: #0b2e59; margin-top: 4px; }
h2 { font-size: 12pt; color: #0b2e59; border-bottom: 1px solid #9fb3c8; margin-top: 18px; }
h3 { font-size: 10.5pt; margin-bottom: 4px; }
.sample { background: #b00000; color: #ffffff; font-weight: bold; padding: 6px 10px; }
table { border-collapse: collapse; margin: 6px 0; }
th, td { border: 1px solid #9fb3c8; padding: 2px 6px; text-align: left; vertical-align: top; }
th { background: #dde6f0; }
td.num { text-align: right; }
code, kbd { font-family: "Courier New", monospace; }
.nav { font-size: 9pt; margin-bottom: 8px; }
"""


def _dm(value, positive, negative):
    """Degrees and decimal minutes with a hemisphere letter, as on the charts."""
    hemi = positive if value >= 0 else negative
    a = abs(value)
    deg = int(a)
    minutes = (a - deg) * 60.0
    if round(minutes, 2) >= 60.0:
        deg, minutes = deg + 1, 0.0
    return f"{deg}&deg; {minutes:05.2f}' {hemi}"


def position(lon, lat):
    lon = lon + 360.0 if lon < -180.0 else lon
    return f"{_dm(lat, 'N', 'S')}, {_dm(lon, 'E', 'W')}"


def _page(title, body, css_path):
    head = (
        "<!DOCTYPE html>\n<html>\n<head>\n"
        '<meta charset="utf-8">\n'
        f"<title>{html.escape(title)}</title>\n"
        f'<link rel="stylesheet" href="{css_path}">\n'
        "</head>\n<body>\n"
    )
    return head + body.strip("\n") + "\n</body>\n</html>\n"


def _banner():
    return f'<p class="sample">{SAMPLE_NOTE}. Made up for trying the viewer.</p>\n'


def _rows(rows):
    out = []
    for row in rows:
        cells = []
        for cell in row:
            if isinstance(cell, (int, float)):
                cells.append(f'<td class="num">{cell:,}</td>')
            else:
                cells.append(f"<td>{cell}</td>")
        out.append("<tr>" + "".join(cells) + "</tr>")
    return "\n".join(out)


def regs_page(ctx):
    area_rows = _rows(
        (html.escape(name), code, round(km2)) for name, code, km2 in ctx["management"]
    )
    rookery_rows = _rows(
        (html.escape(name), position(lon, lat)) for name, lon, lat in ctx["rookeries"]
    )
    body = f"""
<h1>Fishing regulations of the sample map</h1>
{_banner()}
<p>This page stands in for the regulations summary that comes with a map. Everything on it was
written for the bundled sample map of Alaskan waters, so that the viewer's pages, links and
documents can be tried out. None of it is a rule; for real regulations ask the agencies that make
them.</p>
<p class="nav">Documents: <a href="NoTransit.htm">No-transit zones</a> |
<a href="docs/TrawlClosures.pdf">Trawl closures (PDF)</a> |
<a href="docs/HabitatAreas.htm">Habitat conservation areas</a> |
<a href="CrabAreas.htm">Crab protection areas</a> |
<a href="MapHelp.htm">Help on the viewer</a></p>

<h2>Management areas</h2>
<p>The sea of the map is divided into six management areas. Each season, catch limit and
reporting rule below is sample text. Click the map with the Fish Tool to see which area a position
lies in.</p>
<table>
<tr><th>Management area</th><th>Code</th><th>Sea area (km&sup2;)</th></tr>
{area_rows}
</table>

<h2>Seasons (sample)</h2>
<table>
<tr><th>Fishery</th><th>Areas</th><th>Season</th></tr>
<tr><td>Pollock, trawl</td><td>BS, AI</td><td>20 January to 10 June; 10 June to 1 November</td></tr>
<tr><td>Pacific cod, hook and line</td><td>BS, AI, WG, CG</td><td>1 January to 31 December</td></tr>
<tr><td>Sablefish, pot and longline</td><td>all</td><td>15 March to 15 November</td></tr>
<tr><td>Rockfish, trawl</td><td>CG, EG</td><td>1 May to 15 November</td></tr>
<tr><td>Red king crab, pot</td><td>BS</td><td>15 October to 15 January</td></tr>
</table>

<h2>Zones around sea lion rookeries</h2>
<p>Three circles surround each of the {len(ctx["rookeries"])} rookeries of the site list:</p>
<ul>
<li><b>{ctx["no_transit_nm"]} nautical miles:</b> no vessel may enter
(<a href="NoTransit.htm">no-transit zones</a>).</li>
<li><b>{ctx["closure_nm"]} nautical miles:</b> closed to trawling all year
(<a href="docs/TrawlClosures.pdf">trawl closures</a>).</li>
<li><b>{ctx["foraging_nm"]} nautical miles:</b> foraging areas, where catches are reported
weekly. The layer "Foraging buffers (20 nm)" starts hidden; tick it in the legend to see it.</li>
</ul>
<table>
<tr><th>Rookery</th><th>Position</th></tr>
{rookery_rows}
</table>

<h2>Habitat and crab areas</h2>
<p>Bottom-contact gear is restricted in the <a href="docs/HabitatAreas.htm">habitat conservation
areas</a>, and trawling is closed in the <a href="CrabAreas.htm">crab protection areas</a> while
the crab moult.</p>

<h2>Statistical areas</h2>
<p>Catches are reported by statistical area: cells one degree of longitude wide and half a degree
of latitude high. A cell's six-digit number is made of the west longitude of its east edge less 100,
then the degrees and minutes of its south edge: the cell from 166&deg; W to 165&deg; W and from
54&deg; 30' N to 55&deg; N is 655430.</p>
"""
    return _page("Regulations (sample)", body, "sample.css")


def no_transit_page(ctx):
    rows = _rows(
        (html.escape(name), position(lon, lat), ctx["no_transit_nm"])
        for name, lon, lat in ctx["rookeries"]
    )
    body = f"""
<p class="nav"><a href="Regs.htm">Regulations overview</a></p>
<h1>No-transit zones around rookeries</h1>
{_banner()}
<p>No vessel may enter the waters within {ctx["no_transit_nm"]} nautical miles of the rookeries
below, whatever its gear, except to save life at sea. The zones are drawn on the map with a
crossed red hatch.</p>
<table>
<tr><th>Rookery</th><th>Centre</th><th>Radius (nm)</th></tr>
{rows}
</table>
"""
    return _page("No-transit zones (sample)", body, "sample.css")


def crab_page(ctx):
    rows = _rows(
        (html.escape(name), html.escape(species), round(km2)) for name, species, km2 in ctx["crab"]
    )
    body = f"""
<p class="nav"><a href="Regs.htm">Regulations overview</a></p>
<h1>Crab protection areas</h1>
{_banner()}
<p>Trawling is closed in these areas from 15 January to 15 June, while the crab moult and mate.
Pot fishing for crab is open only in the crab seasons of the <a href="Regs.htm">overview</a>.</p>
<table>
<tr><th>Area</th><th>Species</th><th>Sea area (km&sup2;)</th></tr>
{rows}
</table>
"""
    return _page("Crab protection areas (sample)", body, "sample.css")


def habitat_page(ctx):
    rows = _rows(
        (html.escape(name), html.escape(rule), round(km2)) for name, rule, km2 in ctx["habitat"]
    )
    body = f"""
<p class="nav"><a href="../Regs.htm">Regulations overview</a></p>
<h1>Habitat conservation areas</h1>
{_banner()}
<p>Corals, sponges and rocky bottom are protected in these areas. The Bowers Ridge area lies
across the 180th meridian.</p>
<table>
<tr><th>Area</th><th>Rule</th><th>Sea area (km&sup2;)</th></tr>
{rows}
</table>
"""
    return _page("Habitat conservation areas (sample)", body, "../sample.css")


def trawl_closure_lines(ctx):
    """Lines of the trawl closure document, for the PDF writer."""
    lines = [
        ("title", "Trawl closures around sea lion rookeries"),
        ("text", "SAMPLE CONTENT - NOT REAL REGULATIONS. Made up for trying the viewer."),
        ("heading", "Rule"),
        (
            "text",
            f"Trawling is closed all year within {ctx['closure_nm']} nautical miles of each "
            "rookery below.",
        ),
        ("text", "Hook-and-line and pot gear may fish there outside the no-transit zones."),
        ("heading", "Rookeries"),
    ]
    for name, lon, lat in ctx["rookeries"]:
        text = position(lon, lat).replace("&deg;", "\u00b0")
        lines.append(("text", f"{name}: {text}, radius {ctx['closure_nm']} nm"))
    return lines


HELP_BODY = """
<h1>Using the map viewer</h1>
<p>The viewer shows the layers of a map, lets you move around it, and tells you what lies at any
point of it. This page explains every tool and control.</p>
<p class="sample">Sample content: the map that comes with the viewer, Alaskan waters, is made up
for trying the viewer. Its regulations and documents are not real rules.</p>
<p class="nav"><a href="#start">Opening a map</a> | <a href="#window">The map window</a> |
<a href="#toolbar">Toolbar</a> | <a href="#FishTool">Fish Tool</a> |
<a href="#measure">Measuring</a> | <a href="#legend">Legend</a> | <a href="#lists">Site and
region lists</a> | <a href="#status">Position read-out</a> | <a href="#printing">Printing</a> |
<a href="#pages">Regulations and Info</a> | <a href="#helpwindow">This help window</a> |
<a href="Regs.htm">Regulations overview</a></p>

<h2><a name="start" id="start"></a>Opening a map</h2>
<p>At start the window "Select a Map" lists drives, folders and the map files (<code>*.mv</code>)
of the chosen folder. Pick a map file and press <b>OK</b>, or double-click it. The map opens in the
main window; to open another map, start the viewer again.</p>

<h2><a name="window" id="window"></a>The map window</h2>
<p>The map fills the middle of the map window. The toolbar runs down its left edge; under the map
is a strip with the <b>Regulations</b> and <b>Info</b> buttons, the lists <b>Zoom to site:</b> and
<b>Zoom to region:</b> and the status line. The legend, "Available Layers", stands to the right of
the map window. The map opens showing all of its layers.</p>

<h2><a name="toolbar" id="toolbar"></a>Toolbar</h2>
<p>The toolbar has eleven buttons. Some act at once (commands); the others choose the tool that a
press on the map uses (tools). A chosen tool shows its button with a yellow caption and stays
chosen until you pick another tool; commands do not change it. Hold the pointer over a button to
see its tip.</p>
<table>
<tr><th>Button</th><th>Kind</th><th>What it does</th></tr>
<tr><td>Full Extent (globe)</td><td>command</td><td>Shows the whole map, every layer.</td></tr>
<tr><td>Zoom In (magnifier with a plus)</td><td>tool</td><td>Press on the map and drag a
rectangle; when you let go, the map shows that rectangle.</td></tr>
<tr><td>Zoom Out (magnifier with a minus)</td><td>command</td><td>Shows an area one and a half
times as wide and as high, around the same centre.</td></tr>
<tr><td>Last Extent (arrow to the left)</td><td>command</td><td>Goes back to the view shown
before the last zoom, pan or list choice. Each click goes one step further back; when there is
nothing left to go back to, it does nothing.</td></tr>
<tr><td>Pan (open hand)</td><td>tool</td><td>Press on the map and drag it; it follows the pointer
until you let go.</td></tr>
<tr><td>Fish Tool (angelfish)</td><td>tool</td><td>Click the map to list the layers present at
that point; see <a href="#FishTool">Fish Tool</a>.</td></tr>
<tr><td>Print (printer)</td><td>command</td><td>Prints the map as it is shown, then the legend;
see <a href="#printing">Printing</a>.</td></tr>
<tr><td>Measure (arrow over a ruler)</td><td>tool</td><td>Draw a path on the map to measure its
length; see <a href="#measure">Measuring</a>.</td></tr>
<tr><td>Aleutian Islands</td><td>command</td><td>Zooms to the Aleutian Islands.</td></tr>
<tr><td>Bering Sea</td><td>command</td><td>Zooms to the Bering Sea.</td></tr>
<tr><td>Gulf of Alaska</td><td>command</td><td>Zooms to the Gulf of Alaska.</td></tr>
</table>
<p>The three region buttons use the first three entries of the region list. Every zoom, pan and
list choice can be undone with <b>Last Extent</b>. Until you choose a tool, a press on the map does
nothing.</p>

<h2><a name="FishTool" id="FishTool"></a>Fish Tool: what lies here?</h2>
<p>Choose the Fish Tool (the angelfish, tip "Fish Tool -- Shows layers present at clicked loc")
and click the map. The status line reads "Finding layers ..." while every layer that can be
queried is searched at that point, hidden layers included. A results window then opens; its title
strip reads "Layers present at:" and the clicked position, longitude first, in degrees and decimal
minutes. Each click replaces the results window of the click before.</p>
<ul>
<li>Layers that report a value show one bold line each: the caption and the value of the first
feature found, for example the statistical area number or the management area's name.</li>
<li>Layers that carry a document show a link named after the layer. The link opens the document,
a page or a PDF file, in a window of its own.</li>
<li>When no layer with a document is found, the list ends with "No layers found.", even if some
values are listed above it.</li>
</ul>
<p>Layers that are only drawn, such as the land, are never searched.</p>

<h2><a name="measure" id="measure"></a>Measuring a distance</h2>
<p>Choose <b>Measure</b> and press on the map where the path starts. Click at each corner of the
path and double-click at its end; <kbd>Esc</kbd> abandons the path. A message titled "Distance"
then tells the number of segments and the total length in nautical miles, for example "2 segments,
total distance 5.94 nautical miles". Lengths are measured straight on the map's equal-area plane,
not along the earth's surface. The tool stays chosen, so the next press starts a new path.</p>

<h2><a name="legend" id="legend"></a>Legend: Available Layers</h2>
<p>The legend lists the layers of the map, the topmost first. Each row shows a swatch in the
layer's colours and fill pattern (a short line for line layers, nothing for point layers) and a
check box with the layer's name. Tick the box to show the layer, clear it to hide it; the map is
drawn again at once. Hidden layers are still searched by the Fish Tool. When the rows do not all
fit, a scroll bar at the right edge of the legend moves the list between its first and its last
rows.</p>

<h2><a name="lists" id="lists"></a>Site and region lists</h2>
<p><b>Zoom to site:</b> lists the sites of the map, harbours and sea lion rookeries; choosing one
shows a square of 100 km around it. <b>Zoom to region:</b> lists named regions; choosing one shows
that region. Both choices can be undone with <b>Last Extent</b>.</p>

<h2><a name="status" id="status"></a>Position read-out</h2>
<p>While the pointer moves over the map, the status line under the map shows its longitude and
latitude in degrees and decimal minutes, for example "- 152&deg; 33.466', 51&deg; 48.038'". West
longitudes and south latitudes carry a minus sign; west of the 180th meridian longitudes read as
east, without a sign.</p>

<h2><a name="printing" id="printing"></a>Printing</h2>
<p><b>Print</b> opens the printer dialog. Choose a printer and confirm: the map is printed as it is
shown, then the legend. Your default printer is the same afterwards as before.</p>

<h2><a name="pages" id="pages"></a>Regulations and Info</h2>
<p><b>Regulations</b> opens the regulations overview of the map (<a href="Regs.htm">Regs.htm</a>)
in a window of its own; pressing it again brings that window to the front. <b>Info</b> opens this
help page at the Fish Tool section.</p>

<h2><a name="helpwindow" id="helpwindow"></a>This help window</h2>
<p>The buttons above the page are <b>Back</b> and <b>Forward</b> (through the pages visited),
<b>Stop</b> (stop loading), <b>Refresh</b> (load the page again), <b>Home</b> and <b>Search</b>
(the page view's own home and search pages). The <b>Address</b> box lists the pages visited, the
latest first; choose one to go back to it, or type an address and press <kbd>Enter</kbd>.</p>
"""


def help_page():
    return _page("Help on the map viewer", HELP_BODY, "sample.css")
