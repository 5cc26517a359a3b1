#pragma once

#include <QByteArray>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>

#include "render/ExportFormat.h"

class QPainter;

namespace pelagon {

// Draws a view of the map (its layers and what is drawn over them) onto painter, for a surface
// of the given size in the painter's units.
using ViewDrawer = std::function<void(QPainter& painter, const QSizeF& surface)>;

// A view drawn into a file's bytes, or why it could not be.
struct ExportedView {
    QByteArray bytes;
    QString error;  // empty when bytes holds the file

    bool ok() const { return error.isEmpty(); }
};

// Draws a view of size pixels (at 96 dpi) in a format: PNG, JPEG and TIFF as an image of those
// pixels on white; PDF as one vector page and SVG as a vector drawing, both with one point per
// pixel at 96 dpi. creator names the program in the PDF's and SVG's metadata. The viewer's
// "Save view as…" and pelagon-cli render both write their files through this.
ExportedView exportView(const ViewDrawer& draw, QSize size, ExportFormat format,
                        const QString& creator);

}  // namespace pelagon
