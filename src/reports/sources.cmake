# The query page writer, where the viewer saves the page, and the page view's addresses.
list(APPEND PELAGON_CORE_SOURCES
  reports/DrillIdPage.cpp reports/DrillIdPage.h
  reports/DrillIdPageFile.cpp reports/DrillIdPageFile.h
  reports/PageAddress.cpp reports/PageAddress.h
)
# The location query at a point with the bytes of its page: the map window's and the
# command-line tool's, the same for the same point.
list(APPEND PELAGON_RENDER_SOURCES
  reports/DrillIdQuery.cpp reports/DrillIdQuery.h
)
# The page view's own home and search pages, compiled in.
qt6_add_resources(PELAGON_REPORTS_PAGES reports/pages/pelagon_pages.qrc)
list(APPEND PELAGON_GUI_SOURCES
  reports/DocumentWindow.cpp reports/DocumentWindow.h
  reports/EngineView.cpp reports/EngineView.h
  reports/PageView.h
  reports/TheBrowserForm.cpp reports/TheBrowserForm.h
  reports/WebPageView.cpp reports/WebPageView.h
  ${PELAGON_REPORTS_PAGES}
)
