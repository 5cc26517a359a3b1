#include "mapdef/PlaceList.h"

#include <QLocale>

#include <cmath>
#include <functional>

#include "common/EchoText.h"
#include "common/TextFile.h"

namespace pelagon {

namespace {

// What distinguishes the two list files: the word for one row, the names of its number fields
// and how those numbers make the row's rectangle.
struct ListFormat {
    QString rowNoun;         // "site" or "region"
    QStringList fieldNames;  // of fields 2, 3, ...
    std::function<MapRect(const QVector<double>&)> rectangle;
};

const ListFormat& siteFormat() {
    static const ListFormat format{QStringLiteral("site"),
                                   {QStringLiteral("X"), QStringLiteral("Y")},
                                   [](const QVector<double>& v) {
                                       return MapRect{v[0] - siteHalfWidth, v[0] + siteHalfWidth,
                                                      v[1] - siteHalfWidth, v[1] + siteHalfWidth};
                                   }};
    return format;
}

const ListFormat& regionFormat() {
    static const ListFormat format{QStringLiteral("region"),
                                   {QStringLiteral("left"), QStringLiteral("right"),
                                    QStringLiteral("bottom"), QStringLiteral("top")},
                                   [](const QVector<double>& v) {
                                       return MapRect{v[0], v[1], v[2], v[3]};
                                   }};
    return format;
}

// A blank line holds nothing but white space; such lines are skipped wherever they stand.
bool isBlank(const QString& line) {
    return line.trimmed().isEmpty();
}

PlaceList failure(const QString& file, int line, const QString& problem) {
    PlaceList list;
    list.error = PlaceListError{file, line, problem};
    return list;
}

PlaceList parseList(const QStringList& lines, const QString& file, const ListFormat& format) {
    if (lines.isEmpty()) {
        return failure(file, 1,
                       QStringLiteral("the file is empty; it must start with a header line, "
                                      "followed by one %1 per line.")
                           .arg(format.rowNoun));
    }
    const qsizetype fieldCount = format.fieldNames.size() + 1;
    const QString layout = QStringLiteral("name, ") + format.fieldNames.join(QStringLiteral(", "));

    PlaceList list;
    QVector<double> values(format.fieldNames.size());
    // Line 1 is the header and is not looked at.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const int lineNumber = static_cast<int>(i + 1);
        if (isBlank(line)) {
            continue;
        }
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < fieldCount) {
            return failure(
                file, lineNumber,
                QStringLiteral("the row has %1 %2, but a %3 needs %4 (%5).")
                    .arg(fields.size())
                    .arg(fields.size() == 1 ? QStringLiteral("field") : QStringLiteral("fields"))
                    .arg(format.rowNoun)
                    .arg(fieldCount)
                    .arg(layout));
        }
        for (qsizetype f = 1; f < fieldCount; ++f) {
            const std::optional<double> value = parsePlaceNumber(fields[f]);
            if (!value) {
                return failure(file, lineNumber,
                               QStringLiteral("field %1 (%2) is \"%3\", which is not a number; "
                                              "numbers use \".\" as the decimal separator.")
                                   .arg(f + 1)
                                   .arg(format.fieldNames[f - 1], echoValue(fields[f])));
            }
            values[f - 1] = *value;
        }
        list.names.append(fields[0]);
        list.extents.append(format.rectangle(values));
    }
    if (list.names.isEmpty()) {
        return failure(file, 2,
                       QStringLiteral("the file holds no %1 after its header line (line 1).")
                           .arg(format.rowNoun + QLatin1Char('s')));
    }
    return list;
}

PlaceList readList(const QString& path, const ListFormat& format) {
    const TextFile text = readTextFile(path);
    if (!text.ok) {
        return failure(path, 0, text.error);
    }
    return parseList(text.lines, path, format);
}

}  // namespace

QString siteListFileName() {
    return QStringLiteral("SSL_Locs.csv");
}

QString regionListFileName() {
    return QStringLiteral("Regions.csv");
}

QString PlaceListError::message() const {
    if (line <= 0) {
        return problem;
    }
    return QStringLiteral("%1, line %2: %3").arg(file).arg(line).arg(problem);
}

PlaceList readSiteList(const QString& path) {
    return readList(path, siteFormat());
}

PlaceList readRegionList(const QString& path) {
    return readList(path, regionFormat());
}

PlaceList parseSiteList(const QStringList& lines, const QString& file) {
    return parseList(lines, file, siteFormat());
}

PlaceList parseRegionList(const QStringList& lines, const QString& file) {
    return parseList(lines, file, regionFormat());
}

std::optional<double> parsePlaceNumber(const QString& text) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace pelagon
