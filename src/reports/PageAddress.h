#pragma once

#include <QString>
#include <QUrl>

namespace pelagon {

// Turns an address as the program and the user write it into the URL a page view loads:
// - an absolute file path, with or without a "#anchor", becomes a file URL with that fragment
//   (the whole text is taken as the path when a file of that name exists);
// - a text with a URL scheme (http:, https:, file:, qrc:, about:, ...) is taken as it is;
// - anything else is a path relative to the working folder when such a file exists, otherwise a
//   web address ("example.org" becomes http://example.org).
// An empty or blank address gives an empty URL.
QUrl pageAddressToUrl(const QString& address);

}  // namespace pelagon
