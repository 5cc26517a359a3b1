# The frame's layout in twips: where the map window and the legend go for a frame's size, the map
# window's inside and its fixed control sizes, the legend's rows and widths. The viewer lays its
# windows out by it and the command-line tool models the viewer's frame with it.
list(APPEND PELAGON_CORE_SOURCES
  layout/LegendGeometry.cpp layout/LegendGeometry.h
  layout/MapWindowLayout.cpp layout/MapWindowLayout.h
)
# The legend's names: their font and the widths they need, measured with QtGui's font metrics.
list(APPEND PELAGON_RENDER_SOURCES
  layout/LegendText.cpp layout/LegendText.h
)
