#include "app/AppController.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include "app/FileMenu.h"
#include "app/MapSelectForm.h"
#include "app/Mapform.h"
#include "app/PositionsController.h"
#include "app/TheMDIform.h"
#include "app/ViewMenu.h"
#include "app/WindowMenu.h"
#include "common/MessageSink.h"
#include "reports/DocumentWindow.h"

namespace pelagon {

namespace {

// How often a handed-over map checks again whether the viewer has become free.
constexpr int kPendingRetryMs = 200;

}  // namespace

AppController::AppController(MessageSink& messages, PageViewFactory makePageView, QObject* parent)
    : QObject(parent),
      messages_(messages),
      makePageView_(std::move(makePageView)),
      recent_(settings_),
      endProgram_([](int code) { QCoreApplication::exit(code); }),
      pendingTimer_(new QTimer(this)) {
    pendingTimer_->setSingleShot(true);
    connect(pendingTimer_, &QTimer::timeout, this, [this] { openPending(); });
}

AppController::~AppController() {
    delete frame_;
    delete chooser_;
}

void AppController::showChooser() {
    const bool overMap = mapform_ && frame_ && frame_->isVisible();
    if (chooser_ && overMap && chooser_->parentWidget() != frame_) {
        // Made at start, before the frame existed: a new one opens over the frame.
        retireChooser();
    }
    if (!chooser_) {
        chooser_ = new MapSelectForm(
            messages_, [this](const QString& f) { return loadMap(f); },
            overMap ? frame_.data() : nullptr);
        chooser_->setAttribute(Qt::WA_DeleteOnClose, false);
        if (overMap) {
            chooser_->setWindowModality(Qt::WindowModal);
        }
    }
    chooser_->setRecentMaps(recent_.paths());
    if (chooser_->parentWidget() != nullptr && !chooser_->isVisible()) {
        // Centred over the frame, also where no window manager places it.
        chooser_->move(frame_->geometry().center() - chooser_->rect().center());
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

void AppController::retireChooser() {
    if (MapSelectForm* chooser = chooser_) {
        chooser_ = nullptr;
        chooser->hide();
        chooser->deleteLater();
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

void AppController::createFrame() {
    frame_ = new TheMDIform;
    frame_->installEventFilter(this);
    fileMenu_ = new FileMenu(
        frame_->menuBar(), [this] { return recent_.paths(); }, frame_);
    connect(fileMenu_, &FileMenu::openMapRequested, this, [this] { showChooser(); });
    connect(fileMenu_, &FileMenu::openPositionsRequested, this, [this] {
        if (mapform_ && mapform_->positions() != nullptr) {
            mapform_->positions()->openDialog();
        }
    });
    connect(fileMenu_, &FileMenu::recentMapChosen, this,
            [this](const QString& path) { openMapFile(path); });
    connect(fileMenu_, &FileMenu::clearRecentRequested, this, [this] { recent_.clear(); });
    connect(fileMenu_, &FileMenu::saveViewRequested, this, [this] {
        if (mapform_) {
            mapform_->saveViewAs();
        }
    });
    connect(fileMenu_->menu(), &QMenu::aboutToShow, this,
            [this] { fileMenu_->saveViewAction()->setEnabled(mapform_ != nullptr); });
    viewMenu_ = new ViewMenu(
        frame_->menuBar(),
        [this] {
            ViewMenu::State s;
            s.mapOpen = mapform_ != nullptr;
            if (mapform_) {
                s.scaleBar = mapform_->theMap->decorations().scaleBar;
                s.graticule = mapform_->theMap->decorations().graticule;
                s.havePosition = mapform_->lastPosition().has_value();
            }
            return s;
        },
        frame_);
    connect(viewMenu_, &ViewMenu::scaleBarToggled, this, [this](bool on) {
        if (mapform_) {
            mapform_->setScaleBarShown(on);
        }
    });
    connect(viewMenu_, &ViewMenu::graticuleToggled, this, [this](bool on) {
        if (mapform_) {
            mapform_->setGraticuleShown(on);
        }
    });
    connect(viewMenu_, &ViewMenu::goToPositionRequested, this, [this] {
        if (mapform_) {
            mapform_->focusPositionField();
        }
    });
    connect(viewMenu_, &ViewMenu::copyPositionRequested, this, [this] {
        if (mapform_ && mapform_->lastPosition()) {
            mapform_->copyPosition(*mapform_->lastPosition());
        }
    });
    windowMenu_ = new WindowMenu(
        frame_->menuBar(), frame_->mdiArea(),
        [this] {
            QList<QMdiSubWindow*> layout;
            if (mapform_ && mapform_->subWindow() != nullptr) {
                layout.append(mapform_->subWindow());
                if (mapform_->legendWindow() != nullptr) {
                    layout.append(mapform_->legendWindow());
                }
            }
            return layout;
        },
        frame_);
    connect(windowMenu_, &WindowMenu::restoreLayoutRequested, this, [this] {
        if (mapform_) {
            mapform_->restoreMapLayout();
        }
    });
    connect(fileMenu_, &FileMenu::quitRequested, this, [this] {
        if (chooser_) {
            chooser_->close();
        }
        endProgram_(0);
    });
}

bool AppController::eventFilter(QObject* watched, QEvent* event) {
    // Closing the frame ends the program: the chooser that was open over it goes too.
    // The event's type is asked first: the frame's own destructor sends it events too, and a
    // frame being destroyed is no longer one to compare as such.
    if (event->type() == QEvent::Close && watched == frame_ && event->isAccepted() && chooser_ &&
        chooser_->parentWidget() == frame_) {
        chooser_->hide();
    }
    return QObject::eventFilter(watched, event);
}

bool AppController::loadMap(const QString& theMapFile) {
    if (loading_) {
        return false;
    }
    loading_ = true;
    const QPointer<Mapform> previous = mapform_;
    const QString previousFolder = previous ? previous->BaseDir : QString();
    if (!frame_) {
        createFrame();
    }
    if (!previous) {
        frame_->setWindowTitle(QStringLiteral("MDIForm1"));
        // The frame opens maximized. Its geometry is set to the screen's available area first,
        // so it has that size also where no window manager applies the maximization.
        if (QScreen* screen = frame_->screen()) {
            frame_->setGeometry(screen->availableGeometry());
        }
        frame_->showMaximized();
    }

    MapformContext ctx;
    ctx.frame = frame_;
    ctx.messages = &messages_;
    ctx.theMapFile = theMapFile;
    ctx.closeChooser = [this] { closeChooser(); };
    ctx.makePageView = makePageView_;
    ctx.makePrinterDialog = makePrinterDialog_;
    if (!previous) {
        ctx.endProgram = [this](int code) {
            ending_ = true;
            endProgram_(code);
        };
    }
    // A map that replaces the open one loads out of sight: the open map, its windows and the
    // frame's caption stay as they are until the new map has loaded, and stay on when it cannot.
    ctx.hiddenUntilLoaded = previous != nullptr;
    mapform_ = new Mapform(ctx);
    frame_->addChild(mapform_, !ctx.hiddenUntilLoaded);
    const bool loaded = mapform_->Form_Load();
    loading_ = false;

    if (loaded) {
        if (previous && frame_) {
            // The open map's windows go: the frame's child windows and the document windows its
            // pages opened.
            QList<QPointer<DocumentWindow>> documents;
            for (DocumentWindow* window : frame_->findChildren<DocumentWindow*>()) {
                documents.append(window);
            }
            discardMap(previous);
            for (const QPointer<DocumentWindow>& window : documents) {
                delete window;
            }
            frame_->setWindowTitle(mapform_->frameCaption());
            mapform_->showWindows();
        }
        recent_.add(theMapFile);
        // The chooser is made anew when it is needed again.
        retireChooser();
        if (!pending_.isEmpty()) {
            pendingTimer_->start(0);
        }
        return true;
    }
    discardMap(mapform_);
    mapform_ = previous;
    if (previous) {
        QDir::setCurrent(previousFolder);
    } else {
        frame_->hide();
    }
    if (!ending_) {
        showChooser();
    }
    if (!pending_.isEmpty()) {
        pendingTimer_->start(0);
    }
    return false;
}

void AppController::discardMap(Mapform* map) {
    if (map) {
        QMdiSubWindow* sub = map->subWindow();
        delete map;
        delete sub;
    }
}

void AppController::requestOpen(const QString& path, const QStringList& positions) {
    pending_.append({path, positions});
    pendingTimer_->start(0);
}

void AppController::openPending() {
    if (pending_.isEmpty() || ending_) {
        return;
    }
    // Not inside a load or under a message box or dialog: those wait for the user, and the map
    // they belong to must not change underneath them. The chooser is the exception: the map
    // handed over is the user's choice.
    QWidget* modal = QApplication::activeModalWidget();
    if (loading_ || (modal != nullptr && modal != chooser_)) {
        pendingTimer_->start(kPendingRetryMs);
        return;
    }
    const PendingOpen next = pending_.takeFirst();
    if (chooser_ && mapform_) {
        chooser_->hide();
    }
    if (openMapFile(next.map)) {
        openPositions(next.positions);
    }
    // The viewer comes to the front; the chooser stays above the frame when it came back.
    if (frame_ && frame_->isVisible()) {
        frame_->raise();
        frame_->activateWindow();
    }
    if (chooser_ && chooser_->isVisible()) {
        chooser_->raise();
        chooser_->activateWindow();
    }
    if (!pending_.isEmpty()) {
        pendingTimer_->start(0);
    }
}

bool AppController::openPositions(const QStringList& files) {
    if (!mapform_) {
        return false;
    }
    for (const QString& file : files) {
        mapform_->positions()->openFile(file);
    }
    return true;
}

}  // namespace pelagon
