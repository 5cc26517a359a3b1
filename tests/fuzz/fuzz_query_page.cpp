// The query page writer with any layer names, captions, documents and values: the page keeps the
// writer's own markup and nothing else, and every document link stays one script string.
#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QVector>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "FuzzCheck.h"
#include "reports/DrillIdPage.h"

namespace {

// The input: fields separated by the byte 0x1f. The first is the map folder; then seven per
// layer: name, caption, attribute field, document, query mode, outcome, value.
QList<QByteArray> fields(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
        .split('\x1f');
}

// The text of an attribute value as the HTML parser gives it back.
QString unescapeHtml(QString s) {
    s.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    s.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    s.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    s.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    s.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return s;
}

// Checks a single-quoted script string starting at text[from] (after its opening quote); returns
// the position after its closing quote.
qsizetype endOfScriptString(const QString& text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text[i];
        FUZZ_CHECK(c != u'\n' && c != u'\r');  // a line break ends a script string early
        if (c == u'\\') {
            ++i;
            FUZZ_CHECK(i < text.size());
            continue;
        }
        if (c == u'\'') {
            return i + 1;
        }
    }
    FUZZ_CHECK(false);  // never closed
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QList<QByteArray> f = fields(data, size);
    const QString baseDir = QString::fromUtf8(f.value(0));
    QVector<pelagon::LayerInfo> layers;
    QVector<pelagon::LayerQueryResult> found;
    for (qsizetype k = 1; k + 6 < f.size(); k += 7) {
        pelagon::LayerInfo r;
        r.LayerName = QString::fromUtf8(f[k]);
        r.AttrCaption = QString::fromUtf8(f[k + 1]);
        r.AttrField = QString::fromUtf8(f[k + 2]);
        r.DocFile = QString::fromUtf8(f[k + 3]);
        r.QueryMode = static_cast<qint16>(f[k + 4].isEmpty() ? 0 : f[k + 4][0] % 4 - 1);
        layers.append(r);
        const int outcome = f[k + 5].isEmpty() ? 0 : static_cast<unsigned char>(f[k + 5][0]) % 4;
        found.append({static_cast<pelagon::LayerQueryResult::Outcome>(outcome),
                      QString::fromUtf8(f[k + 6])});
    }
    const QString page = QString::fromUtf8(pelagon::drillIdResultsPage(layers, baseDir, found));

    // Markup: only the writer's own tags; every '<' of a text is escaped.
    static const QRegularExpression tag(
        QStringLiteral(R"(<(/?html>|/?header>|/?body>|/?B>|BR>|/a>|a href="[^"<>]*">))"));
    static const QString kOpen = QStringLiteral(R"(<a href="javascript:window.open(')");
    static const QString kRest = QStringLiteral(
        ",'','height=500,width=600,resizable,scrollbars,toolbar');window.history.back()");
    for (qsizetype at = page.indexOf(u'<'); at >= 0; at = page.indexOf(u'<', at + 1)) {
        const QRegularExpressionMatch m = tag.match(page, at, QRegularExpression::NormalMatch,
                                                    QRegularExpression::AnchorAtOffsetMatchOption);
        FUZZ_CHECK(m.hasMatch());
        if (page.mid(at, kOpen.size()) == kOpen) {
            // The attribute, once the HTML parser has undone its escapes, is one script string
            // and the fixed rest of the call.
            const qsizetype close = page.indexOf(u'"', at + 9);
            FUZZ_CHECK(close > 0);
            const QString script = unescapeHtml(page.mid(at + 9, close - at - 9));
            const QString start = QStringLiteral("javascript:window.open('");
            FUZZ_CHECK(script.startsWith(start));
            const qsizetype end = endOfScriptString(script, start.size());
            if (script.mid(end) != kRest) {
                std::fprintf(stderr, "link: %s\n", qPrintable(script));
            }
            FUZZ_CHECK(script.mid(end) == kRest);
        }
    }
    // Every '&' begins an escape.
    static const QRegularExpression entity(QStringLiteral("&(amp|lt|gt|quot|#39);"));
    for (qsizetype at = page.indexOf(u'&'); at >= 0; at = page.indexOf(u'&', at + 1)) {
        FUZZ_CHECK(entity
                       .match(page, at, QRegularExpression::NormalMatch,
                              QRegularExpression::AnchorAtOffsetMatchOption)
                       .hasMatch());
    }
    return 0;
}
