list(APPEND PELAGON_CORE_SOURCES
  map/MapTypes.h
  map/MapWindowLayout.cpp map/MapWindowLayout.h
)
list(APPEND PELAGON_RENDER_SOURCES
  map/Viewport.cpp map/Viewport.h
)
list(APPEND PELAGON_GUI_SOURCES
)
