pelagon_add_test(NAME test_reports_core LIBS pelagon_core SOURCES
  reports/test_drill_id_page.cpp
  reports/test_page_address.cpp
  reports/test_page_file.cpp
)
pelagon_add_test(NAME test_reports_widgets LIBS pelagon_gui DISPLAY offscreen SOURCES
  reports/FakePageView.h reports/QtPrinters.h
  reports/test_browser_form.cpp
)
pelagon_add_test(NAME test_reports_engine LIBS pelagon_gui DISPLAY x11 SOURCES
  reports/QtPrinters.h
  reports/test_web_engine.cpp
)
