#pragma once

#include <QString>
#include <QStringList>

namespace pelagon {

// The sample map's definition inside a data folder: "pelagon/samples/alaska/Alaska.mv".
QString sampleMapInDataFolder();

// The places where the sample map's definition is looked for, in order: the data folder that lies
// where an installation puts it relative to programFolder (the build folder mirrors that layout
// with a link to the source tree's sample), then the user's and the system's data folders.
QStringList sampleMapCandidates(const QString& programFolder);

// The first candidate that exists, links resolved; empty when there is none.
QString findSampleMap(const QString& programFolder);

}  // namespace pelagon
