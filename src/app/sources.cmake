list(APPEND PELAGON_GUI_SOURCES
  app/AppController.cpp app/AppController.h
  app/AreaShading.cpp app/AreaShading.h
  app/ShadeDialog.cpp app/ShadeDialog.h
  app/FileMenu.cpp app/FileMenu.h
  app/MapSelectForm.cpp app/MapSelectForm.h
  app/Mapform.cpp app/Mapform.h
  app/MapformPositions.cpp
  app/MapformWindows.cpp
  app/MapformTools.cpp
  app/PositionsController.cpp app/PositionsController.h
  app/PositionsPlacement.cpp
  app/PositionsOverlay.cpp app/PositionsOverlay.h
  app/PositionsShading.cpp
  app/PositionsWindow.cpp app/PositionsWindow.h
  app/QtMessageSink.cpp app/QtMessageSink.h
  app/RecentMaps.cpp app/RecentMaps.h
  app/SampleMapLocation.cpp app/SampleMapLocation.h
  app/SingleInstance.cpp app/SingleInstance.h
  app/StartArguments.cpp app/StartArguments.h
  app/StatusLabel.cpp app/StatusLabel.h
  app/TimeBar.cpp app/TimeBar.h
  app/TrackClipping.cpp app/TrackHull.cpp app/TrackPoints.cpp app/TrackLines.h
  app/TrackPicture.cpp app/TrackPicture.h
  app/SpriteCover.cpp
  app/TrackRaster.cpp app/TrackRaster.h
  app/TheMDIform.cpp app/TheMDIform.h
  app/ViewMenu.cpp app/ViewMenu.h
  app/VisitsWindow.cpp app/VisitsWindow.h
  app/ViewerApplication.cpp app/ViewerApplication.h
  app/WindowMenu.cpp app/WindowMenu.h
)
