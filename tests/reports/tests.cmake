pelagon_add_test(NAME test_reports_core LIBS pelagon_core SOURCES
  reports/test_drill_id_page.cpp
  reports/test_page_address.cpp
  reports/test_page_file.cpp
)
