#include "render/ExportFormat.h"

#include <QFileInfo>

namespace pelagon {

QList<ExportFormat> exportFormats() {
    return {ExportFormat::Png, ExportFormat::Jpeg, ExportFormat::Tiff, ExportFormat::Pdf,
            ExportFormat::Svg};
}

QString exportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Png:
            return QStringLiteral("PNG");
        case ExportFormat::Jpeg:
            return QStringLiteral("JPEG");
        case ExportFormat::Tiff:
            return QStringLiteral("TIFF");
        case ExportFormat::Pdf:
            return QStringLiteral("PDF");
        case ExportFormat::Svg:
            return QStringLiteral("SVG");
    }
    return {};
}

QStringList exportFormatSuffixes(ExportFormat format) {
    switch (format) {
        case ExportFormat::Png:
            return {QStringLiteral("png")};
        case ExportFormat::Jpeg:
            return {QStringLiteral("jpg"), QStringLiteral("jpeg")};
        case ExportFormat::Tiff:
            return {QStringLiteral("tif"), QStringLiteral("tiff")};
        case ExportFormat::Pdf:
            return {QStringLiteral("pdf")};
        case ExportFormat::Svg:
            return {QStringLiteral("svg")};
    }
    return {};
}

std::optional<ExportFormat> exportFormatForPath(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty()) {
        return std::nullopt;
    }
    for (ExportFormat format : exportFormats()) {
        if (exportFormatSuffixes(format).contains(suffix, Qt::CaseInsensitive)) {
            return format;
        }
    }
    return std::nullopt;
}

std::optional<ExportFormat> exportFormatByName(const QString& name) {
    QString text = name.trimmed();
    if (text.startsWith(QLatin1Char('.'))) {
        text.remove(0, 1);
    }
    for (ExportFormat format : exportFormats()) {
        if (exportFormatName(format).compare(text, Qt::CaseInsensitive) == 0 ||
            exportFormatSuffixes(format).contains(text, Qt::CaseInsensitive)) {
            return format;
        }
    }
    return std::nullopt;
}

QString exportFormatList() {
    QStringList parts;
    for (ExportFormat format : exportFormats()) {
        QStringList dotted;
        for (const QString& s : exportFormatSuffixes(format)) {
            dotted.append(QLatin1Char('.') + s);
        }
        parts.append(QStringLiteral("%1 (%2)").arg(exportFormatName(format),
                                                   dotted.join(QStringLiteral(", "))));
    }
    return parts.join(QStringLiteral(", "));
}

bool isVectorFormat(ExportFormat format) {
    return format == ExportFormat::Pdf || format == ExportFormat::Svg;
}

}  // namespace pelagon
