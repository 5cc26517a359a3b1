#pragma once

#include <QList>
#include <QStringList>

namespace pelagon::cli {

struct CliContext;
struct CommandSyntax;

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitInputError = 1;
constexpr int kExitUsage = 2;

// Runs the tool on its arguments (the words after the program's name) and returns the exit
// status. Needs a QGuiApplication (fonts and painting); leaves the working folder as it found it.
int runCli(const QStringList& arguments, CliContext& context);

// Every subcommand's syntax, in the order of the tool's help (for its manual page).
QList<const CommandSyntax*> subcommandSyntaxes();

// Sets Qt's offscreen platform unless the caller chose a platform; call before the application
// object is made, so the tool never needs a display.
void useOffscreenPlatformByDefault();

// Keeps Qt's start-up note that the session names no runtime folder off the error stream, so the
// tool prints only its own messages; every other message of Qt still shows. Call before the
// application object is made.
void keepQtStartupNotesOff();

}  // namespace pelagon::cli
