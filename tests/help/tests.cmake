pelagon_add_test(NAME test_help_core LIBS pelagon_core SOURCES
  help/test_help_layout.cpp
)
pelagon_add_test(NAME test_help_widgets LIBS pelagon_gui DISPLAY offscreen SOURCES
  reports/FakePageView.h reports/QtPrinters.h
  help/test_help_browser.cpp
)
