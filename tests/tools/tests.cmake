pelagon_add_test(NAME test_tools_core LIBS pelagon_core SOURCES
  tools/test_extent_history.cpp
  tools/test_tool_selection.cpp
)
pelagon_add_test(NAME test_tools_gui LIBS pelagon_gui DISPLAY offscreen SOURCES
  tools/test_tool_widgets.cpp
  tools/test_toolbar_faces.cpp
)
pelagon_add_test(NAME test_print LIBS pelagon_gui DISPLAY offscreen SOURCES
  tools/test_print_command.cpp
  tools/test_print_job.cpp
  tools/test_print_platform.cpp
)
