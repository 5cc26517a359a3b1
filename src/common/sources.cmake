list(APPEND PELAGON_CORE_SOURCES
  common/MapTypes.h
  common/MessageSink.h
  common/TextFile.cpp common/TextFile.h
  common/Twips.h
)
