#include "app/MapSelectForm.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
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
    : QWidget(parent), messages_(messages), open_(std::move(open)) {
    setObjectName(QStringLiteral("MapSelectForm"));
    setWindowTitle(QStringLiteral("Brenta Dudadiruz Pelagon -- Select a Map"));

    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    auto place = [&](QWidget* w, double l, double t, double wd, double h) {
        w->setGeometry(twipsToPixels(l, dpiX), twipsToPixels(t, dpiY), twipsToPixels(wd, dpiX),
                       twipsToPixels(h, dpiY));
    };
    setFixedSize(twipsToPixels(7545, dpiX), twipsToPixels(4065, dpiY));

    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    place(Drive1, 120, 120, 1215, 315);

    Dir1 = new QTreeView(this);
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

    File1 = new QListView(this);
    File1->setObjectName(QStringLiteral("File1"));
    place(File1, 3480, 120, 3615, 2625);
    File1->setModel(new QStringListModel(this));
    File1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);

    CmdGetMap = new QPushButton(QStringLiteral("OK"), this);
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
