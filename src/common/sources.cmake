list(APPEND PELAGON_CORE_SOURCES
  common/MessageSink.h
  common/TextFile.cpp common/TextFile.h
)
