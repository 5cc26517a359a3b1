list(APPEND PELAGON_CORE_SOURCES
  tools/ExtentHistory.cpp tools/ExtentHistory.h
  tools/PresetExtents.cpp tools/PresetExtents.h
  tools/ToolSelection.cpp tools/ToolSelection.h
  tools/ToolbarButtons.cpp tools/ToolbarButtons.h
)
list(APPEND PELAGON_RENDER_SOURCES
  tools/MapPicture.cpp tools/MapPicture.h
  tools/ToolbarFaceIconEngine.cpp tools/ToolbarFaceIconEngine.h
  tools/ToolbarFaces.cpp tools/ToolbarFaces.h
  tools/ToolbarSymbols.cpp tools/ToolbarSymbols.h
)
list(APPEND PELAGON_GUI_SOURCES
  tools/MapPictureBox.cpp tools/MapPictureBox.h
  tools/MapToolbar.cpp tools/MapToolbar.h
  tools/PlaceComboBox.cpp tools/PlaceComboBox.h
)
# Printing: the print command, its print run, the printer dialog and the platform layer.
list(APPEND PELAGON_CORE_SOURCES
  tools/PrintLayout.cpp tools/PrintLayout.h
)
list(APPEND PELAGON_GUI_SOURCES
  tools/PrintCommand.cpp tools/PrintCommand.h
  tools/PrintJob.cpp tools/PrintJob.h
  tools/PrintSources.h
  tools/PrinterDialog.h
  tools/PrinterDialogQt.cpp tools/PrinterDialogQt.h
  tools/PrinterPlatform.h
  tools/PrinterPlatformLinux.cpp tools/PrinterPlatformLinux.h
)
# The program's icon, painted like the toolbar faces.
list(APPEND PELAGON_RENDER_SOURCES
  tools/AppIcon.cpp tools/AppIcon.h
)
