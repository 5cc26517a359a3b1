#pragma once

#include <QStringList>

namespace pelagon::cli {

struct CliContext;
struct CommandSyntax;

// `visits MAP.mv --csv TRACKS [-o OUT] [--max-gap HOURS] [--threads N] [--sorted]`: every visit
// of every vessel to every area; `hours MAP.mv --csv TRACKS [...] [--speed MIN-MAX]
// [--by day|month]`: the hours each vessel spent in each area.
const CommandSyntax& visitsSyntax();
int runVisits(const QStringList& words, CliContext& context);
const CommandSyntax& hoursSyntax();
int runHours(const QStringList& words, CliContext& context);

}  // namespace pelagon::cli
