list(APPEND PELAGON_CORE_SOURCES
  mapdef/LayerInfo.h
  mapdef/MapDefinition.cpp mapdef/MapDefinition.h
)
