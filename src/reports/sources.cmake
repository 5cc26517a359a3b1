list(APPEND PELAGON_CORE_SOURCES
  reports/DrillIdPage.cpp reports/DrillIdPage.h
  reports/DrillIdPageFile.cpp reports/DrillIdPageFile.h
  reports/PageAddress.cpp reports/PageAddress.h
)
