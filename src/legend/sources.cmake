list(APPEND PELAGON_CORE_SOURCES
  legend/LegendGeometry.cpp legend/LegendGeometry.h
)
# The names' font and widths: shared with the command-line tool's model of the frame.
list(APPEND PELAGON_RENDER_SOURCES
  legend/LegendText.cpp legend/LegendText.h
)
list(APPEND PELAGON_GUI_SOURCES
  legend/LayerListForm.cpp legend/LayerListForm.h
  legend/LegendPrint.cpp
)
