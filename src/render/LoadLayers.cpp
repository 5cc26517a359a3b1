#include "render/LoadLayers.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "common/EchoText.h"
#include "common/MessageSink.h"
#include "render/LabelRenderer.h"
#include "render/LayerHost.h"
#include "render/MapLayer.h"
#include "store/FeatureStore.h"
#include "store/LayerFiles.h"

namespace pelagon {

LoadedLayers LoadLayers(const QVector<LayerInfo>& LayerInfos, const QString& mapFolder,
                        LayerHost& host, MessageSink& messages, const LegendCallbacks& legend) {
    LoadedLayers out;
    const std::size_t count = static_cast<std::size_t>(LayerInfos.size());
    out.MapLayers.resize(count);
    out.LabelRenderers.resize(count);
    out.LabelFont = std::make_shared<QFont>(QStringLiteral("Arial"), 10);
    out.LabelFont->setBold(false);

    const QString shapefiles = QDir(mapFolder).filePath(QStringLiteral("Shapefiles"));
    std::vector<QString> paths;
    for (const LayerInfo& r : LayerInfos) {
        paths.push_back(shapefiles + QLatin1Char('/') + r.ShapeFile);
    }
    std::vector<StoreOpenResult> opened = openLayerFiles(paths);
    // A damaged file, or a field missing from one, is told once however many layers use it.
    QSet<QString> told;

    for (std::size_t i = 0; i < count; ++i) {
        const LayerInfo& r = LayerInfos[static_cast<qsizetype>(i)];
        auto layer = std::make_shared<MapLayer>();
        out.MapLayers[i] = layer;
        layer->setData(paths[i], std::move(opened[i]));
        layer->symbol().setColor(r.SymbolColor);
        layer->symbol().setStyle(r.SymbolStyle);
        if (layer->symbol().symbolType() == 2) {
            layer->symbol().setOutlineColor(r.BorderColor);
        }
        layer->setVisible(r.Visible != 0);
        if (!layer->valid()) {
            if (layer->openError().kind == StoreError::Kind::NotFound) {
                messages.error(QString(),
                               QStringLiteral("Could not find layer:  ") + echoValue(r.ShapeFile));
            } else {
                messages.error(QString(), QStringLiteral("Could not read layer:  ") +
                                              echoValue(r.ShapeFile) + QStringLiteral("\n\n") +
                                              layer->openError().message);
            }
            continue;
        }
        host.addLayer(layer);
        // A damaged file loads what could be read soundly; the user is told what was not,
        // once for each file at fault.
        const FeatureStore& store = *layer->store();
        const QDir folder = QFileInfo(store.path()).absoluteDir();
        for (const FileDamage& f : store.damage().files) {
            if (!told.contains(folder.absoluteFilePath(f.file))) {
                told.insert(folder.absoluteFilePath(f.file));
                messages.error(QString(), QStringLiteral("Damaged file:  ") + f.file +
                                              QStringLiteral("\n\n") + r.LayerName +
                                              QStringLiteral(": ") + store.damage().summary(f));
            }
        }
        // The fields the definition names for labels and answers must be in the table.
        for (const QString& field : {r.LabelField, r.QueryMode == 2 ? r.AttrField : QString()}) {
            const QString key = store.path() + QLatin1Char('\n') + field.toLower();
            if (!field.isEmpty() && store.fieldIndex(field) < 0 && !told.contains(key)) {
                told.insert(key);
                messages.error(QString(),
                               QStringLiteral("Missing attribute:  ") + echoValue(field) +
                                   QStringLiteral("\n\n") + r.LayerName +
                                   QStringLiteral(": the attribute table of %1 has no usable "
                                                  "field %2; its features are shown without it.")
                                       .arg(QFileInfo(store.path()).fileName(), echoValue(field)));
            }
        }
        if (legend.AddToLayerListForm) {
            legend.AddToLayerListForm(static_cast<qint16>(i), r.LayerName, r.Visible, r.SymbolColor,
                                      r.BorderColor, r.SymbolStyle,
                                      static_cast<qint16>(layer->shapeType()));
        }
    }
    if (legend.placeScrollbar) {
        legend.placeScrollbar();
    }

    const double height = host.fullExtent().measure() / 600.0;
    for (std::size_t i = 0; i < count; ++i) {
        const LayerInfo& r = LayerInfos[static_cast<qsizetype>(i)];
        auto renderer = std::make_shared<LabelRenderer>();
        out.LabelRenderers[i] = renderer;
        renderer->setField(r.LabelField);
        renderer->setOptions(true, false, false, true);
        renderer->textSymbol().height = height;
        renderer->textSymbol().font = out.LabelFont;
        // A layer that is not on the map keeps no renderer: its renderer is attached to nothing.
        if (out.MapLayers[i]->valid()) {
            out.MapLayers[i]->Renderer = renderer;
        }
    }
    return out;
}

}  // namespace pelagon
