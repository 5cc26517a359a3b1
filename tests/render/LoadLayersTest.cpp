#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/MessageSink.h"
#include "render/LabelRenderer.h"
#include "render/LoadLayers.h"
#include "render/MapLayer.h"
#include "render/MapLayerList.h"
#include "support/LayerFixtures.h"
#include "support/ShapefileEdit.h"

namespace pelagon {
namespace {

using test::FixtureKind;
using test::squareWkt;
using test::writeShapefile;

struct RecordingSink : MessageSink {
    QStringList texts;
    QStringList titles;
    void information(const QString& title, const QString& text) override {
        titles << title;
        texts << text;
    }
    void error(const QString& title, const QString& text) override {
        titles << title;
        texts << text;
    }
};

struct LegendRow {
    qint16 index;
    QString name;
    qint16 checked;
    qint32 color, border;
    qint16 style, shapeType;
    friend bool operator==(const LegendRow&, const LegendRow&) = default;
};

LayerInfo record(const QString& name, const QString& file, qint16 visible, qint32 color,
                 qint32 border, qint16 style, const QString& label = {}) {
    LayerInfo r;
    r.LayerName = name;
    r.ShapeFile = file;
    r.Visible = visible;
    r.SymbolColor = color;
    r.BorderColor = border;
    r.SymbolStyle = style;
    r.LabelField = label;
    return r;
}

class LoadLayersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir("Shapefiles"));
        const QString s = dir.filePath("Shapefiles/");
        ASSERT_EQ(writeShapefile(s + "areas.shp", FixtureKind::Polygons, {"NAME"},
                                 {{squareWkt(0, 0, 600000), {"big"}}}),
                  "");
        ASSERT_EQ(writeShapefile(s + "roads.shp", FixtureKind::Lines, {"NAME"},
                                 {{"LINESTRING(-300000 0,0 100000)", {"road"}}}),
                  "");
        ASSERT_EQ(writeShapefile(s + "ports.shp", FixtureKind::Points, {"NAME"},
                                 {{"POINT(100000 -200000)", {"port"}}}),
                  "");
        QFile bad(s + "broken.shp");
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(500, 'x'));
    }

    LoadedLayers load(const QVector<LayerInfo>& records) {
        LegendCallbacks legend;
        legend.AddToLayerListForm = [this](qint16 i, const QString& n, qint16 c, qint32 col,
                                           qint32 b, qint16 s, qint16 t) {
            EXPECT_EQ(scrollbarPlaced, 0) << "rows come before the scroll bar";
            rows.push_back({i, n, c, col, b, s, t});
        };
        legend.placeScrollbar = [this] { ++scrollbarPlaced; };
        return LoadLayers(records, dir.path(), host, sink, legend);
    }

    QTemporaryDir dir;
    MapLayerList host;
    RecordingSink sink;
    std::vector<LegendRow> rows;
    int scrollbarPlaced = 0;
};

TEST_F(LoadLayersTest, RecordsEndInReverseOrderWithTheirSymbols) {
    const QVector<LayerInfo> records = {
        record("Areas", "areas", -1, 255, 0, 0, "NAME"),
        record("Roads", "roads", 0, 65280, 255, 3),
        record("Ports", "ports.shp", -1, 16711680, 255, 2),
    };
    const LoadedLayers out = load(records);
    ASSERT_EQ(out.MapLayers.size(), 3u);
    ASSERT_EQ(host.size(), 3u);
    // Record i at position LastLayer - i.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host.layers()[static_cast<std::size_t>(2 - i)],
                  out.MapLayers[static_cast<std::size_t>(i)])
            << i;
    }
    EXPECT_EQ(out.MapLayers[0]->dataFile(), dir.path() + "/Shapefiles/areas");
    EXPECT_TRUE(sink.texts.isEmpty()) << sink.texts.join("|").toStdString();

    struct Expect {
        int symbolType;
        qint32 color;
        int style;
        qint32 outline;  // only fill symbols take the record's border
        bool visible;
        int shapeType;
    };
    const Expect expected[] = {
        {2, 255, 0, 0, true, 23},
        {1, 65280, 3, 0, false, 22},
        {0, 16711680, 2, 0, true, 21},
    };
    for (int i = 0; i < 3; ++i) {
        const MapLayer& l = *out.MapLayers[static_cast<std::size_t>(i)];
        const Expect& e = expected[i];
        EXPECT_EQ(l.symbol().symbolType(), e.symbolType) << i;
        EXPECT_EQ(l.symbol().color(), e.color) << i;
        EXPECT_EQ(l.symbol().style(), e.style) << i;
        EXPECT_EQ(l.symbol().outlineColor(), e.outline) << i;
        EXPECT_EQ(l.visible(), e.visible) << i;
        EXPECT_EQ(l.shapeType(), e.shapeType) << i;
    }
    const std::vector<LegendRow> expectedRows = {
        {0, "Areas", -1, 255, 0, 0, 23},
        {1, "Roads", 0, 65280, 255, 3, 22},
        {2, "Ports", -1, 16711680, 255, 2, 21},
    };
    EXPECT_EQ(rows, expectedRows);
    EXPECT_EQ(scrollbarPlaced, 1);
}

