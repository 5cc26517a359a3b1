pelagon_add_test(NAME test_positions LIBS pelagon_core SOURCES
  positions/test_positions.cpp
)
