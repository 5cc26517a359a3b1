list(APPEND PELAGON_CORE_SOURCES
  map/AttributeTable.cpp map/AttributeTable.h
  map/DetailLevel.cpp map/DetailLevel.h
  map/FeatureStore.cpp map/FeatureStore.h
  map/FeatureStoreBuilder.cpp map/FeatureStoreBuilder.h
  map/GdalErrorCapture.cpp map/GdalErrorCapture.h
  map/Grid.h
  map/MapTypes.h
  map/MapWindowLayout.cpp map/MapWindowLayout.h
  map/RingMath.cpp map/RingMath.h
  map/RingSimplifier.cpp map/RingSimplifier.h
  map/SpatialIndex.cpp map/SpatialIndex.h
  map/TextColumn.h
)
list(APPEND PELAGON_RENDER_SOURCES
  map/ImageFiller.cpp map/ImageFiller.h
  map/ImageStroker.cpp map/ImageStroker.h
  map/ImageTarget.cpp map/ImageTarget.h
  map/LabelCollisions.cpp map/LabelCollisions.h
  map/LabelPainter.cpp map/LabelPainter.h
  map/LabelRenderer.cpp map/LabelRenderer.h
  map/LayerHost.h
  map/LoadLayers.cpp map/LoadLayers.h
  map/MapLayer.cpp map/MapLayer.h
  map/MapLayerList.cpp map/MapLayerList.h
  map/MapRenderer.cpp map/MapRenderer.h
  map/MapSnapshot.cpp map/MapSnapshot.h
  map/OverlapGrid.cpp map/OverlapGrid.h
  map/ResultSet.cpp map/ResultSet.h
  map/ScreenGeometry.cpp map/ScreenGeometry.h
  map/Symbol.h
  map/Symbology.cpp map/Symbology.h
  map/Viewport.cpp map/Viewport.h
)
list(APPEND PELAGON_GUI_SOURCES
  map/LineTracker.cpp map/LineTracker.h
  map/MapCanvas.cpp map/MapCanvas.h
  map/MapTool.h
  map/PanTracker.cpp map/PanTracker.h
  map/RectangleTracker.cpp map/RectangleTracker.h
)
