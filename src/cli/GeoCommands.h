#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace pelagon::cli {

struct CliContext;
struct CommandSyntax;
class ParsedArguments;

// `position MAP.mv --at X,Y [--locale NAME]`: longitude and latitude of a map point, then the
// pointer read-out text of the map window.
const CommandSyntax& positionSyntax();
int runPosition(const QStringList& words, CliContext& context);

// `measure MAP.mv X1,Y1 [X2,Y2 ...] [--locale NAME]`: the measure tool's message for a path.
const CommandSyntax& measureSyntax();
int runMeasure(const QStringList& words, CliContext& context);

// The locale of the texts the viewer formats with the user's locale: the C locale, so that
// scripts get the same output everywhere, unless --locale names another. Throws UsageError for
// a name that is no locale.
QLocale textLocale(const ParsedArguments& args);

}  // namespace pelagon::cli
