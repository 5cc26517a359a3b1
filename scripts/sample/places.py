"""Places and outlines of the sample map, in geographic degrees.

Longitudes west of Greenwich are negative. Places east of the 180th meridian (the western
Aleutians, Chukotka) are given as longitudes below -180 (173 E is -187), so that every outline
of the sample runs continuously across the date line; the projection wraps them itself.
"""

# The map rectangle in the Albers plane, metres: left, right, bottom, top.
MAP_RECT = (-2600000.0, 1700000.0, 250000.0, 2500000.0)

# Geographic window that covers the map rectangle with room to spare (west, east, south, north).
LONLAT_WINDOW = (-215.0, -100.0, 40.0, 76.0)

PORT = "Port"
ROOKERY = "Rookery"

# Coastal sites: name, kind, longitude, latitude. Ports are the harbours of the towns; rookeries are
# sea lion haul-outs and breeding rocks, given at the rock or the island's shore.
SITES = [
    ("Attu Island", ROOKERY, -186.78, 52.84),
    ("Agattu Island", ROOKERY, -186.42, 52.40),
    ("Shemya", PORT, -185.89, 52.72),
    ("Buldir Island", ROOKERY, -184.09, 52.36),
    ("Adak", PORT, -176.65, 51.86),
    ("Kasatochi Island", ROOKERY, -175.51, 52.18),
    ("Atka", PORT, -174.20, 52.20),
    ("Seguam Island", ROOKERY, -172.45, 52.32),
    ("Bogoslof Island", ROOKERY, -168.03, 53.93),
    ("Dutch Harbor", PORT, -166.54, 53.89),
    ("Akutan", PORT, -165.77, 54.13),
    ("Ugamak Island", ROOKERY, -164.80, 54.22),
    ("King Cove", PORT, -162.31, 55.06),
    ("Sand Point", PORT, -160.50, 55.34),
    ("Chignik", PORT, -158.40, 56.30),
    ("Chowiet Island", ROOKERY, -156.70, 56.03),
    ("Chirikof Island", ROOKERY, -155.62, 55.82),
    ("Kodiak", PORT, -152.41, 57.79),
    ("Marmot Island", ROOKERY, -151.85, 58.20),
    ("Sugarloaf Island", ROOKERY, -152.03, 58.89),
    ("Homer", PORT, -151.55, 59.64),
    ("Seward", PORT, -149.44, 60.10),
    ("Seal Rocks", ROOKERY, -146.84, 60.16),
    ("Cordova", PORT, -145.76, 60.54),
    ("Yakutat", PORT, -139.73, 59.55),
    ("White Sisters", ROOKERY, -136.25, 57.64),
    ("Sitka", PORT, -135.33, 57.05),
    ("Juneau", PORT, -134.42, 58.30),
    ("Hazy Islands", ROOKERY, -134.58, 55.87),
    ("Petersburg", PORT, -132.96, 56.81),
    ("Forrester Island", ROOKERY, -133.53, 54.81),
    ("Ketchikan", PORT, -131.65, 55.34),
    ("Walrus Island", ROOKERY, -169.93, 57.18),
    ("St. Paul", PORT, -170.28, 57.12),
    ("Naknek", PORT, -157.01, 58.73),
    ("Dillingham", PORT, -158.46, 59.04),
    ("Unalakleet", PORT, -160.79, 63.87),
    ("Nome", PORT, -165.41, 64.50),
    ("Kotzebue", PORT, -162.60, 66.90),
    ("Utqiaġvik", PORT, -156.79, 71.29),
]

# Radii, in nautical miles, of the zones drawn around every rookery.
NO_TRANSIT_NM = 3
TRAWL_CLOSURE_NM = 10
FORAGING_NM = 20

# Regions of the region list: name, west, east, south, north. The first three are the preset regions
# of the toolbar and must stay first, in this order.
REGIONS = [
    ("Aleutian Islands", -188.0, -163.0, 50.8, 55.6),
    ("Bering Sea", -185.0, -157.0, 52.5, 66.0),
    ("Gulf of Alaska", -162.0, -132.0, 52.0, 61.5),
    ("Kodiak", -155.0, -151.5, 56.5, 58.8),
    ("Southeast Alaska", -138.5, -129.8, 54.5, 59.5),
    ("Pribilof Islands", -171.2, -169.2, 56.3, 57.4),
    ("Norton Sound", -168.5, -160.5, 63.0, 65.0),
    ("Bristol Bay", -162.5, -156.5, 57.0, 59.2),
    ("Prince William Sound", -148.8, -145.5, 59.8, 61.3),
    ("Cook Inlet", -154.5, -149.5, 58.8, 61.5),
    ("Chukchi Sea", -170.0, -156.0, 66.0, 71.5),
]

