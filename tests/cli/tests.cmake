if(TARGET pelagon-cli)
  pelagon_add_test(NAME test_cli LIBS pelagon_cli_objects pelagon_gui GDAL::GDAL Qt6::Test
    DISPLAY offscreen
    SOURCES
      cli/CliTestSupport.h
      cli/test_cli_commands.cpp
      cli/test_cli_query.cpp
      cli/test_cli_tracks.cpp
      cli/test_cli_render.cpp
      cli/test_cli_batch.cpp
      cli/test_cli_viewer.cpp
      cli/test_cli_writes.cpp
      cli/test_man_page.cpp
      support/LayerFixtures.cpp support/LayerFixtures.h
  )
  # A few tests run the built program itself.
  target_compile_definitions(test_cli PRIVATE PELAGON_CLI_EXE="$<TARGET_FILE:pelagon-cli>")
  add_dependencies(test_cli pelagon-cli)
endif()
