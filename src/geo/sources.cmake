list(APPEND PELAGON_CORE_SOURCES
  geo/AlbersMath.cpp geo/AlbersMath.h
  geo/AlbersProjection.cpp geo/AlbersProjection.h
  geo/AngleText.cpp geo/AngleText.h
  geo/Measure.cpp geo/Measure.h
  geo/NumberFormat.cpp geo/NumberFormat.h
  geo/PositionText.cpp geo/PositionText.h
  geo/PositionTokens.cpp geo/PositionTokens.h
)
