pelagon_add_test(NAME test_app LIBS pelagon_gui DISPLAY offscreen SOURCES
  app/test_chooser.cpp
  app/test_layout_geometry.cpp
  app/test_mapform.cpp
  app/test_map_tools.cpp
  app/test_fish_tool.cpp
  app/test_print_map.cpp
  app/test_sample_map.cpp
)

# The map window under thousands of seeded random events (scripts/test runs it under ASan too).
pelagon_add_test(NAME test_stress LIBS pelagon_gui DISPLAY offscreen TIMEOUT 900 SOURCES
  app/test_stress.cpp
)
