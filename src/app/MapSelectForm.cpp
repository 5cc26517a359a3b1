#include "app/MapSelectForm.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStorageInfo>
#include <QStringListModel>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "common/MessageSink.h"
#include "common/Twips.h"

namespace pelagon {

namespace {

// Mount points that hold no user files.
bool isSystemMount(const QString& root) {
    static const char* const kPrefixes[] = {"/proc", "/sys", "/dev", "/run", "/snap", "/boot/efi"};
    for (const char* prefix : kPrefixes) {
        const QString p = QLatin1String(prefix);
        if (root == p || root.startsWith(p + QLatin1Char('/'))) {
            return !root.startsWith(QStringLiteral("/run/media/"));
        }
    }
    return false;
}

QStringList volumeRoots() {
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady() || isSystemMount(v.rootPath())) {
            continue;
        }
        roots.append(v.rootPath());
    }
    const QString current = QStorageInfo(QDir::currentPath()).rootPath();
    if (!current.isEmpty() && !roots.contains(current)) {
        roots.append(current);
    }
    if (!roots.contains(QStringLiteral("/"))) {
        roots.append(QStringLiteral("/"));
    }
    roots.sort();
    roots.removeDuplicates();
    return roots;
}

}  // namespace

MapSelectForm::MapSelectForm(MessageSink& messages, OpenMap open, QWidget* parent)
    : QWidget(parent, Qt::Window), messages_(messages), open_(std::move(open)) {
    setObjectName(QStringLiteral("MapSelectForm"));
    setWindowTitle(QStringLiteral("Brenta Dudadiruz Pelagon -- Select a Map"));

    LblRecent = new QLabel(QStringLiteral("Recent maps:"), this);
    LblRecent->setObjectName(QStringLiteral("LblRecent"));
    RecentList = new QListWidget(this);
    RecentList->setObjectName(QStringLiteral("RecentList"));
    RecentList->setSelectionMode(QAbstractItemView::SingleSelection);
    RecentList->setTextElideMode(Qt::ElideMiddle);
    LblRecent->setBuddy(RecentList);
    LblRecent->hide();
    RecentList->hide();

    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    // The folder tree shows every name whole: its one column is as wide as the widest name
    // shown, and the tree scrolls sideways where that is wider than the tree.
    Dir1 = new QTreeView(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    dirModel_ = new QFileSystemModel(this);
    dirModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    dirModel_->setRootPath(QStringLiteral("/"));
    Dir1->setModel(dirModel_);
    revealTimer_ = new QTimer(this);
    revealTimer_->setSingleShot(true);
    revealTimer_->setInterval(100);
    connect(revealTimer_, &QTimer::timeout, this, [this] {
        const QModelIndex current = dirModel_->index(folder_);
        if (current.isValid()) {
            Dir1->scrollTo(current, QAbstractItemView::PositionAtCenter);
        }
    });
    for (int c = 1; c < dirModel_->columnCount(); ++c) {
        Dir1->hideColumn(c);
    }
    Dir1->header()->hide();
    Dir1->header()->setStretchLastSection(false);
    Dir1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    Dir1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Dir1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Dir1->setTextElideMode(Qt::ElideNone);
    Dir1->setRootIndex(QModelIndex());

    File1 = new QListView(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setModel(new QStringListModel(this));
    File1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    File1->setTextElideMode(Qt::ElideNone);
    File1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    CmdGetMap = new QPushButton(QStringLiteral("OK"), this);
    CmdGetMap->setObjectName(QStringLiteral("CmdGetMap"));
    CmdGetMap->setDefault(true);
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    // Esc, as in any dialog, does what Cancel does: the chooser closes.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    connect(CmdCancel, &QPushButton::clicked, this, &QWidget::close);

    // The recent maps (when there are any) above the drive list and the folder tree on the left
    // and the map definitions on the right; OK and Cancel below. The lists take the room the
    // window gives them.
    auto* lists = new QGridLayout;
    lists->addWidget(Drive1, 0, 0);
    lists->addWidget(Dir1, 1, 0);
    lists->addWidget(File1, 0, 1, 2, 1);
    lists->setRowStretch(1, 1);
    lists->setColumnStretch(0, 4);
    lists->setColumnStretch(1, 5);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdGetMap);
    buttons->addWidget(CmdCancel);
    auto* all = new QVBoxLayout(this);
    all->addWidget(LblRecent);
    all->addWidget(RecentList);
    all->addLayout(lists, 1);
    all->addLayout(buttons);
    resize(defaultSize());

    const QString current = QDir::currentPath();
    const QString currentRoot = QStorageInfo(current).rootPath();
    for (const QString& root : volumeRoots()) {
        Drive1->addItem(root, root);
    }
    Drive1->setCurrentIndex(std::max(0, Drive1->findData(currentRoot)));
    setFolder(current);

    connect(dirModel_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        if (folder_ == loaded || folder_.startsWith(loaded + QLatin1Char('/')) ||
            loaded == QStringLiteral("/")) {
            revealFolder();
        }
    });
    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(Dir1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { Dir1_Change(); });
    connect(File1, &QListView::doubleClicked, this, [this] { LoadSelectedMap(); });
    connect(CmdGetMap, &QPushButton::clicked, this, [this] { CmdGetMap_Click(); });
    connect(RecentList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { showRecentMap(item->data(Qt::UserRole).toString()); });
    connect(RecentList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (showRecentMap(item->data(Qt::UserRole).toString())) {
            LoadSelectedMap();
        }
    });
}

