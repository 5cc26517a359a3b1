// The shading of a layer's areas by the hours of a positions file (part of PositionsController).
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>

#include "app/Mapform.h"
#include "app/PositionsController.h"
#include "app/PositionsWindow.h"
#include "app/ShadeDialog.h"
#include "canvas/MapCanvas.h"
#include "common/MessageSink.h"
#include "legend/LayerListForm.h"
#include "query/PositionSet.h"
#include "render/MapLayer.h"

namespace pelagon {

void PositionsController::shadeDialog(PositionsWindow* window,
                                      const std::shared_ptr<const PositionSet>& set) {
    static const std::vector<qint64> none;
    const std::vector<qint64>* times = &none;
    for (const auto& [of, t] : times_) {
        if (of == set.get() && t) {
            times = t.get();
        }
    }
    ShadeDialog dialog(*set, *times, window);
    if (dialog.exec() == QDialog::Accepted) {
        shadeAreas(set, dialog.request());
    }
}

void PositionsController::shadeAreas(const std::shared_ptr<const PositionSet>& set,
                                     const ShadeRequest& request) {
    const int run = ++shadeRun_;
    const std::vector<std::shared_ptr<MapLayer>> layers = map_.MapLayers;
    QPointer<PositionsController> self(this);
    QThreadPool::globalInstance()->start([=] {
        std::shared_ptr<const AreaShade> shade = computeAreaShade(*set, layers, request);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, run, set, shade] {
                if (!self || run != self->shadeRun_) {
                    return;  // the map went, or a later request took its place
                }
                PositionsController& c = *self;
                const bool open = std::any_of(
                    c.windows_.begin(), c.windows_.end(), [&](const QPointer<PositionsWindow>& w) {
                        return w && w->model()->positions().get() == set.get();
                    });
                if (!open || !shade) {
                    return;  // the file was closed meanwhile
                }
                if (shade->areas.empty()) {
                    // Nothing to shade: what an earlier choice shaded would pass for this one's.
                    c.clearShading();
                    c.messages_.information(
                        QStringLiteral("Shade areas by hours"),
                        QStringLiteral("No vessel of %1 spent time in the areas of %2 (%3): "
                                       "no area is shaded.")
                            .arg(shade->fileName, shade->layerName, shade->choice()));
                    return;
                }
                c.showShading(shade, set.get());
            },
            Qt::QueuedConnection);
    });
}

void PositionsController::showShading(const std::shared_ptr<const AreaShade>& shade,
                                      const PositionSet* set) {
    takeShadingOff();
    shade_ = shade;
    shadeSet_ = set;
    const auto record = static_cast<std::size_t>(shade->record);
    if (record < map_.MapLayers.size() && map_.MapLayers[record]) {
        map_.MapLayers[record]->setOverdraw(std::make_shared<ShadeFill>(shade));
    }
    if (LayerListForm* legend = map_.legend()) {
        LegendClasses classes;
        classes.caption = shade->caption();
        for (std::size_t k = 0; k < shade->classes.upper.size(); ++k) {
            const int c = static_cast<int>(k);
            classes.rows.append({ShadeFill::fill(shade->classes, c), shade->classes.label(c)});
        }
        legend->setLayerClasses(shade->record, classes);
    }
    for (const QPointer<PositionsWindow>& w : windows_) {
        if (w) {
            w->clearShadeButton()->setEnabled(w->model()->positions().get() == set);
        }
    }
    map_.theMap->refresh();
    emit shadingChanged();
}

void PositionsController::takeShadingOff() {
    if (!shade_) {
        return;
    }
    const auto record = static_cast<std::size_t>(shade_->record);
    if (record < map_.MapLayers.size() && map_.MapLayers[record]) {
        map_.MapLayers[record]->setOverdraw(nullptr);
    }
    if (LayerListForm* legend = map_.legend()) {
        legend->setLayerClasses(shade_->record, {});
    }
    shade_.reset();
    shadeSet_ = nullptr;
}

void PositionsController::clearShading() {
    ++shadeRun_;
    const bool shown = shade_ != nullptr;
    takeShadingOff();
    for (const QPointer<PositionsWindow>& w : windows_) {
        if (w) {
            w->clearShadeButton()->setEnabled(false);
        }
    }
    if (shown) {
        map_.theMap->refresh();
        emit shadingChanged();
    }
}

}  // namespace pelagon
