#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "common/MapTypes.h"
#include "render/ExportFormat.h"
#include "render/MapDecorations.h"

namespace pelagon {
class MapLayer;
}

namespace pelagon::cli {

struct CliContext;
struct CommandSyntax;

// `render MAP.mv -o OUT [--format NAME] [--size WxH] [--extent L,R,B,T | --region NAME |
// --site NAME] [--hide LAYER]...`: the map as the map window shows it at that extent.
const CommandSyntax& renderSyntax();
int runRender(const QStringList& words, CliContext& context);

// Draws layers (list order: position 0 on top) at the requested extent, widened to size's
// aspect, with the map window's renderer and white background, and the decorations over them,
// and returns the file's bytes: an image (PNG, JPEG, TIFF) or a page of vectors (PDF, SVG), as
// the viewer's "Save view as…" writes them. Throws InputError when the format cannot be made.
// The decorations are sized for a map control of shown pixels (empty: size), as the viewer sizes
// them for a view saved larger than the screen's.
QByteArray renderMap(const std::vector<std::shared_ptr<MapLayer>>& layers, const MapRect& requested,
                     QSize size, ExportFormat format, const MapDecorations& decorations = {},
                     QSize shown = {});

}  // namespace pelagon::cli
