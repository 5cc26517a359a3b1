#include "reports/PageAddress.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace pelagon {

namespace {

// A local path with an optional "#anchor"; the anchor is split off at the last "#" unless the
// whole text names an existing file.
QUrl localFileUrl(const QString& path) {
    const qsizetype hash = path.lastIndexOf(QLatin1Char('#'));
    if (hash < 0 || QFileInfo::exists(path)) {
        return QUrl::fromLocalFile(path);
    }
    QUrl url = QUrl::fromLocalFile(path.left(hash));
    const QString fragment = path.mid(hash + 1);
    if (!fragment.isEmpty()) {
        url.setFragment(fragment, QUrl::DecodedMode);
    }
    return url;
}

// A URL scheme followed by "/" (http://, file:///, qrc:/) or one of the schemes without a path.
// A scheme has two letters at least, so a Windows drive letter is not taken for one, and
// "host:8080" is left to the guessing below.
bool hasScheme(const QString& text) {
    static const QRegularExpression scheme(
        QStringLiteral("^(?:[A-Za-z][A-Za-z0-9+.-]+:/|(?:about|data|javascript|mailto):)"),
        QRegularExpression::CaseInsensitiveOption);
    return scheme.match(text).hasMatch();
}

}  // namespace

QUrl pageAddressToUrl(const QString& address) {
    const QString text = address.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    if (text.startsWith(QLatin1Char('/'))) {
        return localFileUrl(text);
    }
    if (hasScheme(text)) {
        return QUrl(text, QUrl::TolerantMode);
    }
    const QString relative = QDir::current().absoluteFilePath(text);
    const qsizetype hash = relative.lastIndexOf(QLatin1Char('#'));
    if (QFileInfo::exists(relative) || (hash > 0 && QFileInfo::exists(relative.left(hash)))) {
        return localFileUrl(relative);
    }
    return QUrl::fromUserInput(text);
}

}  // namespace pelagon
