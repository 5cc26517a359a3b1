#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace pelagon {

// The file formats a map view is written in: raster images and vector pages.
enum class ExportFormat { Png, Jpeg, Tiff, Pdf, Svg };

// The format a file's extension asks for, letter case ignored: .png, .jpg or .jpeg, .tif or
// .tiff, .pdf, .svg. nullopt for any other extension and for none.
std::optional<ExportFormat> exportFormatForPath(const QString& path);

// The format of a name as a user writes it: a format's name or one of its extensions, with or
// without the dot, letter case ignored ("PNG", "jpg", ".tiff").
std::optional<ExportFormat> exportFormatByName(const QString& name);

// The format's name ("PNG") and its extensions without the dot, the usual one first.
QString exportFormatName(ExportFormat format);
QStringList exportFormatSuffixes(ExportFormat format);

// Every format, in the order above, and a list for messages and file dialogs:
// "PNG (.png), JPEG (.jpg, .jpeg), TIFF (.tif, .tiff), PDF (.pdf), SVG (.svg)".
QList<ExportFormat> exportFormats();
QString exportFormatList();

// Whether the format is drawn as vectors (a page) rather than into an image.
bool isVectorFormat(ExportFormat format);

}  // namespace pelagon
