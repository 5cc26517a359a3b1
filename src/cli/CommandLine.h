#pragma once

#include <QList>
#include <QPair>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

#include "common/MapTypes.h"

namespace pelagon::cli {

// One option of a subcommand.
struct OptionSyntax {
    QString name;       // "--at"
    QString alias;      // "-o", or empty
    QString valueName;  // "X,Y"; empty for an option without a value
    bool repeatable = false;
    QString help;
};

// What a subcommand accepts, and the text of its --help.
struct CommandSyntax {
    QString name;      // "query"
    QString synopsis;  // "MAP.mv (--at X,Y | --lonlat LON,LAT) [-o FILE]"
    QString summary;   // one line for the tool's own help
    QString details;   // paragraphs after the synopsis
    QList<OptionSyntax> options;
    int minPositional = 1;
    int maxPositional = 1;                               // -1: no limit
    QString positionalNames = QStringLiteral("MAP.mv");  // for the missing-argument message
};

class ParsedArguments {
public:
    QStringList positional;
    bool helpRequested = false;

    bool has(const QString& name) const;
    // The value of an option given once (the last one otherwise); empty when not given.
    QString value(const QString& name) const;
    QStringList values(const QString& name) const;

    void add(const QString& name, const QString& value) { options_.append({name, value}); }

private:
    QList<QPair<QString, QString>> options_;
};

// Reads a subcommand's arguments (the words after the subcommand's name). "--help" and "-h" ask
// for help and end the reading. An option's value follows it as the next word or after "=";
// "--" ends the options. A word that starts with "-" and then a digit or "." is a number, not an
// option, so negative coordinates need no quoting. Throws UsageError for an unknown option, a
// missing value, an option given twice that may be given once, or a wrong number of positional
// arguments.
ParsedArguments parseArguments(const CommandSyntax& syntax, const QStringList& words);

// The --help text of a subcommand.
QString commandHelp(const CommandSyntax& syntax);

// Numbers of the command line, always with "." as the decimal separator. Each throws UsageError
// naming what (e.g. "--at") and the text when it is malformed or not finite.
double parseNumber(const QString& text, const QString& what);
// --threads: a whole number from 1 to 1024.
int parseThreadCount(const QString& text);
// "X,Y"
MapPoint parsePoint(const QString& text, const QString& what);
// A position as people type it (see parsePosition), returned as {longitude, latitude} in
// decimal degrees; UsageError naming the option and what was not understood otherwise.
MapPoint parsePositionOption(const QString& text, const QString& what);
// The same for a map: a position off the map whose other hemisphere, left open by the text, lies
// on it is refused with a message suggesting the hemisphere letter (parsePositionForMap).
MapPoint parsePositionOptionForMap(const QString& text, const QString& what,
                                   const std::function<bool(MapPoint lonLat)>& onMap);
// "L,R,B,T" with L < R and B < T
MapRect parseExtent(const QString& text, const QString& what);
// "WxH", whole pixels from 1 to kMaxImageSide
QSize parseImageSize(const QString& text, const QString& what);

constexpr int kMaxImageSide = 20000;

}  // namespace pelagon::cli
