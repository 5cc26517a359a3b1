if(PELAGON_BUILD_GUI)
  pelagon_add_test(NAME test_canvas
    LIBS pelagon_gui GDAL::GDAL Qt6::Test
    DISPLAY offscreen
    SOURCES
      canvas/MapCanvasTest.cpp
      support/LayerFixtures.cpp support/LayerFixtures.h
  )
endif()
