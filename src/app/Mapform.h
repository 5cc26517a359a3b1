#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>

#include "geo/AlbersProjection.h"
#include "help/HelpBrowser.h"
#include "legend/LayerListForm.h"
#include "map/MapTypes.h"
#include "mapdef/LayerInfo.h"
#include "reports/PageView.h"
#include "reports/TheBrowserForm.h"
#include "tools/ExtentHistory.h"
#include "tools/PresetExtents.h"
#include "tools/ToolSelection.h"

class QFrame;
class QLabel;
class QPushButton;

namespace pelagon {

class MapPictureBox;
class MapToolbar;
class MessageSink;
class PlaceComboBox;
class TheMDIform;

// What the map window needs from the rest of the program; handed over at construction.
struct MapformContext {
    TheMDIform* frame = nullptr;
    MessageSink* messages = nullptr;
    QString theMapFile;                   // full path of the chosen definition
    std::function<void()> closeChooser;   // closes the map chooser; it is not used again
    std::function<void(int)> endProgram;  // ends the program after a fatal message
    PageViewFactory makePageView;         // page views of the results, regulations and help windows
};

// The map window: the map, its toolbar and controls, and the state of one opened map.
class Mapform : public QWidget {
    Q_OBJECT
public:
    explicit Mapform(MapformContext context, QWidget* parent = nullptr);
    ~Mapform() override;

    // The load sequence. Returns false when the map cannot be shown; the reason has been told to
    // the user and the caller closes the map window again.
    bool Form_Load();

    // The map window's sub-window in the frame (its outer geometry is the window's size).
    QMdiSubWindow* subWindow() const;

    // State of the opened map.
    QString BaseDir;  // the map folder with a trailing separator
    QVector<LayerInfo> LayerInfos;
    int LastLayer = -1;
    AlbersProjection projection;  // set by ReadProjPars

    // Navigation state.
    ExtentHistory extentHistory;
    PresetExtents presetExtents;
    QVector<MapRect> siteExtents;
    QVector<MapRect> regionExtents;
    ToolSelection tools;  // currentTool and currentToolButton
    const QString& currentTool() const { return tools.currentTool(); }
    int currentToolButton() const { return tools.currentToolButton(); }

    // The regulations window, created by the first ShowRegs.
    bool RegsOpened = false;
    QPointer<TheBrowserForm> RegsWindow;

    // Controls.
    MapToolbar* theToolbar = nullptr;
    MapPictureBox* Picture1 = nullptr;
    QLabel* Title = nullptr;
    QWidget* theMap = nullptr;
    QFrame* ButtonFrame = nullptr;
    QPushButton* CmdShowRegs = nullptr;
    QPushButton* HelpCmd = nullptr;
    QLabel* lblSite = nullptr;
    QLabel* lblRegion = nullptr;
    PlaceComboBox* SiteComboBox = nullptr;
    PlaceComboBox* RegionComboBox = nullptr;
    QLabel* LblStatus = nullptr;

    LayerListForm* legend() const { return legend_; }
    QMdiSubWindow* legendWindow() const { return legendWindow_; }
    HelpBrowser* helpWindow() const { return help_; }

    // Reads the map definition into LayerInfos, sizes the legend and places the map window and
    // the legend side by side. Returns false (after telling the user) when it cannot be read.
    bool getLayerInfo();

    // Places the map control and the button frame for the window's current size.
    void ArrangeMapWindow();

    // Reads ProjPars.alb of the map folder. On failure tells the user and ends the program.
    bool ReadProjPars();

    // Read SSL_Locs.csv and Regions.csv into the two lists. A file that cannot be used is
    // reported once; its list stays empty and disabled.
    void loadSiteList();
    void loadRegionList();

    // The regulations command: one regulations window, brought to the front on later requests.
    void ShowRegs();

    // The "Info" command: the help window on the map's help page.
    void HelpCmd_Click();

    // Toolbar click, by key and 1-based index.
    void theToolbar_ButtonClick(const QString& key, int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void placeFixed(QWidget* w, double left, double top, double width, double height);
    void applyPresetButtons();

    MapformContext ctx_;
    QPointer<LayerListForm> legend_;
    QPointer<QMdiSubWindow> legendWindow_;
    QPointer<HelpBrowser> help_;
};

}  // namespace pelagon
