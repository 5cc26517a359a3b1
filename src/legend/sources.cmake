# The legend window (`LayerListForm`) and how it is printed.
list(APPEND PELAGON_GUI_SOURCES
  legend/LayerListForm.cpp legend/LayerListForm.h
  legend/LegendPrint.cpp
)
