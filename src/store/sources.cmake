# The feature store: a layer's geometry read once through OGR, its grid, index and rings.
list(APPEND PELAGON_CORE_SOURCES
  store/AttributeTable.cpp store/AttributeTable.h
  store/BoundaryDistance.cpp store/BoundaryDistance.h
  store/DamageLedger.cpp store/DamageLedger.h
  store/DetailLevel.cpp store/DetailLevel.h
  store/FeatureStore.cpp store/FeatureStore.h
  store/FeatureStoreBuilder.cpp store/FeatureStoreBuilder.h
  store/FeatureStoreFiles.cpp
  store/FileDamage.h
  store/GdalErrorCapture.cpp store/GdalErrorCapture.h
  store/GeometryReader.cpp store/GeometryReader.h
  store/Grid.h
  store/LayerFiles.cpp store/LayerFiles.h
  store/PointGrid.cpp store/PointGrid.h
  store/RingMath.cpp store/RingMath.h
  store/RingSimplifier.cpp store/RingSimplifier.h
  store/SpatialIndex.cpp store/SpatialIndex.h
  store/TextColumn.h
)
# The cross-check of a shapefile's three files, a file for each thing it checks: the entry points
# and the verdict, the records of the .shp, the index against them, the walk of the .shp that rebuilds a damaged
# index, the attribute table.
list(APPEND PELAGON_CORE_SOURCES
  store/ShapefileCheck.cpp store/ShapefileCheck.h
  store/ShapefileCheckImpl.h
  store/ShpCheck.cpp
  store/ShxCheck.cpp
  store/DbfCheck.cpp
  store/ShpWalk.cpp
  store/ShapefileView.cpp store/ShapefileView.h
  store/WatchedShapefile.cpp store/WatchedShapefile.h
)
