# Positions files: the CSV reader and writer, and the reader of positions from CSV and GPX.
list(APPEND PELAGON_CORE_SOURCES
  positions/Csv.cpp positions/Csv.h
  positions/PositionsFile.cpp positions/PositionsFile.h
  positions/PositionFields.h
  positions/GpxPositions.cpp
)
