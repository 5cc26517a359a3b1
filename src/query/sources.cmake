# The query engine: what lies at a point of the map, for one point (the location query) or for
# millions (the Fish Tool's query prepared for many positions, the batch that runs it on several
# threads, a file's positions as the viewer shows them), with the distances to boundaries.
# It searches the map's layers, so it belongs to the render library; what a layer's search found
# (LayerQueryResult.h) is a plain type that the page writer of the core library takes.
list(APPEND PELAGON_RENDER_SOURCES
  query/LayerQuery.cpp query/LayerQuery.h
  query/LayerQueryResult.h
  query/PositionBatch.cpp query/PositionBatch.h
  query/PositionQuery.cpp query/PositionQuery.h
  query/PositionSet.cpp query/PositionSet.h
)
