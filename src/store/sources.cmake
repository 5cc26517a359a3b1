# The feature store: a layer's geometry read once through OGR, its grid, index and rings.
list(APPEND PELAGON_CORE_SOURCES
  store/AttributeTable.cpp store/AttributeTable.h
  store/BoundaryDistance.cpp store/BoundaryDistance.h
  store/DetailLevel.cpp store/DetailLevel.h
  store/FeatureStore.cpp store/FeatureStore.h
  store/FeatureStoreBuilder.cpp store/FeatureStoreBuilder.h
  store/GdalErrorCapture.cpp store/GdalErrorCapture.h
  store/GeometryReader.cpp store/GeometryReader.h
  store/Grid.h
  store/LayerFiles.cpp store/LayerFiles.h
  store/PointGrid.cpp store/PointGrid.h
  store/RingMath.cpp store/RingMath.h
  store/RingSimplifier.cpp store/RingSimplifier.h
  store/ShapefileCheck.cpp store/ShapefileCheck.h
  store/SpatialIndex.cpp store/SpatialIndex.h
  store/TextColumn.h
)
