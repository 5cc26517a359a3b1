#pragma once

#include <QAbstractTableModel>
#include <QMdiSubWindow>

#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace pelagon {

struct PositionSet;

// The rows of a positions file: id, vessel, time, position in degrees and decimal minutes, the
// Fish Tool's answer of every queryable layer, and the distances to the boundaries of the layers
// of areas. Cells are made when they are shown, so a file of any length costs no more than its
// answers.
class PositionsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum FixedColumn { IdColumn, VesselColumn, TimeColumn, PositionColumn, kFixedColumns };

    explicit PositionsModel(QObject* parent = nullptr);
    ~PositionsModel() override;

    // The positions to show; their vessels have the overlay's colours from firstColour on.
    void setPositions(std::shared_ptr<const PositionSet> set, int firstColour);
    const std::shared_ptr<const PositionSet>& positions() const { return set_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Whether row a goes before row b when the column is sorted ascending: numbers by value
    // (ids that are all numbers, times, distances), texts in the user's collation.
    bool lessThan(int a, int b, int column) const;

    // The model sorts itself (the table's header asks): a proxy in front of a million rows
    // would map them all each time the table is filled, holding up the window. Column -1 puts
    // the rows back in file order. Selections follow their rows.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The file's row shown at a row of the table, and the other way round.
    int fileRow(int shownRow) const;
    int shownRow(int fileRow) const;

    // The text shown for a position the projection cannot place.
    static QString outsideProjectionText();

private:
    struct SortKeys;
    std::shared_ptr<const PositionSet> set_;
    int firstColour_ = 0;
    // Whether every id is a number, so that ids sort as numbers: found on the first sort by id.
    mutable std::optional<bool> numericIds_;
    mutable std::vector<std::unique_ptr<SortKeys>> sortKeys_;  // per column, made on first sort
    std::vector<int> order_;  // the file's row at each shown row; empty in file order
    std::vector<int> shown_;  // the shown row of each file row; empty in file order
};

// A table of rows chosen one at a time (the Positions and Visits windows): sortable by every
// column, in the model's own order until then, read only, without row numbers.
void setUpRowTable(QTableView* table);

// The Positions window of one file: a summary line, a progress bar while the file is read and
// searched, "Export CSV…", what could not be read, and the table, sortable by every column.
// Choosing a row tells rowChosen; a double-click tells rowActivated (rows of the model, not of
// the sorted view). Closing the window deletes it.
class PositionsWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    PositionsWindow(const QString& fileName, QWidget* parent = nullptr);
    // Tells aboutToBeDestroyed while the window is still whole.
    ~PositionsWindow() override;

    // While the file is read: the share done, from 0 to 1.
    void showProgress(double share);
    // The positions, once read (the table fills, the progress bar goes).
    void showPositions(std::shared_ptr<const PositionSet> set, int firstColour);

    PositionsModel* model() const { return model_; }
    QTableView* table() const { return table_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* visitsButton() const { return visits_; }
    QPushButton* shadeButton() const { return shade_; }
    // Enabled while the map's areas are shaded by this file's hours.
    QPushButton* clearShadeButton() const { return clearShade_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* summary() const { return summary_; }
    QLabel* problems() const { return problems_; }

    // Selects a row of the model (and scrolls it into view).
    void selectRow(int row);

signals:
    void rowChosen(int row);
    void rowActivated(int row);
    void exportRequested();
    void visitsRequested();
    void shadeRequested();
    void clearShadeRequested();
    // The window is being deleted (closed, or its map closed); it is still whole when told, so
    // those that keep it may still tell it from their other windows.
    void aboutToBeDestroyed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The width the buttons need on one row, or on two (with the window's margins).
    int buttonsWidth(bool oneRow) const;
    // Puts the buttons on one row or on two.
    void arrangeButtons(bool oneRow);

    PositionsModel* model_;
    QLabel* summary_;
    QProgressBar* progress_;
    QPushButton* export_;
    QPushButton* visits_;
    QPushButton* shade_;
    QPushButton* clearShade_;
    QLabel* problems_;
    QHBoxLayout* buttonRows_[2] = {nullptr, nullptr};
    bool oneRow_ = true;
    QTableView* table_;
};

}  // namespace pelagon
