#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "common/MapTypes.h"

namespace pelagon {
class MapLayer;
}

namespace pelagon::cli {

struct CliContext;
struct CommandSyntax;

// `render MAP.mv -o OUT.png|OUT.pdf [--size WxH] [--extent L,R,B,T | --region NAME |
// --site NAME] [--hide LAYER]...`: the map as the map window shows it at that extent.
const CommandSyntax& renderSyntax();
int runRender(const QStringList& words, CliContext& context);

// Draws layers (list order: position 0 on top) at the requested extent, widened to size's
// aspect, with the map window's renderer and white background; writes a PNG image or a PDF page
// of vectors (chosen by the file's suffix, ".pdf" or anything else for PNG). Throws InputError
// when the file cannot be written.
void renderMapFile(const std::vector<std::shared_ptr<MapLayer>>& layers, const MapRect& requested,
                   QSize size, const QString& path);

}  // namespace pelagon::cli
