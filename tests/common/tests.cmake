pelagon_add_test(NAME test_common LIBS pelagon_core SOURCES
  common/test_echo_text.cpp
  common/test_file_write.cpp
)