void MapSelectForm::setRecentMaps(const QStringList& paths) {
    RecentList->clear();
    for (const QString& path : paths) {
        const QFileInfo info(path);
        auto* item = new QListWidgetItem(
            QStringLiteral("%1 — %2").arg(info.fileName(), QDir::toNativeSeparators(info.path())),
            RecentList);
        item->setData(Qt::UserRole, path);
        if (info.isFile()) {
            item->setToolTip(QDir::toNativeSeparators(path));
        } else {
            // Greyed out: a map on a drive that is not there today, or one since removed.
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            item->setToolTip(
                QStringLiteral("%1 no longer exists").arg(QDir::toNativeSeparators(path)));
        }
    }
    layOutRecent();
}

QStringList MapSelectForm::recentMaps() const {
    QStringList paths;
    for (int i = 0; i < RecentList->count(); ++i) {
        paths.append(RecentList->item(i)->data(Qt::UserRole).toString());
    }
    return paths;
}

void MapSelectForm::layOutRecent() {
    const int count = RecentList->count();
    LblRecent->setVisible(count > 0);
    RecentList->setVisible(count > 0);
    if (count > 0) {
        // Tall enough for every entry (eight at most).
        RecentList->setFixedHeight(RecentList->sizeHintForRow(0) * count +
                                   2 * RecentList->frameWidth());
    }
    if (!isVisible()) {
        // Opens at its usual size, with the band above the lists.
        if (layout() != nullptr) {
            layout()->activate();
        }
        resize(defaultSize());
    }
}

QSize MapSelectForm::defaultSize() const {
    QSize size(twipsToPixels(kDefaultWidthTwips, logicalDpiX()),
               twipsToPixels(kDefaultHeightTwips, logicalDpiY()));
    if (!RecentList->isHidden()) {
        size.rheight() += LblRecent->sizeHint().height() + RecentList->height() +
                          2 * layout()->spacing();
    }
    size = size.expandedTo(minimumSizeHint());
    if (const QScreen* where = screen()) {
        size = size.boundedTo(where->availableGeometry().size());
    }
    return size;
}

bool MapSelectForm::showRecentMap(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        return false;
    }
    const QString folder = info.absolutePath();
    setDrive(QStorageInfo(folder).rootPath());
    setFolder(folder);
    return selectFile(info.fileName());
}

QString MapSelectForm::currentDrive() const {
    return Drive1->currentData().toString();
}

QString MapSelectForm::folderPath() const {
    return folder_;
}

QString MapSelectForm::selectedFile() const {
    const QModelIndex index = File1->currentIndex();
    if (!index.isValid() || !File1->selectionModel()->isSelected(index)) {
        return QString();
    }
    return index.data().toString();
}

void MapSelectForm::setDrive(const QString& rootPath) {
    const int i = Drive1->findData(rootPath);
    if (i >= 0) {
        Drive1->setCurrentIndex(i);
    }
}

void MapSelectForm::Drive1_Change() {
    // A volume's current folder: the process's working folder when it lies on that volume,
    // otherwise the volume's root.
    const QString root = currentDrive();
    const QString cwd = QDir::currentPath();
    if (QStorageInfo(cwd).rootPath() == root) {
        setFolder(cwd);
    } else {
        setFolder(root);
    }
}

void MapSelectForm::setFolder(const QString& path) {
    const QModelIndex index = dirModel_->index(QDir(path).absolutePath());
    if (index.isValid()) {
        Dir1->setCurrentIndex(index);
    }
    if (folder_ != QDir(path).absolutePath()) {
        folder_ = QDir(path).absolutePath();
        Dir1_Change();
    }
    revealFolder();
}

void MapSelectForm::revealFolder() {
    // The tree fills itself in the background: open the folder's ancestors as they arrive and
    // keep the folder in view.
    const QModelIndex index = dirModel_->index(folder_);
    for (QModelIndex i = index; i.isValid(); i = i.parent()) {
        Dir1->expand(i);
    }
    // Scroll once the folders being read have arrived and the view has laid them out.
    revealTimer_->start();
}

void MapSelectForm::Dir1_Change() {
    const QModelIndex index = Dir1->currentIndex();
    if (index.isValid()) {
        folder_ = dirModel_->filePath(index);
    }
    QDir dir(folder_);
    QStringList files = dir.entryList({QStringLiteral("*.mv"), QStringLiteral("*.MV"),
                                       QStringLiteral("*.Mv"), QStringLiteral("*.mV")},
                                      QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    files.removeDuplicates();
    static_cast<QStringListModel*>(File1->model())->setStringList(files);
}

QStringList MapSelectForm::listedFiles() const {
    return static_cast<QStringListModel*>(File1->model())->stringList();
}

bool MapSelectForm::selectFile(const QString& name) {
    const int row = listedFiles().indexOf(name);
    if (row < 0) {
        return false;
    }
    const QModelIndex index = File1->model()->index(row, 0);
    File1->setCurrentIndex(index);
    File1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    return true;
}

void MapSelectForm::CmdGetMap_Click() {
    LoadSelectedMap();
}

void MapSelectForm::LoadSelectedMap() {
    const QString name = selectedFile();
    if (name.isEmpty()) {
        messages_.error(QString(), QStringLiteral("No map definition is selected in %1.\n\n"
                                                  "Choose a .mv file from the list, then press OK.")
                                       .arg(QDir::toNativeSeparators(folder_)));
        return;
    }
    if (!QDir::setCurrent(folder_)) {
        messages_.error(QString(), QStringLiteral("The folder %1 cannot be opened.")
                                       .arg(QDir::toNativeSeparators(folder_)));
        return;
    }
    theMapFile = QDir(folder_).absoluteFilePath(name);
    open_(theMapFile);
}

}  // namespace pelagon
