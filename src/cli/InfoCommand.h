#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace pelagon::cli {

class HeadlessMap;
struct CliContext;
struct CommandSyntax;

// `info MAP.mv [--json]`: the layer records, how each layer loaded, the extents, the projection,
// the site and region lists and every problem found.
const CommandSyntax& infoSyntax();
int runInfo(const QStringList& words, CliContext& context);

// The report as one JSON object, and the same content as readable text.
QJsonObject infoReport(const HeadlessMap& map);
QString infoText(const QJsonObject& report);

}  // namespace pelagon::cli
