#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include "mapdef/LayerInfo.h"
#include "query/LayerQueryResult.h"

namespace pelagon {

// File name of the page that the location query writes into the map folder.
inline constexpr char kDrillIdResultsFile[] = "drillID_results.htm";

// Address of a document layer's document: the file URL of BaseDir, "HTML/" and DocFile joined as
// they are, with every "\" turned into "/", escaped so that any folder name works ("#" and "%"
// included). A "#" in DocFile starts an anchor unless the whole name is an existing file.
QString drillIdDocumentAddress(const QString& BaseDir, const QString& DocFile);

// The bytes of the query page (UTF-8, lines ended by CR LF) for the layers 0 to LastLayer of
// LayerInfos. found[k] is what the search of layer k gave; a missing entry counts as not
// searched. Layers whose QueryMode is 0 or less are never reported, whatever found says.
// Attribute lines come first, then a single "<BR>", then one link per document layer hit, then
// "No layers found." when nothing was found, an empty line otherwise.
QByteArray drillIdResultsPage(const QVector<LayerInfo>& LayerInfos, const QString& BaseDir,
                              const QVector<LayerQueryResult>& found);

}  // namespace pelagon
