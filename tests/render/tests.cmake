pelagon_add_test(NAME test_render
  LIBS pelagon_render GDAL::GDAL
  DISPLAY offscreen
  SOURCES
    render/DecorationsTest.cpp
    render/ExportFormatTest.cpp
    render/LoadLayersTest.cpp
    render/MapExportTest.cpp
    render/RenderPathsTest.cpp
    render/RenderTest.cpp
    render/RenderTestMain.cpp
    support/LayerFixtures.cpp support/LayerFixtures.h
)

# PROJ's geodesic routines are the reference for the scale bar's length on the ground.
find_package(PROJ CONFIG QUIET)
if(PROJ_FOUND)
  pelagon_add_test(NAME test_render_geodesic LIBS pelagon_render PROJ::proj GTest::gtest_main SOURCES
    render/ScaleBarGeodesicTest.cpp
  )
endif()
