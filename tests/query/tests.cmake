pelagon_add_test(NAME test_query LIBS pelagon_render GDAL::GDAL SOURCES
  query/test_position_query.cpp
  support/LayerFixtures.cpp support/LayerFixtures.h
)
