pelagon_add_test(NAME test_map_store
  LIBS pelagon_core GDAL::GDAL
  SOURCES
    map/CoreTestMain.cpp
    map/DetailLevelTest.cpp
    map/FeatureStoreOgrTest.cpp
    map/FeatureStoreTest.cpp
    map/LayerFixtures.cpp map/LayerFixtures.h
    map/RunBoxesTest.cpp
)

pelagon_add_test(NAME test_map_render
  LIBS pelagon_render GDAL::GDAL
  DISPLAY offscreen
  SOURCES
    map/LayerFixtures.cpp map/LayerFixtures.h
    map/LoadLayersTest.cpp
    map/RenderPathsTest.cpp
    map/RenderTest.cpp
    map/RenderTestMain.cpp
)

if(PELAGON_BUILD_GUI)
  pelagon_add_test(NAME test_map_canvas
    LIBS pelagon_gui GDAL::GDAL Qt6::Test
    DISPLAY offscreen
    SOURCES
      map/GuiTestMain.cpp
      map/LayerFixtures.cpp map/LayerFixtures.h
      map/MapCanvasTest.cpp
  )
endif()
