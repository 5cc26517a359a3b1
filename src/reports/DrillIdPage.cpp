#include "reports/DrillIdPage.h"

#include <QFileInfo>
#include <QStringList>
#include <QUrl>

namespace pelagon {

namespace {

constexpr qint16 kAttributeQuery = 2;

// Text for a single-quoted JavaScript string that stands inside a double-quoted HTML attribute:
// the JavaScript escapes first, then the HTML ones, since the HTML parser undoes its escapes before
// the script sees the text.
QString scriptStringInAttribute(const QString& text) {
    QString js = text;
    js.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    js.replace(QLatin1Char('\''), QLatin1String("\\'"));
    // A line break would end the string early (a carriage return can survive in a field of the
    // map definition).
    js.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    js.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return js.toHtmlEscaped();
}

QString attributeLine(const LayerInfo& layer, const LayerQueryResult& result) {
    const QString value = result.outcome == LayerQueryResult::Outcome::MissingAttribute
                              ? QStringLiteral("(no attribute %1)").arg(layer.AttrField)
                              : result.value;
    return QStringLiteral("<B>") + layer.AttrCaption.toHtmlEscaped() + QStringLiteral("</B>:  ") +
           value.toHtmlEscaped() + QStringLiteral("<BR>");
}

QString linkLine(const LayerInfo& layer, const QString& BaseDir) {
    // A javascript: link is percent-decoded before its script runs: a "%" of the address (its
    // escapes) is written as "%25" so that the script sees the address as it is.
    QString address = drillIdDocumentAddress(BaseDir, layer.DocFile);
    address.replace(QLatin1Char('%'), QLatin1String("%25"));
    return QStringLiteral("<a href=\"javascript:window.open('") + scriptStringInAttribute(address) +
           QStringLiteral(
               "','','height=500,width=600,resizable,scrollbars,toolbar')"
               ";window.history.back()\">") +
           layer.LayerName.toHtmlEscaped() + QStringLiteral("</a><BR>");
}

}  // namespace

QString drillIdDocumentAddress(const QString& BaseDir, const QString& DocFile) {
    QString folder = BaseDir + QStringLiteral("HTML/");
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString document = DocFile;
    document.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // An anchor may follow the document's name ("rules.htm#area5"); a "#" that belongs to an
    // existing file's name stays in the path.
    QString path = folder + document;
    QString fragment;
    const qsizetype hash = document.lastIndexOf(QLatin1Char('#'));
    if (hash >= 0 && !QFileInfo::exists(path)) {
        fragment = document.mid(hash + 1);
        path = folder + document.left(hash);
    }
    // A drive-letter path ("C:/maps/") is absolute as well.
    if (!path.startsWith(QLatin1Char('/'))) {
        path.prepend(QLatin1Char('/'));
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!fragment.isEmpty()) {
        url.setFragment(fragment, QUrl::DecodedMode);
    }
    return url.toString(QUrl::FullyEncoded);
}

QByteArray drillIdResultsPage(const QVector<LayerInfo>& LayerInfos, const QString& BaseDir,
                              const QVector<LayerQueryResult>& found) {
    QStringList attributeLines;
    QStringList linkLines;
    QString closingLine = QStringLiteral("No layers found.");

    for (qsizetype k = 0; k < LayerInfos.size(); ++k) {
        const LayerInfo& layer = LayerInfos[k];
        if (layer.QueryMode <= 0 || k >= found.size()) {
            continue;
        }
        const LayerQueryResult& result = found[k];
        const bool hit = result.outcome == LayerQueryResult::Outcome::Hit ||
                         result.outcome == LayerQueryResult::Outcome::MissingAttribute;
        if (!hit) {
            continue;
        }
        // "No layers found." only when nothing at all was found.
        closingLine.clear();
        if (layer.QueryMode == kAttributeQuery) {
            attributeLines.append(attributeLine(layer, result));
        } else {
            linkLines.append(linkLine(layer, BaseDir));
        }
    }

    QStringList lines = {QStringLiteral("<html>"), QStringLiteral("<header>"),
                         QStringLiteral("</header>"), QStringLiteral("<body>")};
    lines += attributeLines;
    lines.append(QStringLiteral("<BR>"));
    lines += linkLines;
    lines.append(closingLine);
    lines.append(QStringLiteral("</body></html>"));

    QByteArray page;
    for (const QString& line : lines) {
        page += line.toUtf8();
        page += "\r\n";
    }
    return page;
}

}  // namespace pelagon
