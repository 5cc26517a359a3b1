pelagon_add_test(NAME test_layout LIBS pelagon_core SOURCES
  layout/test_layout_geometry.cpp
)
