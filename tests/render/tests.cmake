pelagon_add_test(NAME test_render
  LIBS pelagon_render GDAL::GDAL
  DISPLAY offscreen
  SOURCES
    render/ExportFormatTest.cpp
    render/LoadLayersTest.cpp
    render/RenderPathsTest.cpp
    render/RenderTest.cpp
    render/RenderTestMain.cpp
    support/LayerFixtures.cpp support/LayerFixtures.h
)
