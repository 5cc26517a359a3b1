#pragma once

#include <QDate>
#include <QImage>
#include <QPainter>
#include <QSizeF>
#include <QString>

#include <functional>

#include "tools/PrintSources.h"

class QPrinter;

namespace pelagon {

// One print run on a printer the user has chosen: its pages in order, the first page opening the
// painter so that the run's name can still be set before it. Coordinates are the printer's
// device units; every page is laid out inside the page's printable area. A run that is neither
// finished nor abandoned is abandoned when the job goes away, for example while a failure
// unwinds past it.
class PrintJob {
public:
    explicit PrintJob(QPrinter& printer);
    ~PrintJob();

    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // The map component's print operation; it must make the first page of the run.
    //   jobName    names the print run (QPrinter::setDocName): the document's name in the print
    //              queue and the title of a PDF file.
    //   title      a line printed centred above the map; an empty text prints no title line.
    //   fitToPage  true: the map gets the page's whole printable area (below the title line, if
    //              any), and paintMap fits the displayed extent into it as it does on screen.
    //              false: the map gets the size it has on screen (screenSizeInches), shrunk to
    //              the printable area when larger; without a screen size it is fitted.
    // Returns false when the page could not be started or paintMap reported a failure.
    // Exceptions of paintMap pass through.
    bool printMap(const MapPainter& paintMap, const QString& jobName, const QString& title,
                  bool fitToPage, const std::function<QSizeF()>& screenSizeInches = {});

    // The map page: the map keeps the shape it has on screen (aspect = width / height; 0 or
    // less fills the area), as large as the printable area allows above a footer line with
    // mapName on the left and the date on the right, framed by a thin line. The run is named
    // jobName. Returns false when the page could not be started or paintMap failed.
    bool printMapPage(const MapPainter& paintMap, const QString& jobName, double aspect,
                      const QString& mapName, const QDate& date);

    // The legend drawn as vectors, from row 0, one page after another until every row is on
    // paper. Returns false when a page failed or the painter made no progress.
    bool printLegend(const LegendPainter& paintLegend);

    // Prints image on the next page at its physical size (pictureSizeInches), at the top-left
    // corner of the printable area, shrunk keeping its aspect when larger than that area.
    // Returns false for a null image, without starting a page, or when the page failed.
    bool printPicture(const QImage& image);

    // Ends the run and hands its pages to the printer or the file. Returns false when no page
    // was printed or the printer reported an error.
    bool finish();

    // Abandons the run. Output going to a file is removed, so no partial file remains. Qt's
    // printing to a print queue cannot be cancelled once started, so there the pages printed so
    // far still go out.
    void abandon();

    int pageCount() const { return pages_; }

private:
    enum class State { Open, Finished, Abandoned };

    bool startPage();
    // startPage for a map page, naming the print job when it is the first page.
    bool startMapPage(const QString& jobName);
    QRectF printableArea() const;
    QRectF drawTitle(const QString& title, const QRectF& area);

    QPrinter& printer_;
    QPainter painter_;
    int pages_ = 0;
    State state_ = State::Open;
};

}  // namespace pelagon
