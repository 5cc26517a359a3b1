pelagon_add_test(NAME test_mapdef LIBS pelagon_core SOURCES
  mapdef/test_map_definition.cpp
  mapdef/test_text_file.cpp
)
