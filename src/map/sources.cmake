list(APPEND PELAGON_CORE_SOURCES
  map/AttributeTable.cpp map/AttributeTable.h
  map/FeatureStore.cpp map/FeatureStore.h
  map/FeatureStoreBuilder.cpp map/FeatureStoreBuilder.h
  map/GdalErrorCapture.cpp map/GdalErrorCapture.h
  map/Grid.h
  map/MapTypes.h
  map/MapWindowLayout.cpp map/MapWindowLayout.h
  map/RingMath.cpp map/RingMath.h
  map/SpatialIndex.cpp map/SpatialIndex.h
  map/TextColumn.h
)
list(APPEND PELAGON_RENDER_SOURCES
  map/Viewport.cpp map/Viewport.h
)
list(APPEND PELAGON_GUI_SOURCES
)
