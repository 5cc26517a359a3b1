#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QListView;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;
class QTreeView;

namespace pelagon {

class MessageSink;

// The map chooser: a drive list (the mounted volumes), a folder tree and a list of the folder's
// map definitions (*.mv). "OK" or a double-click on a file chooses the map; "Cancel" or Esc
// closes the chooser. Above them, when the user has opened maps before, the recent maps: a click
// goes to the map's folder and selects it, a double-click (or Enter) opens it. The chooser is a
// window of its own, also when it has a parent (the frame, over which it then opens); it opens
// at kDefaultWidthTwips x kDefaultHeightTwips (and the recent maps' band), no larger than the
// screen, and its lists follow its size. Names show whole: the lists scroll sideways instead.
class MapSelectForm : public QWidget {
    Q_OBJECT
public:
    // open is called with the chosen definition's full path after the working directory has been
    // set to its folder; it returns false when the map could not be opened, and the chooser then
    // stays available for another choice.
    using OpenMap = std::function<bool(const QString& theMapFile)>;

    MapSelectForm(MessageSink& messages, OpenMap open, QWidget* parent = nullptr);

    // The full path of the chosen definition.
    QString theMapFile;

    // The chooser's current state, for tests and for the load path.
    QString currentDrive() const;
    QString folderPath() const;
    QString selectedFile() const;

    void setDrive(const QString& rootPath);  // Drive1 selection
    void setFolder(const QString& path);     // Dir1 selection
    bool selectFile(const QString& name);    // File1 selection
    QStringList listedFiles() const;         // names in File1, sorted

    // The recent maps shown above the lists, most recent first; none hides that part.
    void setRecentMaps(const QStringList& paths);
    QStringList recentMaps() const;
    // Goes to a recent map: its drive and folder, the file selected. False when it is missing.
    bool showRecentMap(const QString& path);

    // The choice: makes the folder the working directory, sets theMapFile and opens the map.
    void LoadSelectedMap();

    QComboBox* Drive1 = nullptr;
    QTreeView* Dir1 = nullptr;
    QListView* File1 = nullptr;
    QPushButton* CmdGetMap = nullptr;
    QPushButton* CmdCancel = nullptr;
    QLabel* LblRecent = nullptr;
    QListWidget* RecentList = nullptr;

    static constexpr double kDefaultWidthTwips = 11400;
    static constexpr double kDefaultHeightTwips = 6600;

private:
    void Drive1_Change();
    void Dir1_Change();
    void CmdGetMap_Click();
    void revealFolder();
    void layOutRecent();
    // The size the chooser opens at.
    QSize defaultSize() const;

    MessageSink& messages_;
    OpenMap open_;
    QFileSystemModel* dirModel_ = nullptr;
    QFileSystemModel* fileModel_ = nullptr;
    QString folder_;
    QTimer* revealTimer_ = nullptr;
};

}  // namespace pelagon
