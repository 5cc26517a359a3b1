// The shading of a layer's areas by the hours of a positions file (part of PositionsController).
#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>

#include "app/Mapform.h"
#include "app/PositionsController.h"
#include "app/PositionsWindow.h"
#include "app/ShadeDialog.h"
#include "canvas/MapCanvas.h"
#include "common/MessageSink.h"
#include "query/PositionSet.h"

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
                    c.messages_.information(
                        QStringLiteral("Shade areas by hours"),
                        QStringLiteral("No vessel of %1 spent time in the areas of %2 (%3).")
                            .arg(QFileInfo(set->path).fileName(), shade->layerName,
                                 shade->periodText.isEmpty() ? QStringLiteral("whole file")
                                                             : shade->periodText));
                    return;
                }
                c.shade_.set(shade);
                c.shadeSet_ = set.get();
                for (const QPointer<PositionsWindow>& w : c.windows_) {
                    if (w) {
                        w->clearShadeButton()->setEnabled(w->model()->positions().get() ==
                                                          set.get());
                    }
                }
                c.map_.theMap->refreshPictures();
                c.map_.theMap->update();
                emit c.shadingChanged();
            },
            Qt::QueuedConnection);
    });
}

void PositionsController::clearShading() {
    ++shadeRun_;
    const bool shown = shade_.shade() != nullptr;
    shade_.set(nullptr);
    shadeSet_ = nullptr;
    for (const QPointer<PositionsWindow>& w : windows_) {
        if (w) {
            w->clearShadeButton()->setEnabled(false);
        }
    }
    if (shown) {
        map_.theMap->refreshPictures();
        map_.theMap->update();
        emit shadingChanged();
    }
}

}  // namespace pelagon
