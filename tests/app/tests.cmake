pelagon_add_test(NAME test_app LIBS pelagon_gui DISPLAY offscreen SOURCES
  app/test_chooser.cpp
  app/test_mapform.cpp
  app/test_map_tools.cpp
  app/test_fish_tool.cpp
  app/test_positions_viewer.cpp
  app/test_area_shading.cpp
  app/test_print_map.cpp
  app/test_positions_view.cpp
  app/test_track_history.cpp
  app/test_track_raster.cpp
  app/test_sample_map.cpp
  app/test_open_map.cpp
  app/test_recent_maps.cpp
  app/test_sample_location.cpp
  app/test_single_instance.cpp
  app/test_start_arguments.cpp
  app/test_viewer_program.cpp
  app/test_window_menu.cpp
)
# The viewer program itself is run for its command line.
if(TARGET test_app)
  target_compile_definitions(test_app PRIVATE PELAGON_VIEWER_EXE="$<TARGET_FILE:pelagon>"
                                              PELAGON_CLI_EXE="$<TARGET_FILE:pelagon-cli>")
  add_dependencies(test_app pelagon-cli)
  add_dependencies(test_app pelagon)
endif()

# The windows' titles as the window system shows them, on a real X display.
find_library(PELAGON_XCB_LIBRARY xcb)
if(PELAGON_XCB_LIBRARY)
  pelagon_add_test(NAME test_app_display LIBS pelagon_gui ${PELAGON_XCB_LIBRARY} DISPLAY x11
    SOURCES app/test_window_titles.cpp)
endif()

# The map window under thousands of seeded random events (scripts/test runs it under ASan too).
pelagon_add_test(NAME test_stress LIBS pelagon_gui DISPLAY offscreen TIMEOUT 900 SOURCES
  app/test_stress.cpp
)
