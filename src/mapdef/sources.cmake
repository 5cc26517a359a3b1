# The map folder's files: the definition, the site and region lists, the projection parameters.
list(APPEND PELAGON_CORE_SOURCES
  mapdef/LayerInfo.h
  mapdef/MapDefinition.cpp mapdef/MapDefinition.h
  mapdef/PlaceList.cpp mapdef/PlaceList.h
  mapdef/ProjPars.cpp mapdef/ProjPars.h
)
