#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QMdiSubWindow>
#include <QStringList>

#include <memory>
#include <vector>

#include "tracks/AreaVisits.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace pelagon {

class MapLayer;
struct AlbersProjection;
struct PositionSet;

// The visits of a positions file into the areas of the map's layers: the table pelagon-cli
// visits writes (its bytes, for "Export CSV…"), its cells, and per row the visit itself and
// whether its layer is a document layer (the closures and the like).
struct VisitRows {
    QByteArray csv;
    QStringList header;
    std::vector<QStringList> cells;
    std::vector<tracks::Visit> visits;
    std::vector<char> document;
};

// Follows the file's tracks through the areas of its query's layers (src/tracks, as the
// command line does). Runs on any thread; the layers must stay loaded meanwhile.
std::shared_ptr<const VisitRows> computeVisitRows(
    const PositionSet& set, const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
    const AlbersProjection* projection);

class VisitsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(std::shared_ptr<const VisitRows> rows);
    const std::shared_ptr<const VisitRows>& rows() const { return rows_; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const VisitRows> rows_;
};

// The Visits window of one positions file: one row per visit, sortable by every column,
// filtered by layer and by vessel, "Export CSV…". Visits into the areas of a document layer
// carry a red mark. Choosing a row tells visitChosen, a double-click visitActivated (rows of
// the model). Closing the window deletes it.
class VisitsWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit VisitsWindow(const QString& fileName, QWidget* parent = nullptr);
    void showRows(std::shared_ptr<const VisitRows> rows);

    VisitsModel* model() const { return model_; }
    QTableView* table() const { return table_; }
    QComboBox* layerFilter() const { return layer_; }
    QComboBox* vesselFilter() const { return vessel_; }

signals:
    void visitChosen(int row);
    void visitActivated(int row);
    void exportRequested();

private:
    VisitsModel* model_;
    QSortFilterProxyModel* sorted_;
    QLabel* summary_;
    QComboBox* layer_;
    QComboBox* vessel_;
    QPushButton* export_;
    QTableView* table_;
};

}  // namespace pelagon
