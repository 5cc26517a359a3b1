# The renderer: layers with their symbols and labels, drawn through a viewport onto any painter.
list(APPEND PELAGON_RENDER_SOURCES
  render/ExportFormat.cpp render/ExportFormat.h
  render/ImageFiller.cpp render/ImageFiller.h
  render/ImageStroker.cpp render/ImageStroker.h
  render/ImageTarget.cpp render/ImageTarget.h
  render/LabelCollisions.cpp render/LabelCollisions.h
  render/LabelPainter.cpp render/LabelPainter.h
  render/LabelRenderer.cpp render/LabelRenderer.h
  render/LayerHost.h
  render/LoadLayers.cpp render/LoadLayers.h
  render/MapLayer.cpp render/MapLayer.h
  render/Graticule.cpp render/Graticule.h
  render/MapDecorations.cpp render/MapDecorations.h
  render/MapExport.cpp render/MapExport.h
  render/MapLayerList.cpp render/MapLayerList.h
  render/MapRenderer.cpp render/MapRenderer.h
  render/MapSnapshot.cpp render/MapSnapshot.h
  render/OverlapGrid.cpp render/OverlapGrid.h
  render/ResultSet.cpp render/ResultSet.h
  render/ScreenGeometry.cpp render/ScreenGeometry.h
  render/Symbol.h
  render/Symbology.cpp render/Symbology.h
  render/Viewport.cpp render/Viewport.h
)
