// The files of a layer: the data file a name in the map definition stands for, the files beside
// a shapefile, the size its attribute table must have, and whether the encoding of its text can
// be read.
#include "store/FeatureStoreBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cpl_string.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstring>

#include "common/EchoText.h"
#include "store/GdalErrorCapture.h"
#include "store/ShapefileCheck.h"

namespace pelagon {

QString FeatureStoreBuilder::resolveDataFile(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    if (path.startsWith(QLatin1String("/vsi"))) {
        return path;  // GDAL's virtual file systems: let OGR decide
    }
    const QFileInfo given(path);
    if (given.isFile() || (given.isDir() && !given.suffix().isEmpty())) {
        return given.absoluteFilePath();
    }
    const QFileInfo withShp(path + QStringLiteral(".shp"));
    if (withShp.isFile()) {
        return withShp.absoluteFilePath();
    }
    // Map folders made on other systems may spell file names in another letter case.
    const QString name = given.fileName();
    const QDir dir = given.absoluteDir();
    if (name.isEmpty() || !dir.exists()) {
        return {};
    }
    QString viaShp;
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& e : entries) {
        if (e.compare(name, Qt::CaseInsensitive) == 0) {
            return dir.absoluteFilePath(e);
        }
        if (e.compare(name + QStringLiteral(".shp"), Qt::CaseInsensitive) == 0) {
            viaShp = dir.absoluteFilePath(e);
        }
    }
    return viaShp;
}

QString FeatureStoreBuilder::siblingFile(const QFileInfo& file, const QString& extension) {
    const QDir dir = file.absoluteDir();
    const QString wanted = file.completeBaseName() + QLatin1Char('.') + extension;
    if (QFileInfo(dir.filePath(wanted)).isFile()) {
        return dir.filePath(wanted);
    }
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& e : entries) {
        if (e.compare(wanted, Qt::CaseInsensitive) == 0) {
            return dir.filePath(e);
        }
    }
    return {};
}

std::optional<QString> FeatureStoreBuilder::checkDbf(const QString& dbfPath) {
    QFile file(dbfPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("its attribute table %1 cannot be opened").arg(dbfPath);
    }
    const QByteArray header = file.read(12);
    if (header.size() < 12) {
        return QStringLiteral("its attribute table %1 is truncated").arg(dbfPath);
    }
    const auto u8 = [&](int i) { return static_cast<quint64>(static_cast<quint8>(header[i])); };
    const quint64 records = u8(4) | u8(5) << 8 | u8(6) << 16 | u8(7) << 24;
    const quint64 headerLength = u8(8) | u8(9) << 8;
    const quint64 recordLength = u8(10) | u8(11) << 8;
    if (headerLength < 32 ||
        static_cast<quint64>(file.size()) < headerLength + records * recordLength) {
        return QStringLiteral("its attribute table %1 is truncated").arg(dbfPath);
    }
    return std::nullopt;
}

// A small file beside the layer (.cpg, .prj, .shx) read whole; empty when there is none.
QByteArray FeatureStoreBuilder::dbfCopy(std::span<const std::byte> dbf, std::int64_t rows,
                                        std::int64_t records) {
    const QByteArray file(reinterpret_cast<const char*>(dbf.data()),
                          static_cast<qsizetype>(dbf.size()));
    const qsizetype headerLength = qFromLittleEndian<quint16>(file.constData() + 8);
    const qsizetype rowLength = qFromLittleEndian<quint16>(file.constData() + 10);
    QByteArray copy = file.left(headerLength + static_cast<qsizetype>(rows) * rowLength);
    const std::int64_t all = std::max(rows, records);
    copy.append(QByteArray(static_cast<qsizetype>(all - rows) * rowLength, ' '));
    copy.append('\x1a');
    qToLittleEndian<quint32>(static_cast<quint32>(all), copy.data() + 4);
    return copy;
}