TEST_F(LoadLayersTest, AreaOutlineFollowsTheRecord) {
    const LoadedLayers out = load({record("A", "areas", -1, 255, 16711680, 1)});
    EXPECT_EQ(out.MapLayers[0]->symbol().outlineColor(), 16711680);
}

TEST_F(LoadLayersTest, MissingAndUnreadableLayersAreReportedAndLeftOut) {
    const QVector<LayerInfo> records = {
        record("Gone", "closedareas", -1, 255, 0, 0, "NAME"),
        record("Areas", "areas", -1, 255, 0, 0, "NAME"),
        record("Broken", "broken", -1, 255, 0, 0),
        record("Roads", "roads", -1, 255, 0, 0),
    };
    const LoadedLayers out = load(records);
    ASSERT_EQ(sink.texts.size(), 2);
    EXPECT_EQ(sink.texts[0], "Could not find layer:  closedareas");
    EXPECT_TRUE(sink.texts[1].startsWith("Could not read layer:  broken"))
        << sink.texts[1].toStdString();
    EXPECT_TRUE(sink.texts[1].contains("broken.shp")) << sink.texts[1].toStdString();
    EXPECT_TRUE(sink.texts[1].contains("not a vector data file")) << sink.texts[1].toStdString();
    EXPECT_EQ(sink.titles, QStringList({"", ""}));

    ASSERT_EQ(out.MapLayers.size(), 4u);
    EXPECT_FALSE(out.MapLayers[0]->valid());
    EXPECT_FALSE(out.MapLayers[2]->valid());
    ASSERT_EQ(host.size(), 2u);
    EXPECT_EQ(host.layers()[0], out.MapLayers[3]);
    EXPECT_EQ(host.layers()[1], out.MapLayers[1]);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].index, 1);
    EXPECT_EQ(rows[1].index, 3);
    EXPECT_EQ(scrollbarPlaced, 1);

    // Every record has its renderer; those of the missing layers are attached to nothing.
    ASSERT_EQ(out.LabelRenderers.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(out.LabelRenderers[i]) << i;
        EXPECT_EQ(out.MapLayers[i]->Renderer,
                  out.MapLayers[i]->valid() ? out.LabelRenderers[i] : nullptr)
            << i;
    }
    EXPECT_EQ(out.LabelRenderers[0]->field(), "NAME");  // kept though its layer is missing
}

TEST_F(LoadLayersTest, LabelRenderersShareOneFontAndOneHeight) {
    const QVector<LayerInfo> records = {
        record("Areas", "areas", -1, 255, 0, 0, "NAME"),
        record("Roads", "roads", -1, 255, 0, 0, ""),
        record("Ports", "ports", 0, 255, 0, 0, "NAME"),
    };
    const LoadedLayers out = load(records);
    ASSERT_TRUE(out.LabelFont);
    EXPECT_EQ(out.LabelFont->family(), "Arial");
    EXPECT_EQ(out.LabelFont->pointSize(), 10);
    EXPECT_FALSE(out.LabelFont->bold());
    // The full extent spans x from -300 km to 600 km.
    const double height = host.fullExtent().measure() / 600.0;
    EXPECT_DOUBLE_EQ(height, 900000.0 / 600.0);
    for (std::size_t i = 0; i < 3; ++i) {
        const LabelRenderer& r = *out.LabelRenderers[i];
        EXPECT_EQ(r.field(), records[static_cast<qsizetype>(i)].LabelField);
        EXPECT_TRUE(r.drawLabels());
        EXPECT_FALSE(r.allowDuplicates());
        EXPECT_FALSE(r.splitText());
        EXPECT_TRUE(r.flip());
        EXPECT_DOUBLE_EQ(r.textSymbol().height, height);
        EXPECT_EQ(r.textSymbol().font.get(), out.LabelFont.get());  // shared, not copied
    }
}

