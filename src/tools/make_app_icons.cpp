// Renders the program's icon for the icon theme; run by the build, not installed.
//   pelagon-make-icons OUTPUT_FOLDER NAME
// writes OUTPUT_FOLDER/scalable/apps/NAME.svg and OUTPUT_FOLDER/SxS/apps/NAME.png for every size.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <cstdio>

#include "tools/AppIcon.h"

namespace {

bool fail(const QString& text) {
    std::fprintf(stderr, "pelagon-make-icons: %s\n", qPrintable(text));
    return false;
}

bool writeSvg(const QString& path) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("Dudadiruz Pelagon"));
    svg.setDescription(QStringLiteral("The angelfish of the Fish Tool on a tile of sea"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        return fail(path + QStringLiteral(": cannot be written"));
    }
    pelagon::paintAppIcon(painter, QRectF(0, 0, 256, 256));
    painter.end();
    // The generator gives the size in millimetres; icon themes expect plain user units.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(path + QStringLiteral(": nothing was written"));
    }
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    static const QRegularExpression size(
        QStringLiteral("<svg width=\"[0-9.]+mm\" height=\"[0-9.]+mm\""));
    if (!text.contains(size)) {
        return fail(path + QStringLiteral(": the size is not where it was expected"));
    }
    text.replace(size, QStringLiteral("<svg width=\"256\" height=\"256\""));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0) {
        return fail(path + QStringLiteral(": cannot be written"));
    }
    return true;
}

bool writePng(const QString& path, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    pelagon::paintAppIcon(painter, QRectF(0, 0, size, size));
    painter.end();
    return image.save(path, "PNG") || fail(path + QStringLiteral(": cannot be written"));
}

}  // namespace

int main(int argc, char* argv[]) {
    // Painting needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 3) {
        std::fputs("usage: pelagon-make-icons OUTPUT_FOLDER NAME\n", stderr);
        return 2;
    }
    const QDir out(args.at(1));
    const QString name = args.at(2);
    auto folder = [&out](const QString& sub) {
        const QString path = out.filePath(sub);
        QDir().mkpath(path);
        return path;
    };
    bool ok = writeSvg(folder(QStringLiteral("scalable/apps")) + QLatin1Char('/') + name +
                       QStringLiteral(".svg"));
    for (const int size : pelagon::appIconSizes()) {
        ok = writePng(folder(QStringLiteral("%1x%1/apps").arg(size)) + QLatin1Char('/') + name +
                          QStringLiteral(".png"),
                      size) &&
             ok;
    }
    return ok ? 0 : 1;
}
