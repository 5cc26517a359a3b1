#include "app/AppController.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QScreen>

#include "app/MapSelectForm.h"
#include "app/Mapform.h"
#include "app/TheMDIform.h"
#include "common/MessageSink.h"

namespace pelagon {

AppController::AppController(MessageSink& messages, PageViewFactory makePageView, QObject* parent)
    : QObject(parent),
      messages_(messages),
      makePageView_(std::move(makePageView)),
      endProgram_([](int code) { QCoreApplication::exit(code); }) {}

AppController::~AppController() {
    delete frame_;
    delete chooser_;
}

void AppController::showChooser() {
    if (!chooser_) {
        chooser_ = new MapSelectForm(messages_, [this](const QString& f) { return loadMap(f); });
        chooser_->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    chooser_->show();
    chooser_->raise();
    chooser_->activateWindow();
}

void AppController::closeChooser() {
    if (chooser_) {
        chooser_->hide();
    }
}

bool AppController::openMapFile(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!info.isFile()) {
        messages_.error(QString(), QStringLiteral("The map definition %1 does not exist.")
                                       .arg(QDir::toNativeSeparators(info.absoluteFilePath())));
    } else if (!QDir::setCurrent(folder)) {
        messages_.error(QString(), QStringLiteral("The folder %1 cannot be opened.")
                                       .arg(QDir::toNativeSeparators(folder)));
    } else if (loadMap(info.absoluteFilePath())) {
        return true;
    }
    if (ending_) {
        return false;
    }
    showChooser();
    if (QFileInfo(folder).isDir()) {
        chooser_->setFolder(folder);
    }
    return false;
}

bool AppController::loadMap(const QString& theMapFile) {
    discardMap();
    if (!frame_) {
        frame_ = new TheMDIform;
    }
    frame_->setWindowTitle(QStringLiteral("MDIForm1"));
    // The frame opens maximized. Its geometry is set to the screen's available area first, so it
    // has that size also where no window manager applies the maximization.
    if (QScreen* screen = frame_->screen()) {
        frame_->setGeometry(screen->availableGeometry());
    }
    frame_->showMaximized();

    MapformContext ctx;
    ctx.frame = frame_;
    ctx.messages = &messages_;
    ctx.theMapFile = theMapFile;
    ctx.closeChooser = [this] { closeChooser(); };
    ctx.makePageView = makePageView_;
    ctx.makePrinterDialog = makePrinterDialog_;
    ctx.endProgram = [this](int code) {
        ending_ = true;
        endProgram_(code);
    };
    mapform_ = new Mapform(ctx);
    frame_->addChild(mapform_);
    if (mapform_->Form_Load()) {
        // The chooser is not used again in this run.
        if (chooser_) {
            chooser_->deleteLater();
        }
        return true;
    }
    discardMap();
    frame_->hide();
    if (!ending_) {
        showChooser();
    }
    return false;
}

void AppController::discardMap() {
    if (mapform_) {
        QMdiSubWindow* sub = mapform_->subWindow();
        delete mapform_;
        delete sub;
    }
}

}  // namespace pelagon
