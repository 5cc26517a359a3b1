#include "app/FileMenu.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

namespace pelagon {

namespace {

QString escapedForMenu(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

FileMenu::FileMenu(QMenuBar* bar, std::function<QStringList()> recentMaps, QObject* parent)
    : QObject(parent), recentMaps_(std::move(recentMaps)) {
    menu_ = bar->addMenu(QStringLiteral("&File"));
    menu_->setObjectName(QStringLiteral("FileMenu"));

    open_ = menu_->addAction(QStringLiteral("&Open map…"));
    open_->setObjectName(QStringLiteral("OpenMapAction"));
    open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    open_->setStatusTip(QStringLiteral("Choose another map definition and open it here"));
    connect(open_, &QAction::triggered, this, &FileMenu::openMapRequested);

    openPositions_ = menu_->addAction(QStringLiteral("Open &positions…"));
    openPositions_->setObjectName(QStringLiteral("OpenPositionsAction"));
    openPositions_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    openPositions_->setStatusTip(
        QStringLiteral("Show the positions of a CSV or GPX file on the map, with what lies there"));
    connect(openPositions_, &QAction::triggered, this, &FileMenu::openPositionsRequested);

    recent_ = menu_->addMenu(QStringLiteral("&Recent maps"));
    recent_->setObjectName(QStringLiteral("RecentMapsMenu"));
    recent_->setToolTipsVisible(true);

    saveView_ = menu_->addAction(QStringLiteral("&Save view as…"));
    saveView_->setObjectName(QStringLiteral("SaveViewAction"));
    saveView_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveView_->setStatusTip(
        QStringLiteral("Save the map as shown to a PNG, JPEG, TIFF, PDF or SVG file"));
    connect(saveView_, &QAction::triggered, this, &FileMenu::saveViewRequested);

    menu_->addSeparator();
    quit_ = menu_->addAction(QStringLiteral("&Quit"));
    quit_->setObjectName(QStringLiteral("QuitAction"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setMenuRole(QAction::QuitRole);
    connect(quit_, &QAction::triggered, this, &FileMenu::quitRequested);

    // The list changes while the viewer runs (maps opened, files removed): read it when shown.
    connect(menu_, &QMenu::aboutToShow, this, &FileMenu::refreshRecent);
    connect(recent_, &QMenu::aboutToShow, this, &FileMenu::refreshRecent);
    refreshRecent();
}

QString FileMenu::entryText(int number, const QString& path) {
    const QFileInfo info(path);
    return QStringLiteral("&%1 %2 — %3")
        .arg(number)
        .arg(escapedForMenu(info.fileName()),
             escapedForMenu(QDir::toNativeSeparators(info.path())));
}

void FileMenu::refreshRecent() {
    recent_->clear();
    const QStringList paths = recentMaps_ ? recentMaps_() : QStringList();
    int number = 0;
    for (const QString& path : paths) {
        QAction* entry = recent_->addAction(entryText(++number, path));
        entry->setData(path);
        if (QFileInfo(path).isFile()) {
            entry->setToolTip(QDir::toNativeSeparators(path));
        } else {
            entry->setEnabled(false);
            entry->setToolTip(
                QStringLiteral("%1 no longer exists").arg(QDir::toNativeSeparators(path)));
        }
        connect(entry, &QAction::triggered, this, [this, path] { emit recentMapChosen(path); });
    }
    if (!paths.isEmpty()) {
        recent_->addSeparator();
        QAction* clear = recent_->addAction(QStringLiteral("&Clear recent maps"));
        clear->setObjectName(QStringLiteral("ClearRecentMapsAction"));
        connect(clear, &QAction::triggered, this, &FileMenu::clearRecentRequested);
    }
    recent_->setEnabled(!paths.isEmpty());
}

}  // namespace pelagon
