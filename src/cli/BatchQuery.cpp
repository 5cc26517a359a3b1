// The batch form of the query subcommand: a table of what lies at every position of a CSV file.
#include <QDir>
#include <QLocale>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/Csv.h"
#include "cli/HeadlessMap.h"
#include "cli/QueryCommand.h"
#include "common/EchoText.h"
#include "reports/LayerQuery.h"

namespace pelagon::cli {

namespace {

// Where the position columns are in the input.
struct Columns {
    int id = -1;
    int first = -1;   // x or lon
    int second = -1;  // y or lat
    bool mapUnits = false;
    QString firstName, secondName;

    int needed() const { return std::max({id, first, second}) + 1; }
};

Columns findColumns(const CsvRecord& header, const QString& where) {
    auto column = [&](const char* name) {
        for (int k = 0; k < header.fields.size(); ++k) {
            if (header.fields[k].trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
                return k;
            }
        }
        return -1;
    };
    Columns c;
    c.id = column("id");
    if (column("x") >= 0 && column("y") >= 0) {
        c = {c.id, column("x"), column("y"), true, QStringLiteral("x"), QStringLiteral("y")};
    } else if (column("lon") >= 0 && column("lat") >= 0) {
        c = {c.id,  column("lon"),         column("lat"),
             false, QStringLiteral("lon"), QStringLiteral("lat")};
    } else {
        throw InputError(QStringLiteral("%1, line %2: the header names neither the columns lon "
                                        "and lat nor x and y.")
                             .arg(where)
                             .arg(header.line));
    }
    return c;
}

// A field's text as a message quotes it: control characters (a quoted field may hold line
// breaks) written as escapes, so that every message stays one line.
QString quoted(const QString& text) {
    QString out;
    for (const QChar c : text) {
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

// A coordinate of a row; nullopt (with the reason in *problem) when it is not a number.
std::optional<double> coordinate(const CsvRecord& row, int column, const QString& name,
                                 QString* problem) {
    const QString text = row.fields[column].trimmed();
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        *problem = QStringLiteral("the %1 value '%2' is not a number")
                       .arg(name, quoted(echoValue(text)));
        return std::nullopt;
    }
    return v;
}

QString layerCell(const LayerInfo& info, const LayerQueryResult& found) {
    switch (found.outcome) {
        case LayerQueryResult::Outcome::Hit:
            return info.QueryMode == 2 ? found.value : info.DocFile;
        case LayerQueryResult::Outcome::MissingAttribute:
            // As the query page shows it.
            return QStringLiteral("(no attribute %1)").arg(info.AttrField);
        case LayerQueryResult::Outcome::NoHit:
        case LayerQueryResult::Outcome::NotSearched:
            break;
    }
    return {};
}

}  // namespace

QByteArray queryPositions(const HeadlessMap& map, const QString& csvText, const QString& file,
                          double tolerance, CliContext& context) {
    const QString where = file == QStringLiteral("-") ? QStringLiteral("standard input")
                                                      : QDir::toNativeSeparators(file);
    const QList<CsvRecord> records = parseCsv(csvText);
    qsizetype next = 0;
    while (next < records.size() && records[next].isBlank()) {
        ++next;
    }
    if (next == records.size()) {
        throw InputError(QStringLiteral("%1: there is no header line.").arg(where));
    }
    const CsvRecord& header = records[next++];
    if (!header.error.isEmpty()) {
        throw InputError(
            QStringLiteral("%1, line %2: %3").arg(where).arg(header.line).arg(header.error));
    }
    const Columns columns = findColumns(header, where);
    // Without a projection, map units can still be searched; positions in degrees cannot.
    const AlbersProjection* projection = map.projection ? &*map.projection : nullptr;
    if (!columns.mapUnits) {
        projection = &map.requireProjection();
    }

    QStringList head = {QStringLiteral("id"), QStringLiteral("lon"), QStringLiteral("lat"),
                        QStringLiteral("x"), QStringLiteral("y")};
    QList<int> queryable;
    for (int k = 0; k < map.LayerInfos.size(); ++k) {
        if (map.LayerInfos[k].QueryMode > 0) {
            queryable.append(k);
            head.append(map.LayerInfos[k].LayerName);
        }
    }
    QString out = csvLine(head);

    qsizetype rowsRead = 0;
    qsizetype rowsLeftOut = 0;
    for (; next < records.size(); ++next) {
        const CsvRecord& row = records[next];
        if (row.isBlank()) {
            continue;
        }
        auto reject = [&](const QString& problem) {
            ++rowsLeftOut;
            context.error(QStringLiteral("%1, line %2: %3; the row is left out.")
                              .arg(where)
                              .arg(row.line)
                              .arg(problem));
        };
        if (!row.error.isEmpty()) {
            reject(row.error);
            continue;
        }
        if (row.fields.size() < columns.needed()) {
            reject(QStringLiteral("it has %1 fields where %2 are needed")
                       .arg(row.fields.size())
                       .arg(columns.needed()));
            continue;
        }
        QString problem;
        const std::optional<double> a = coordinate(row, columns.first, columns.firstName, &problem);
        const std::optional<double> b =
            a ? coordinate(row, columns.second, columns.secondName, &problem) : std::nullopt;
        if (!a || !b) {
            reject(problem);
            continue;
        }
        double lon = 0, lat = 0, x = 0, y = 0;
        bool hasLonLat = true;
        if (columns.mapUnits) {
            x = *a;
            y = *b;
            hasLonLat = projection != nullptr && projection->AlbersToLatLong(x, y, lon, lat);
        } else {
            lon = *a;
            lat = *b;
            if (!projection->LatLongToAlbers(lon, lat, x, y)) {
                reject(QStringLiteral("the position %1, %2 has no place on the map's projection")
                           .arg(lon)
                           .arg(lat));
                continue;
            }
        }
        const LayerQuery query = queryLayersAt(map.LayerInfos, map.MapLayers, {x, y}, tolerance);
        QStringList cells = {
            columns.id >= 0 ? row.fields[columns.id] : QString::number(row.line),
            hasLonLat ? QString::number(lon, 'f', 9) : QString(),
            hasLonLat ? QString::number(lat, 'f', 9) : QString(),
            QString::number(x, 'f', 3),
            QString::number(y, 'f', 3),
        };
        for (int k : queryable) {
            cells.append(layerCell(map.LayerInfos[k], query.found[k]));
        }
        out += csvLine(cells);
        ++rowsRead;
    }
    // Counts with thousands separators, the same in every locale.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    context.error(QStringLiteral("%1 %2 read, %3 left out")
                      .arg(english.toString(rowsRead),
                           rowsRead == 1 ? QStringLiteral("row") : QStringLiteral("rows"),
                           english.toString(rowsLeftOut)));
    return out.toUtf8();
}

}  // namespace pelagon::cli
