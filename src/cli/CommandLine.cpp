#include "cli/CommandLine.h"

#include <QRegularExpression>

#include <cmath>

#include "cli/CliErrors.h"
#include "common/EchoText.h"
#include "geo/PositionText.h"

namespace pelagon::cli {

namespace {

bool looksLikeOption(const QString& word) {
    if (word.size() < 2 || !word.startsWith(QLatin1Char('-'))) {
        return false;
    }
    const QChar second = word.at(1);
    return !(second.isDigit() || second == QLatin1Char('.'));
}

const OptionSyntax* findOption(const CommandSyntax& syntax, const QString& name) {
    for (const OptionSyntax& o : syntax.options) {
        if (o.name == name || (!o.alias.isEmpty() && o.alias == name)) {
            return &o;
        }
    }
    return nullptr;
}

}  // namespace

bool ParsedArguments::has(const QString& name) const {
    for (const auto& [n, v] : options_) {
        if (n == name) {
            return true;
        }
    }
    return false;
}

QString ParsedArguments::value(const QString& name) const {
    QString last;
    for (const auto& [n, v] : options_) {
        if (n == name) {
            last = v;
        }
    }
    return last;
}

QStringList ParsedArguments::values(const QString& name) const {
    QStringList all;
    for (const auto& [n, v] : options_) {
        if (n == name) {
            all.append(v);
        }
    }
    return all;
}

ParsedArguments parseArguments(const CommandSyntax& syntax, const QStringList& words) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (optionsEnded || !looksLikeOption(word)) {
            parsed.positional.append(word);
            continue;
        }
        if (word == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (word == QStringLiteral("--help") || word == QStringLiteral("-h")) {
            parsed.helpRequested = true;
            return parsed;
        }
        const qsizetype eq =
            word.startsWith(QStringLiteral("--")) ? word.indexOf(QLatin1Char('=')) : -1;
        const QString name = eq < 0 ? word : word.left(eq);
        const OptionSyntax* option = findOption(syntax, name);
        if (option == nullptr) {
            throw UsageError(QStringLiteral("unknown option %1").arg(echoValue(name)));
        }
        QString value;
        if (option->valueName.isEmpty()) {
            if (eq >= 0) {
                throw UsageError(QStringLiteral("option %1 takes no value").arg(option->name));
            }
        } else if (eq >= 0) {
            value = word.mid(eq + 1);
        } else if (i + 1 < words.size()) {
            value = words.at(++i);
        } else {
            throw UsageError(
                QStringLiteral("option %1 needs a value %2").arg(option->name, option->valueName));
        }
        if (!option->repeatable && parsed.has(option->name)) {
            throw UsageError(QStringLiteral("option %1 is given twice").arg(option->name));
        }
        parsed.add(option->name, value);
    }
    const int count = static_cast<int>(parsed.positional.size());
    if (count < syntax.minPositional) {
        throw UsageError(
            QStringLiteral("missing argument (expected %1)").arg(syntax.positionalNames));
    }
    if (syntax.maxPositional >= 0 && count > syntax.maxPositional) {
        throw UsageError(QStringLiteral("unexpected argument %1")
                             .arg(echoValue(parsed.positional.at(syntax.maxPositional))));
    }
    return parsed;
}

QString commandHelp(const CommandSyntax& syntax) {
    QString text = QStringLiteral("Usage: pelagon-cli %1 %2\n\n%3\n")
                       .arg(syntax.name, syntax.synopsis, syntax.summary);
    if (!syntax.details.isEmpty()) {
        text += QLatin1Char('\n') + syntax.details + QLatin1Char('\n');
    }
    text += QStringLiteral("\nOptions:\n");
    QList<OptionSyntax> options = syntax.options;
    options.append({QStringLiteral("--help"),
                    QStringLiteral("-h"),
                    {},
                    false,
                    QStringLiteral("show this help and exit")});
    for (const OptionSyntax& o : options) {
        QString head = o.alias.isEmpty() ? o.name : o.alias + QStringLiteral(", ") + o.name;
        if (!o.valueName.isEmpty()) {
            head += QLatin1Char(' ') + o.valueName;
        }
        text += QStringLiteral("  %1\n      %2\n").arg(head, o.help);
    }
    return text;
}

double parseNumber(const QString& text, const QString& what) {
    bool ok = false;
    // QString::toDouble reads the C locale's format only: "." is the decimal separator.
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        throw UsageError(QStringLiteral("%1: '%2' is not a number").arg(what, echoValue(text)));
    }
    return v;
}

int parseThreadCount(const QString& text) {
    const double n = parseNumber(text, QStringLiteral("--threads"));
    if (n < 1 || n > 1024 || n != std::floor(n)) {
        throw UsageError(
            QStringLiteral("--threads: '%1' is not a whole number from 1 to 1024").arg(text));
    }
    return static_cast<int>(n);
}

namespace {

QList<double> parseNumbers(const QString& text, const QString& what, int count,
                           const QString& form) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != count) {
        throw UsageError(
            QStringLiteral("%1: '%2' is not of the form %3").arg(what, echoValue(text), form));
    }
    QList<double> values;
    for (const QString& p : parts) {
        values.append(parseNumber(p, what));
    }
    return values;
}

}  // namespace

MapPoint parsePoint(const QString& text, const QString& what) {
    const QList<double> v = parseNumbers(text, what, 2, QStringLiteral("X,Y"));
    return {v[0], v[1]};
}

MapPoint parsePositionOption(const QString& text, const QString& what) {
    const PositionParse parsed = parsePosition(text);
    if (!parsed.ok()) {
        throw UsageError(QStringLiteral("%1: %2").arg(what, parsed.error));
    }
    return {parsed.position->lon, parsed.position->lat};
}

MapPoint parsePositionOptionForMap(const QString& text, const QString& what,
                                   const std::function<bool(MapPoint lonLat)>& onMap) {
    const PositionParse parsed = parsePositionForMap(text, [&](const GeoPosition& g) {
        return onMap(MapPoint{g.lon, g.lat});
    });
    if (!parsed.ok()) {
        throw UsageError(QStringLiteral("%1: %2").arg(what, parsed.error));
    }
    return {parsed.position->lon, parsed.position->lat};
}

MapRect parseExtent(const QString& text, const QString& what) {
    const QList<double> v = parseNumbers(text, what, 4, QStringLiteral("L,R,B,T"));
    const MapRect r{v[0], v[1], v[2], v[3]};
    if (!r.isValid()) {
        throw UsageError(
            QStringLiteral("%1: '%2' is not a rectangle: left must be below right and bottom "
                           "below top")
                .arg(what, echoValue(text)));
    }
    return r;
}

QSize parseImageSize(const QString& text, const QString& what) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,9})[xX](\\d{1,9})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch()) {
        throw UsageError(
            QStringLiteral("%1: '%2' is not of the form WxH").arg(what, echoValue(text)));
    }
    const int w = m.captured(1).toInt();
    const int h = m.captured(2).toInt();
    if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) {
        throw UsageError(QStringLiteral("%1: each side of '%2' must be 1 to %3 pixels")
                             .arg(what, text)
                             .arg(kMaxImageSide));
    }
    return {w, h};
}

}  // namespace pelagon::cli
