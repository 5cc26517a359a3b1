#pragma once

#include <QByteArray>
#include <QString>

namespace pelagon {

// Writes bytes to a file, replacing it only once they are all written: a failed write leaves an
// earlier file as it was and no part-written one. Returns an empty text, or why it could not
// ("Cannot write FILE: reason", the file as the system writes paths).
QString writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace pelagon
