# The command-line tool: its subcommands are an object library, so the tests call them
# in-process; the executable adds only main.
add_library(pelagon_cli_objects OBJECT
  cli/BatchQuery.cpp
  cli/Cli.cpp cli/Cli.h
  cli/CliContext.cpp cli/CliContext.h
  cli/CliErrors.h
  cli/CommandLine.cpp cli/CommandLine.h
  cli/Csv.h
  cli/GeoCommands.cpp cli/GeoCommands.h
  cli/HeadlessMap.cpp cli/HeadlessMap.h
  cli/InfoCommand.cpp cli/InfoCommand.h
  cli/ManPage.cpp cli/ManPage.h
  cli/QueryCommand.cpp cli/QueryCommand.h
  cli/ReferenceCanvas.cpp cli/ReferenceCanvas.h
  cli/RenderCommand.cpp cli/RenderCommand.h
  cli/TrackPipeline.cpp cli/TrackPipeline.h
  cli/TracksCommand.cpp cli/TracksCommand.h
)
target_link_libraries(pelagon_cli_objects PUBLIC pelagon_gui Qt6::Svg)
pelagon_set_warnings(pelagon_cli_objects)

set(PELAGON_CLI_SOURCES cli/main.cpp $<TARGET_OBJECTS:pelagon_cli_objects>)
