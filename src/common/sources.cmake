list(APPEND PELAGON_CORE_SOURCES
  common/EchoText.cpp common/EchoText.h
  common/FileWrite.cpp common/FileWrite.h
  common/MapTypes.h
  common/MessageSink.h
  common/TextFile.cpp common/TextFile.h
  common/Twips.h
  common/ProgramInfo.cpp common/ProgramInfo.h
)
