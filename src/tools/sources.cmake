list(APPEND PELAGON_CORE_SOURCES
  tools/ExtentHistory.cpp tools/ExtentHistory.h
  tools/PlaceList.cpp tools/PlaceList.h
  tools/PresetExtents.cpp tools/PresetExtents.h
  tools/ToolSelection.cpp tools/ToolSelection.h
  tools/ToolbarButtons.cpp tools/ToolbarButtons.h
)