TEST_F(LoadLayersTest, SearchShapeThroughTheLayer) {
    const LoadedLayers out =
        load({record("Areas", "areas", -1, 255, 0, 0), record("Gone", "nothere", -1, 255, 0, 0)});
    const MapLayer& areas = *out.MapLayers[0];
    struct Case {
        MapPoint p;
        int relation;
        QString filter;
        int count;
        std::optional<QString> name;
    };
    const Case cases[] = {
        {{300000, 300000}, MapLayer::kSearchAtPoint, "", 1, QString("big")},
        {{300000, 300000}, MapLayer::kSearchAtPoint, "NAME = 'big'", 1, QString("big")},
        {{300000, 300000}, MapLayer::kSearchAtPoint, "NAME = 'small'", 0, std::nullopt},
        {{-10, 300000}, MapLayer::kSearchAtPoint, "", 0, std::nullopt},
        {{300000, 300000}, 3, "", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        const ResultSet r = areas.searchShape(c.p, c.relation, c.filter);
        EXPECT_EQ(r.count(), c.count) << c.filter.toStdString();
        EXPECT_EQ(r.value("NAME"), c.name) << c.filter.toStdString();
    }
    const ResultSet hit = areas.searchShape({1, 1}, MapLayer::kSearchAtPoint, "");
    EXPECT_EQ(hit.value("NOFIELD"), std::nullopt);
    EXPECT_FALSE(hit.hasField("NOFIELD"));
    EXPECT_TRUE(hit.hasField("name"));
    EXPECT_FALSE(areas.searchShape({1, 1}, 3, "").error().isEmpty());
    // A layer that failed to load is searched like any other and finds nothing.
    EXPECT_EQ(out.MapLayers[1]->searchShape({1, 1}, MapLayer::kSearchAtPoint, "").count(), 0);
}

TEST_F(LoadLayersTest, ADamagedFileLoadsWhatIsSoundAndIsToldOnceForAllItsLayers) {
    // A copy of the sample map's statistical areas whose fourth record has a vertex at 5e307.
    const QString sample = QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles/statareas.");
    const QString copy = dir.filePath("Shapefiles/statareas.");
    for (const char* ext : {"shp", "shx", "dbf"}) {
        ASSERT_TRUE(QFile::copy(sample + ext, copy + ext));
    }
    const QVector<LayerInfo> records = {record("Areas", "areas", -1, 255, 0, 0),
                                        record("Statistical areas", "statareas", -1, 255, 0, 0),
                                        record("Area outlines", "statareas", -1, 0, 0, 1)};
    const LoadedLayers sound = load(records);
    const MapRect soundExtent = host.fullExtent();
    ASSERT_TRUE(sink.texts.isEmpty());
    ASSERT_TRUE(test::setShapefileCoordinate(copy + "shp", 3, 2, true, 5e307));

    MapLayerList damagedHost;
    RecordingSink damagedSink;
    const LoadedLayers out = LoadLayers(records, dir.path(), damagedHost, damagedSink, {});
    ASSERT_EQ(damagedSink.texts.size(), 1);
    EXPECT_EQ(damagedSink.texts[0],
              "Damaged file:  statareas.shp\n\nStatistical areas: 1 of 1467 records left out; the "
              "damage is in statareas.shp: record 4: a vertex lies outside the box the .shp header "
              "gives.");
    ASSERT_TRUE(out.MapLayers[1]->valid());
    EXPECT_EQ(out.MapLayers[1]->store()->featureCount(),
              sound.MapLayers[1]->store()->featureCount() - 1);
    EXPECT_EQ(damagedHost.size(), 3u);
    // Neither the full extent nor the label height grows.
    const MapRect full = damagedHost.fullExtent();
    EXPECT_GE(full.left, soundExtent.left);
    EXPECT_LE(full.right, soundExtent.right);
    EXPECT_GE(full.bottom, soundExtent.bottom);
    EXPECT_LE(full.top, soundExtent.top);
    EXPECT_LE(out.LabelRenderers[1]->textSymbol().height,
              sound.LabelRenderers[1]->textSymbol().height);
    EXPECT_GT(out.LabelRenderers[1]->textSymbol().height,
              0.99 * sound.LabelRenderers[1]->textSymbol().height);
}

TEST_F(LoadLayersTest, AFieldTheDefinitionNamesAndTheTableLacksIsToldOncePerFile) {
    QVector<LayerInfo> records = {record("Areas", "areas", -1, 255, 0, 0, "nosuch"),
                                  record("Area outlines", "areas", -1, 0, 0, 1, "NOSUCH"),
                                  record("Named areas", "areas", -1, 0, 0, 1, "name")};
    records[2].QueryMode = 2;
    records[2].AttrField = "missing";
    load(records);
    ASSERT_EQ(sink.texts.size(), 2);
    EXPECT_EQ(sink.texts[0],
              "Missing attribute:  nosuch\n\nAreas: the attribute table of areas.shp has no usable "
              "field nosuch; its features are shown without it.");
    EXPECT_TRUE(sink.texts[1].startsWith("Missing attribute:  missing\n\nNamed areas: "))
        << sink.texts[1].toStdString();
}

TEST(MapLayerList, FullExtent) {
    MapLayerList list;
    EXPECT_EQ(list.fullExtent(), MapLayerList::kEmptyExtent);
    list.addLayer(std::make_shared<MapLayer>());  // without data: not counted
    EXPECT_EQ(list.fullExtent(), MapLayerList::kEmptyExtent);
}

}  // namespace
}  // namespace pelagon
