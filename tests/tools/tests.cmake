pelagon_add_test(NAME test_tools_core LIBS pelagon_core SOURCES
  tools/test_extent_history.cpp
  tools/test_place_list.cpp
  tools/test_tool_selection.cpp
)
