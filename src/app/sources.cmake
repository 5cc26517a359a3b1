list(APPEND PELAGON_GUI_SOURCES
  app/AppController.cpp app/AppController.h
  app/MapSelectForm.cpp app/MapSelectForm.h
  app/Mapform.cpp app/Mapform.h
  app/MapformTools.cpp
  app/QtMessageSink.cpp app/QtMessageSink.h
  app/TheMDIform.cpp app/TheMDIform.h
)
