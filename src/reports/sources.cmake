list(APPEND PELAGON_CORE_SOURCES
  reports/DrillIdPage.cpp reports/DrillIdPage.h
  reports/DrillIdPageFile.cpp reports/DrillIdPageFile.h
  reports/PageAddress.cpp reports/PageAddress.h
)
list(APPEND PELAGON_RENDER_SOURCES
  reports/LayerQuery.cpp reports/LayerQuery.h
  reports/PositionBatch.cpp reports/PositionBatch.h
  reports/PositionSet.cpp reports/PositionSet.h
  reports/PositionQuery.cpp reports/PositionQuery.h
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
