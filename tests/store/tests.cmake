pelagon_add_test(NAME test_store
  LIBS pelagon_core GDAL::GDAL
  SOURCES
    store/BoundaryDistanceTest.cpp
    store/DetailLevelTest.cpp
    store/FeatureStoreOgrTest.cpp
    store/FeatureStoreTest.cpp
    store/PointGridTest.cpp
    store/RunBoxesTest.cpp
    store/ShapefileDamageTest.cpp
    store/WatchedShapefileTest.cpp
    support/LayerBytes.h support/LayerFixtures.cpp support/LayerFixtures.h
)
