pelagon_add_test(NAME test_tracks LIBS pelagon_render GDAL::GDAL SOURCES
  tracks/test_area_visits.cpp
  tracks/test_track_sample.cpp tracks/TrackReference.h
  support/LayerFixtures.cpp support/LayerFixtures.h
)
