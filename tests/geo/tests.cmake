pelagon_add_test(NAME test_geo LIBS pelagon_core GTest::gtest_main SOURCES
  geo/AlbersProjectionTest.cpp
  geo/AngleTextTest.cpp
  geo/MeasureTest.cpp
  geo/NumberFormatTest.cpp
  geo/PositionTextTest.cpp
)

# PROJ serves only as a reference for the projection arithmetic; the program does not use it.
find_package(PROJ CONFIG QUIET)
if(PROJ_FOUND)
  pelagon_add_test(NAME test_geo_proj LIBS pelagon_core PROJ::proj GTest::gtest_main SOURCES
    geo/ProjAgreementTest.cpp
  )
else()
  message(WARNING "PROJ (Debian libproj-dev) not found: the comparison of the projection with PROJ is not built")
endif()