bool FeatureStoreBuilder::looksLikeWkt(const QByteArray& text) {
    // A keyword, then brackets that close in order, then nothing but white space; printable
    // text throughout. Parsing it with PROJ would cost more than the rest of the check.
    const QByteArray t = text.trimmed();
    const qsizetype open = t.indexOf('[');
    if (open <= 0 || !t.endsWith(']')) {
        return false;
    }
    for (qsizetype i = 0; i < open; ++i) {
        const char c = t[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_')) {
            return false;
        }
    }
    int depth = 0;
    bool quoted = false;
    for (qsizetype i = open; i < t.size(); ++i) {
        const auto c = static_cast<unsigned char>(t[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return false;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '[' || c == '(')) {
            ++depth;
        } else if (!quoted && (c == ']' || c == ')')) {
            if (--depth < 0) {
                return false;
            }
            if (depth == 0 && i != t.size() - 1) {
                return false;
            }
        }
    }
    return depth == 0 && !quoted;
}

std::optional<QString> FeatureStoreBuilder::prjProblem(const QFileInfo& info, OGRLayer& layer) {
    GdalErrorCapture errors;
    layer.GetSpatialRef();
    const QString prj = siblingFile(info, QStringLiteral("prj"));
    if (!prj.isEmpty() && !looksLikeWkt(readSmallFile(prj))) {
        return QStringLiteral("it cannot be read as a coordinate system; it is ignored");
    }
    if (errors.hasFailure()) {
        return QStringLiteral("it cannot be read as a coordinate system (%1); it is ignored")
            .arg(errors.text());
    }
    return std::nullopt;
}

RecordSeen FeatureStoreBuilder::countShape(const OGRGeometry* g) {
    RecordSeen seen;
    if (g == nullptr) {
        return seen;
    }
    switch (wkbFlatten(g->getGeometryType())) {
        case wkbPoint:
            seen.points = g->IsEmpty() ? 0 : 1;
            break;
        case wkbMultiPoint:
            seen.points = g->toMultiPoint()->getNumGeometries();
            break;
        case wkbLineString:
            seen.parts = 1;
            seen.points = g->toLineString()->getNumPoints();
            break;
        case wkbPolygon:
            for (const OGRLinearRing* ring : *g->toPolygon()) {
                ++seen.parts;
                seen.points += ring->getNumPoints();
            }
            break;
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
            for (const OGRGeometry* member : *g->toGeometryCollection()) {
                const RecordSeen m = countShape(member);
                seen.parts += m.parts;
                seen.points += m.points;
            }
            break;
        default:
            seen.parts = -1;  // nothing a record's counts can be compared with
            break;
    }
    return seen;
}

QByteArray FeatureStoreBuilder::readSmallFile(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Why the encoding OGR found for a shapefile's text (its .cpg, or the language driver byte of its
// .dbf) cannot serve; nullopt when it can.
std::optional<QString> FeatureStoreBuilder::unusableEncoding(OGRLayer& layer) {
    const char* named = layer.GetMetadataItem("CPG_VALUE", "SHAPEFILE");
    const char* source = layer.GetMetadataItem("SOURCE_ENCODING", "SHAPEFILE");
    const char* ldid = layer.GetMetadataItem("LDID_VALUE", "SHAPEFILE");
    const QString name = named != nullptr && *named != '\0' ? QString::fromUtf8(named).trimmed()
                         : ldid != nullptr ? QStringLiteral("LDID/%1").arg(QString::fromUtf8(ldid))
                                           : QString();
    if (source == nullptr || *source == '\0') {
        if (named != nullptr && *named != '\0') {
            return QStringLiteral(
                       "it names the encoding \"%1\", which cannot be read; the text "
                       "is read as UTF-8, else as Windows-1252")
                .arg(echoLine(name));
        }
        return std::nullopt;
    }
    // Field names and values are ASCII mostly: an encoding that changes ASCII is no superset.
    static const char probe[] = "NAME_09 azAZ";
    char* recoded = CPLRecode(probe, source, CPL_ENC_UTF8);
    const bool ascii = recoded != nullptr && std::strcmp(recoded, probe) == 0;
    CPLFree(recoded);
    if (ascii) {
        return std::nullopt;
    }
    return QStringLiteral(
               "it names the encoding \"%1\", which does not keep ASCII text as it is; "
               "the text is read as it stands")
        .arg(echoLine(name.isEmpty() ? QString::fromUtf8(source) : name));
}

}  // namespace pelagon
