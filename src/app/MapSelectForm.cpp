#include "app/MapSelectForm.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStringListModel>
#include <QTimer>
#include <QTreeView>

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

    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    auto place = [&](QWidget* w, double l, double t, double wd, double h) {
        w->setGeometry(twipsToPixels(l, dpiX), twipsToPixels(t, dpiY), twipsToPixels(wd, dpiX),
                       twipsToPixels(h, dpiY));
    };
    // The lists and "OK" keep their places inside a client area of 7545 x 4065 twips; the recent
    // maps, when there are any, take a band above it.
    choicesSize_ = QSize(twipsToPixels(7545, dpiX), twipsToPixels(4065, dpiY));
    choices_ = new QWidget(this);
    choices_->setObjectName(QStringLiteral("Choices"));
    choices_->setGeometry(QRect(QPoint(0, 0), choicesSize_));
    setFixedSize(choicesSize_);

    LblRecent = new QLabel(QStringLiteral("Recent maps:"), this);
    LblRecent->setObjectName(QStringLiteral("LblRecent"));
    RecentList = new QListWidget(this);
    RecentList->setObjectName(QStringLiteral("RecentList"));
    RecentList->setSelectionMode(QAbstractItemView::SingleSelection);
    RecentList->setTextElideMode(Qt::ElideMiddle);
    LblRecent->setBuddy(RecentList);
    LblRecent->hide();
    RecentList->hide();

    Drive1 = new QComboBox(choices_);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    place(Drive1, 120, 120, 1215, 315);

    Dir1 = new QTreeView(choices_);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    place(Dir1, 120, 600, 2775, 2115);
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
    Dir1->setRootIndex(QModelIndex());

    File1 = new QListView(choices_);
    File1->setObjectName(QStringLiteral("File1"));
    place(File1, 3480, 120, 3615, 2625);
    File1->setModel(new QStringListModel(this));
    File1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);

    CmdGetMap = new QPushButton(QStringLiteral("OK"), choices_);
    CmdGetMap->setObjectName(QStringLiteral("CmdGetMap"));
    place(CmdGetMap, 5880, 3000, 1215, 495);
    CmdGetMap->setDefault(true);

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
    if (count == 0) {
        choices_->move(0, 0);
        setFixedSize(choicesSize_);
        return;
    }
    // The band lines up with the drive list and the file list's right edge, and is tall enough
    // for every entry (eight at most).
    const int left = twipsToPixels(120, logicalDpiX());
    const int right = twipsToPixels(3480 + 3615, logicalDpiX());
    const int top = twipsToPixels(120, logicalDpiY());
    const int gap = twipsToPixels(60, logicalDpiY());
    const int labelHeight = LblRecent->sizeHint().height();
    LblRecent->setGeometry(left, top, right - left, labelHeight);
    const int rows = RecentList->sizeHintForRow(0) * count;
    const int listHeight = rows + 2 * RecentList->frameWidth();
    RecentList->setGeometry(left, top + labelHeight + gap, right - left, listHeight);
    const int bandHeight = RecentList->geometry().bottom() + 1;
    choices_->move(0, bandHeight);
    setFixedSize(choicesSize_.width(), bandHeight + choicesSize_.height());
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