# The boundary of the 1867 convention, approximated: due north from the Bering Strait, then
# south-west through the Bering Sea, midway between Attu and the Commander Islands.
CONVENTION_ARCTIC = [(-168.9764, 76.0), (-168.9764, 65.5)]
CONVENTION_BERING = [
    (-168.9764, 65.5),
    (-172.0, 64.0836),
    (-180.0, 62.5833),
    (-189.6, 53.8),
    (-193.0, 50.7),
    (-200.0, 44.0),
]

# Lines that divide the sea into management areas. Each runs from open water into the mainland;
# the part beyond its first landfall on the mainland is dropped, so that a line never cuts a bay
# on the far side of the land.
AREA_CUTS = [
    # Aleutian Islands / Western Gulf, then Aleutian Islands / Bering Sea.
    [(-170.0, 40.0), (-170.0, 55.5), (-188.5, 55.5)],
    # Bering Sea / Western Gulf: through the passes of the eastern Aleutians and False Pass.
    [
        (-170.0, 52.82),
        (-168.13, 53.43),
        (-166.92, 53.89),
        (-165.99, 54.13),
        (-165.55, 54.18),
        (-163.97, 54.76),
        (-162.5, 55.4),
        (-160.0, 56.5),
    ],
    # Western / Central Gulf along 159 W, Central / Eastern Gulf along 147 W.
    [(-159.0, 40.0), (-159.0, 62.0)],
    [(-147.0, 40.0), (-147.0, 63.0)],
    # Bering Sea / Arctic across the Bering Strait.
    [(-168.9764, 65.5), (-166.0, 65.9)],
    # Eastern Gulf / Canadian waters: Dixon Entrance, then south along 136 W.
    [(-136.0, 40.0), (-136.0, 53.8), (-132.68, 54.66), (-129.0, 54.75)],
    # Arctic / Canadian waters along 141 W, from the Yukon coast north.
    [(-141.0, 68.5), (-141.0, 80.0)],
]

# Management areas: name, code.
AREAS = [
    ("Aleutian Islands", "AI"),
    ("Bering Sea", "BS"),
    ("Western Gulf of Alaska", "WG"),
    ("Central Gulf of Alaska", "CG"),
    ("Eastern Gulf of Alaska", "EG"),
    ("Arctic", "AR"),
]

# A rough line along the Aleutian chain and the Alaska Peninsula; water north-west of it is the
# Bering side. It only sorts small pieces of sea that the dividing lines leave apart.
PENINSULA_SIDE = [
    (-170.0, 52.8),
    (-164.0, 54.8),
    (-162.0, 55.5),
    (-159.0, 56.3),
    (-157.0, 57.1),
    (-155.0, 58.0),
    (-153.5, 59.0),
    (-153.5, 66.0),
]

# Habitat conservation areas: name, rule, outline. The second crosses the 180th meridian.
HABITAT_AREAS = [
    (
        "Pribilof Islands Habitat Area",
        "Bottom trawling closed all year",
        [(-171.2, 56.35), (-168.6, 56.35), (-168.6, 57.6), (-171.2, 57.6)],
    ),
    (
        "Bowers Ridge Habitat Area",
        "Mobile bottom gear prohibited",
        [(-181.2, 53.8), (-179.4, 53.8), (-179.4, 55.0), (-181.2, 55.0)],
    ),
    (
        "Sitka Pinnacles Habitat Area",
        "All bottom-contact gear prohibited",
        [(-135.95, 56.95), (-135.72, 56.95), (-135.72, 57.06), (-135.95, 57.06)],
    ),
]

# Crab protection areas: name, species, outline.
CRAB_AREAS = [
    (
        "Red King Crab Savings Area",
        "red king crab",
        [(-164.0, 56.0), (-162.0, 56.0), (-162.0, 57.0), (-164.0, 57.0)],
    ),
    (
        "St. Matthew Blue King Crab Area",
        "blue king crab",
        [(-174.0, 59.5), (-171.5, 59.5), (-171.5, 61.0), (-174.0, 61.0)],
    ),
    (
        "Chiniak Gully Crab Area",
        "Tanner crab",
        [(-152.3, 57.2), (-151.3, 57.2), (-151.3, 57.75), (-152.3, 57.75)],
    ),
]

# Statistical areas: a grid of cells one degree of longitude by half a degree of latitude.
STAT_WEST, STAT_EAST = -193, -130
STAT_SOUTH, STAT_NORTH = 46.0, 73.0
