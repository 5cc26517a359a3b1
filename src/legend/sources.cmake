# The legend window (`LayerListForm`, with the classes listed under its rows) and how it is printed.
list(APPEND PELAGON_GUI_SOURCES
  legend/LayerListForm.cpp legend/LayerListForm.h
  legend/LegendPrint.cpp
)
