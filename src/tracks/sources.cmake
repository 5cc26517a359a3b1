# Vessels' tracks through the areas of a map: visits and hours per area, built on the store's
# geometry and the query's columns, so it belongs to the render library.
list(APPEND PELAGON_RENDER_SOURCES
  tracks/AreaOrder.cpp
  tracks/AreaVisits.cpp tracks/AreaVisits.h
  tracks/TrackTables.cpp tracks/TrackTables.h
  tracks/TrackTime.cpp tracks/TrackTime.h
)
