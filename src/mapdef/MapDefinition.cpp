#include "mapdef/MapDefinition.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

#include "common/EchoText.h"
#include "common/TextFile.h"

namespace pelagon {

void splitString(const QString& origStr, const QString& delimiter, QStringList& subStr) {
    subStr.clear();
    if (delimiter.isEmpty()) {
        subStr.append(origStr);
        return;
    }
    qsizetype p = 0;
    while (true) {
        const qsizetype q = origStr.indexOf(delimiter, p, Qt::CaseSensitive);
        if (q < 0) {
            subStr.append(origStr.mid(p));
            return;
        }
        subStr.append(origStr.mid(p, q - p));
        p = q + delimiter.size();
    }
}

QStringList splitString(const QString& origStr, const QString& delimiter) {
    QStringList pieces;
    splitString(origStr, delimiter, pieces);
    return pieces;
}

namespace {

void setProblem(QString* problem, const QString& text) {
    if (problem != nullptr) {
        *problem = text;
    }
}

std::optional<double> toNumber(const QString& text) {
    static const QRegularExpression kNumber(
        QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    const QString t = text.trimmed();
    if (!kNumber.match(t).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

}  // namespace

std::optional<qint16> toInt16(const QString& text, QString* problem) {
    if (text.trimmed().isEmpty()) {
        setProblem(problem, QStringLiteral("it is empty, a whole number is needed"));
        return std::nullopt;
    }
    const std::optional<double> v = toNumber(text);
    if (!v) {
        setProblem(problem, QStringLiteral("\"%1\" is not a number").arg(echoValue(text)));
        return std::nullopt;
    }
    // std::nearbyint rounds in the default mode, to nearest with halves to even.
    const double r = std::nearbyint(*v);
    if (r < -32768.0 || r > 32767.0) {
        setProblem(
            problem,
            QStringLiteral("%1 is out of range (-32768 to 32767)").arg(echoValue(text.trimmed())));
        return std::nullopt;
    }
    return static_cast<qint16>(r);
}

std::optional<qint16> toTruth(const QString& text, QString* problem) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        return kTrue;
    }
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        return kFalse;
    }
    const std::optional<double> v = toNumber(t);
    if (!v) {
        setProblem(problem, t.isEmpty()
                                ? QStringLiteral("it is empty, True, False or a number is needed")
                                : QStringLiteral("\"%1\" is neither True, False nor a number")
                                      .arg(echoValue(text)));
        return std::nullopt;
    }
    return *v != 0.0 ? kTrue : kFalse;
}

std::optional<qint32> parseRGB(const QString& s, QString* problem) {
    const QStringList parts = splitString(s, QStringLiteral("."));
    if (parts.size() < 3) {
        setProblem(problem, QStringLiteral("\"%1\" is not a colour: red.green.blue is needed, "
                                           "for example 255.0.0")
                                .arg(echoValue(s)));
        return std::nullopt;
    }
    static const char* const kNames[] = {"red", "green", "blue"};
    qint32 value = 0;
    qint32 factor = 1;
    for (int i = 0; i < 3; ++i) {
        QString partProblem;
        const std::optional<qint16> part = toInt16(parts[i], &partProblem);
        if (!part) {
            setProblem(problem, QStringLiteral("the %1 part of the colour \"%2\" is wrong: %3")
                                    .arg(QLatin1String(kNames[i]), echoValue(s), partProblem));
            return std::nullopt;
        }
        if (*part < 0) {
            setProblem(problem, QStringLiteral("the %1 part of the colour \"%2\" is negative")
                                    .arg(QLatin1String(kNames[i]), echoValue(s)));
            return std::nullopt;
        }
        value += std::min<qint32>(*part, 255) * factor;
        factor *= 256;
    }
    return value;
}

qint32 getRGB(const QString& s) {
    return parseRGB(s).value_or(0);
}

QString DefinitionError::message() const {
    QString where = file;
    if (line > 0) {
        where += QStringLiteral(", line %1").arg(line);
    }
    if (field > 0) {
        where += QStringLiteral(", field %1").arg(field);
        if (!fieldName.isEmpty()) {
            where += QStringLiteral(" (%1)").arg(fieldName);
        }
    }
    QString text = where.isEmpty() ? problem : where + QStringLiteral(": ") + problem;
    if (!text.endsWith(QLatin1Char('.'))) {
        text += QLatin1Char('.');
    }
    return text;
}

QString UnreadLines::message(const QString& file) const {
    const QString lines =
        first == last ? QStringLiteral("line %1 after the blank line at line %2 is not read")
                            .arg(first)
                            .arg(blankLine)
                      : QStringLiteral(
                            "lines %1\u2013%2 after the blank line at line %3 "
                            "are not read")
                            .arg(first)
                            .arg(last)
                            .arg(blankLine);
    return QStringLiteral("%1: %2 (the layer list ends at its first blank line).").arg(file, lines);
}

bool parseLayerLine(const QString& line, LayerInfo* record, DefinitionError* error) {
    QStringList pieces = splitString(line, QStringLiteral(","));
    while (pieces.size() < 11) {
        pieces.append(QString());
    }
    pieces = pieces.mid(0, 11);

    auto fail = [&](int field, const char* name, const QString& problem) {
        error->field = field;
        error->fieldName = QLatin1String(name);
        error->problem = problem;
        return false;
    };

    LayerInfo r;
    QString problem;
    r.LayerName = pieces[0];
    const auto queryMode = toInt16(pieces[1], &problem);
    if (!queryMode) {
        return fail(2, "query mode", problem);
    }
    r.QueryMode = *queryMode;
    const auto visible = toTruth(pieces[2], &problem);
    if (!visible) {
        return fail(3, "visible", problem);
    }
    r.Visible = *visible;
    r.ShapeFile = pieces[3];
    r.DocFile = pieces[4];
    const auto color = parseRGB(pieces[5], &problem);
    if (!color) {
        return fail(6, "symbol colour", problem);
    }
    r.SymbolColor = *color;
    const auto style = toInt16(pieces[7], &problem);
    if (!style) {
        return fail(8, "symbol style", problem);
    }
    r.SymbolStyle = *style;
    if (!pieces[6].isEmpty()) {
        const auto border = parseRGB(pieces[6], &problem);
        if (!border) {
            return fail(7, "border colour", problem);
        }
        r.BorderColor = *border;
    } else if (r.SymbolStyle != 0) {
        r.BorderColor = r.SymbolColor;
    } else {
        r.BorderColor = getRGB(QStringLiteral("0.0.0"));
    }
    r.LabelField = pieces[8];
    r.AttrCaption = pieces[9];
    r.AttrField = pieces[10];
    *record = r;
    return true;
}

MapDefinition parseMapDefinition(const QStringList& lines, const QString& file) {
    MapDefinition def;
    // Line 1 is the header; the layer list ends at the first line that is empty after trimming.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty()) {
            // The list ends here; anything after it is noted, never read.
            UnreadLines unread{static_cast<int>(i + 1), 0, 0};
            for (qsizetype k = i + 1; k < lines.size(); ++k) {
                if (!lines[k].trimmed().isEmpty()) {
                    unread.first = unread.first == 0 ? static_cast<int>(k + 1) : unread.first;
                    unread.last = static_cast<int>(k + 1);
                }
            }
            if (unread.first > 0) {
                def.unreadLines = unread;
            }
            break;
        }
        if (def.LayerInfos.size() >= 32767) {
            def.error = DefinitionError{file, static_cast<int>(i + 1), 0, QString(),
                                        QStringLiteral("more than 32767 layer lines")};
            break;
        }
        LayerInfo record;
        DefinitionError error;
        if (!parseLayerLine(line, &record, &error)) {
            error.file = file;
            error.line = static_cast<int>(i + 1);
            def.error = error;
            break;
        }
        def.longestName = std::max(def.longestName, static_cast<int>(record.LayerName.size()));
        def.LayerInfos.append(record);
    }
    return def;
}

MapDefinition readMapDefinition(const QString& path) {
    const TextFile text = readTextFile(path);
    if (!text.ok) {
        MapDefinition def;
        def.error = DefinitionError{path, 0, 0, QString(), text.error};
        // The reader's own text already names the file; keep the message free of repetition.
        def.error->file.clear();
        return def;
    }
    return parseMapDefinition(text.lines, path);
}

}  // namespace pelagon
