#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "app/MapSelectForm.h"
#include "app/Mapform.h"
#include "app/TheMDIform.h"

namespace pelagon {

class MessageSink;

// Runs the program's windows: the map chooser first, then the frame with one map.
class AppController : public QObject {
    Q_OBJECT
public:
    // makePageView makes the page views of the browser windows (the web engine in the program,
    // a fake in tests).
    AppController(MessageSink& messages, PageViewFactory makePageView, QObject* parent = nullptr);
    ~AppController() override;

    // Shows the chooser, alone, on the current folder.
    void showChooser();

    // Opens a map definition directly: makes its folder the working directory and loads it. On
    // failure the user has been told why and the chooser is shown on that folder.
    bool openMapFile(const QString& path);

    // The load path shared by the chooser and openMapFile: the working directory is already the
    // map folder. Creates the frame and the map window and runs the map window's load.
    bool loadMap(const QString& theMapFile);

    MapSelectForm* chooser() const { return chooser_; }
    TheMDIform* frame() const { return frame_; }
    Mapform* mapform() const { return mapform_; }

    // The printer dialog of the map window's print command (default: Qt's print dialog).
    void setPrinterDialogFactory(std::function<std::unique_ptr<PrinterDialog>(QWidget*)> make) {
        makePrinterDialog_ = std::move(make);
    }

    // Called when a fatal condition ends the program (default: QCoreApplication::exit).
    void setEndProgram(std::function<void(int)> end) { endProgram_ = std::move(end); }

private:
    void closeChooser();
    void discardMap();

    MessageSink& messages_;
    PageViewFactory makePageView_;
    std::function<std::unique_ptr<PrinterDialog>(QWidget*)> makePrinterDialog_;
    QPointer<MapSelectForm> chooser_;
    QPointer<TheMDIform> frame_;
    QPointer<Mapform> mapform_;
    std::function<void(int)> endProgram_;
    bool ending_ = false;  // a fatal message has been shown; the program is ending
};

}  // namespace pelagon
