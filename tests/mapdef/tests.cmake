pelagon_add_test(NAME test_mapdef LIBS pelagon_core SOURCES
  mapdef/ProjParsTest.cpp
  mapdef/test_map_definition.cpp
  mapdef/test_place_list.cpp
  mapdef/test_text_file.cpp
)
