#include "common/EchoText.h"

namespace pelagon {

QString echoValue(const QString& value, int maxChars) {
    if (maxChars < 0 || value.size() <= maxChars) {
        return value;
    }
    qsizetype cut = maxChars;
    // Never split a character made of two UTF-16 units.
    if (cut > 0 && value.at(cut - 1).isHighSurrogate()) {
        --cut;
    }
    return value.left(cut) + QChar(0x2026);
}

QString echoLine(const QString& value, int maxChars) {
    const QString cut = echoValue(value, maxChars);
    QString out;
    out.reserve(cut.size());
    for (const QChar c : cut) {
        if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\r') {
            out += QStringLiteral("\\r");
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

QString echoNameList(const QStringList& names, int maxNames) {
    const qsizetype shown =
        maxNames < 0 ? names.size() : std::min<qsizetype>(names.size(), maxNames);
    QStringList quoted;
    quoted.reserve(shown);
    for (qsizetype i = 0; i < shown; ++i) {
        quoted.append(QLatin1Char('"') + echoValue(names.at(i)) + QLatin1Char('"'));
    }
    QString text = quoted.join(QStringLiteral(", "));
    if (shown < names.size()) {
        text += QStringLiteral(" and %1 more").arg(names.size() - shown);
    }
    return text;
}

}  // namespace pelagon
