list(APPEND PELAGON_CORE_SOURCES
  help/HelpBrowserLayout.cpp help/HelpBrowserLayout.h
)
list(APPEND PELAGON_GUI_SOURCES
  help/HelpBrowser.cpp help/HelpBrowser.h
  help/HelpCommand.cpp help/HelpCommand.h
  help/HelpIcons.cpp help/HelpIcons.h
)
