pelagon_add_test(NAME test_app LIBS pelagon_gui DISPLAY offscreen SOURCES
  app/test_chooser.cpp
  app/test_layout_geometry.cpp
  app/test_mapform.cpp
  app/test_map_tools.cpp
  app/test_fish_tool.cpp
  app/test_print_map.cpp
  app/test_sample_map.cpp
  app/test_open_map.cpp
  app/test_recent_maps.cpp
  app/test_sample_location.cpp
  app/test_single_instance.cpp
  app/test_start_arguments.cpp
)
