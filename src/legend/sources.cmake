list(APPEND PELAGON_CORE_SOURCES
  legend/LegendGeometry.cpp legend/LegendGeometry.h
)
list(APPEND PELAGON_GUI_SOURCES
  legend/LayerListForm.cpp legend/LayerListForm.h
)
