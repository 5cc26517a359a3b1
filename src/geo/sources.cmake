list(APPEND PELAGON_CORE_SOURCES
  geo/AlbersMath.cpp geo/AlbersMath.h
  geo/AlbersProjection.cpp geo/AlbersProjection.h
  geo/ProjPars.cpp geo/ProjPars.h
)
