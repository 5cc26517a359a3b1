#pragma once

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "cli/Cli.h"
#include "cli/CliContext.h"
#include "support/LayerFixtures.h"

namespace pelagon::test {

struct CliResult {
    int rc = -1;
    QByteArray out;
    QByteArray err;
    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
};

// Runs the tool in-process on buffers, from the current folder.
inline CliResult runTool(const QStringList& args, const QByteArray& input = {}) {
    QBuffer out, err, in;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    cli::CliContext context{out, err, &in, QDir::currentPath()};
    CliResult r;
    r.rc = cli::runCli(args, context);
    r.out = out.data();
    r.err = err.data();
    return r;
}

// A small map folder written for the test: polygons "Zones" (attribute layer, red), a hidden
// document layer "Docs" overlapping them, points "Wells", and "Ghost", whose file is missing.
class TinyMap {
public:
    TinyMap() {
        folder_ = QDir(dir_.path()).canonicalPath();
        QDir(folder_).mkpath(QStringLiteral("Shapefiles"));
        const QString shp = folder_ + QStringLiteral("/Shapefiles/");
        problems_ += writeShapefile(
            shp + "zones.shp", FixtureKind::Polygons, {"NAME"},
            {{squareWkt(0, 0, 1000), {"A, \"quoted\""}}, {squareWkt(3000, 0, 1000), {"B"}}});
        problems_ += writeShapefile(shp + "docs.shp", FixtureKind::Polygons, {"NAME"},
                                    {{squareWkt(500, 500, 1000), {"D"}}});
        problems_ += writeShapefile(shp + "wells.shp", FixtureKind::Points, {"NAME"},
                                    {{"POINT (2000 2000)", {"W1"}}});
        write(QStringLiteral("Tiny.mv"),
              "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field\r\n"
              "Zones,2,True,zones,,255.0.0,,0,NAME,Zone,NAME\r\n"
              "Docs,1,False,docs,a\\b.htm,0.0.255,,1,,,\r\n"
              "Wells,2,True,wells,,0.128.0,,0,,Well,NAME\r\n"
              "Ghost,1,True,ghost,,0.0.0,,0,,,\r\n");
        write(QStringLiteral("ProjPars.alb"), "-154\r\n50\r\n55\r\n65\r\n");
        write(QStringLiteral("SSL_Locs.csv"), "Name,X,Y\r\nWell site,2000,2000\r\n");
        write(QStringLiteral("Regions.csv"), "Name,L,R,B,T\r\nWest,0,1000,0,1000\r\n");
    }

    bool isValid() const { return dir_.isValid() && problems_.empty(); }
    const std::string& problems() const { return problems_; }
    QString folder() const { return folder_; }
    QString definition() const { return folder_ + QStringLiteral("/Tiny.mv"); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(folder_ + QLatin1Char('/') + name);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(bytes);
        }
    }

private:
    QTemporaryDir dir_;
    QString folder_;
    std::string problems_;
};

}  // namespace pelagon::test
