# The map control on screen (`theMap`): worker thread, trackers, snapshots.
list(APPEND PELAGON_GUI_SOURCES
  canvas/LineTracker.cpp canvas/LineTracker.h
  canvas/MapCanvas.cpp canvas/MapCanvas.h
  canvas/MapOverlay.cpp canvas/MapOverlay.h
  canvas/MapTool.h
  canvas/PanTracker.cpp canvas/PanTracker.h
  canvas/RectangleTracker.cpp canvas/RectangleTracker.h
)
