#pragma once

// What the readers of positions files share: a field's bytes read as text and as a coordinate,
// the range a position in degrees must lie in, and the reader of GPX files.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

#include "positions/PositionsFile.h"

namespace pelagon::positions {

namespace fields {

// The bytes without the blanks, tabs and line ends around them.
QByteArrayView trimmed(QByteArrayView bytes);
// Text of a field as UTF-8: its bytes when they are UTF-8, else read as Windows-1252.
QByteArray utf8Of(QByteArrayView bytes);
// The same into out, reusing the bytes it holds; setBytes copies them as they are.
void setUtf8(QByteArray& out, QByteArrayView bytes);
void setBytes(QByteArray& out, QByteArrayView bytes);
QString textOf(QByteArrayView bytes);
// A coordinate: a finite number with "." as the decimal separator, blanks around it ignored.
std::optional<double> coordinate(QByteArrayView field);
// Why a longitude and latitude in degrees cannot be used; empty when they can. The names say
// how the message names the two ("the lon value", "its lon").
QString degreesProblem(double lon, double lat, const QString& lonName, const QString& latName);

}  // namespace fields

// Opens a GPX file, or the bytes of standard input when memory is not null (path is then
// unused), as a reader of its waypoints and then its track points. Nothing, and the message in
// error, when it cannot be read.
std::unique_ptr<PositionReader> openGpxPositions(const QString& path, const QString& where,
                                                 const QByteArray& memory, QString& error);

}  // namespace pelagon::positions
