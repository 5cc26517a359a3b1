#include "app/VisitsWindow.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <set>

#include "app/PositionsOverlay.h"
#include "app/PositionsWindow.h"
#include "positions/Csv.h"
#include "query/PositionSet.h"
#include "tracks/TrackTables.h"

namespace pelagon {

namespace {

constexpr int kVesselCell = 0;  // the table's first columns: vessel, layer, area
constexpr int kLayerCell = 1;
constexpr int kAreaCell = 2;

// The table sorted by numbers where both cells are numbers (hours, positions, degrees), by text
// otherwise (times are ISO 8601 and sort as text); filtered by layer and vessel.
class VisitsSortModel : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    QString layer;   // empty: every layer
    QString vessel;  // shown only when filtering
    bool byVessel = false;

protected:
    bool lessThan(const QModelIndex& a, const QModelIndex& b) const override {
        const QString x = a.data().toString();
        const QString y = b.data().toString();
        bool xn = false;
        bool yn = false;
        const double dx = x.toDouble(&xn);
        const double dy = y.toDouble(&yn);
        if (xn && yn) {
            return dx < dy;
        }
        return x < y;
    }
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QAbstractItemModel* m = sourceModel();
        return (layer.isEmpty() || m->index(row, kLayerCell, parent).data() == layer) &&
               (!byVessel || m->index(row, kVesselCell, parent).data() == vessel);
    }
};

QPixmap documentMark() {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(PositionsOverlay::kRingColour, 2.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    return pixmap;
}

}  // namespace

std::shared_ptr<const VisitRows> computeVisitRows(
    const PositionSet& set, const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
    const AlbersProjection* projection) {
    auto rows = std::make_shared<VisitRows>();
    const tracks::TrackAreas areas(set.query, MapLayers);
    tracks::TrackWork work;
    work.visits = true;
    work.wantHours = false;
    const tracks::TrackResults results = tracks::computeTracks(set, areas, work);
    rows->csv = tracks::visitsCsv(results, areas, projection);
    positions::CsvReader reader(rows->csv);
    positions::CsvRawRecord record;
    bool first = true;
    while (reader.next(record)) {
        QStringList cells;
        for (int i = 0; i < record.size(); ++i) {
            cells.append(record.text(i));
        }
        if (first) {
            rows->header = cells;
            first = false;
        } else if (!record.isBlank()) {
            rows->cells.push_back(cells);
        }
    }
    rows->visits = results.visits;
    for (const tracks::Visit& v : rows->visits) {
        const auto& columns = set.query->columns();
        rows->document.push_back(v.column >= 0 &&
                                 static_cast<std::size_t>(v.column) < columns.size() &&
                                 !columns[static_cast<std::size_t>(v.column)].attribute);
    }
    return rows;
}

void VisitsModel::setRows(std::shared_ptr<const VisitRows> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int VisitsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !rows_ ? 0 : static_cast<int>(rows_->cells.size());
}

int VisitsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !rows_ ? 0 : static_cast<int>(rows_->header.size());
}

QVariant VisitsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !rows_) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::DisplayRole) {
        return rows_->cells[row].value(index.column());
    }
    if (role == Qt::DecorationRole && index.column() == kAreaCell && rows_->document[row] != 0) {
        static const QPixmap mark = documentMark();
        return mark;
    }
    if (role == Qt::ToolTipRole && index.column() == kAreaCell && rows_->document[row] != 0) {
        return QStringLiteral("An area of a document layer");
    }
    return {};
}

QVariant VisitsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && rows_) {
        return rows_->header.value(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

VisitsWindow::VisitsWindow(const QString& fileName, QWidget* parent)
    : QMdiSubWindow(parent),
      model_(new VisitsModel(this)),
      sorted_(new VisitsSortModel(this)),
      summary_(new QLabel),
      layer_(new QComboBox),
      vessel_(new QComboBox),
      export_(new QPushButton(QStringLiteral("Export CSV…"))),
      table_(new QTableView) {
    setObjectName(QStringLiteral("VisitsWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Visits – %1").arg(QFileInfo(fileName).fileName()));
    sorted_->setSourceModel(model_);
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(6, 6, 6, 6);
    auto* top = new QHBoxLayout;
    summary_->setText(QStringLiteral("Following the tracks through the areas …"));
    export_->setEnabled(false);
    export_->setToolTip(QStringLiteral("Write the table as pelagon-cli visits writes it"));
    // The summary and the export above the two lists: the window then shows them whole at the
    // width it takes beside the Positions windows and the scale bar.
    top->addWidget(summary_, 1);
    top->addWidget(export_);
    layout->addLayout(top);
    auto* filters = new QHBoxLayout;
    filters->addWidget(layer_, 1);
    filters->addWidget(vessel_, 1);
    layout->addLayout(filters);
    table_->setModel(sorted_);
    setUpRowTable(table_);
    // The lists and the summary keep a width of their own whatever names the file holds, so
    // that the window's least width shows them whole (long names are elided, and shown whole in
    // the open list).
    for (QComboBox* list : {layer_, vessel_}) {
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(12);
    }
    summary_->setWordWrap(true);
    table_->horizontalHeader()->setHighlightSections(false);
    // However small the window is made, the table's header and three rows show (the header has
    // no columns yet, and rows take the height of their text when they come).
    const int line = table_->fontMetrics().height() + 8;
    table_->setMinimumHeight(std::max(table_->horizontalHeader()->sizeHint().height(), line) +
                             3 * std::max(table_->verticalHeader()->defaultSectionSize(), line) +
                             style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                             2 * table_->frameWidth());
    layout->addWidget(table_, 1);
    setWidget(body);

    auto* filter = static_cast<VisitsSortModel*>(sorted_);
    connect(layer_, &QComboBox::activated, this, [this, filter](int i) {
        filter->layer = i == 0 ? QString() : layer_->itemText(i);
        filter->invalidate();
    });
    connect(vessel_, &QComboBox::activated, this, [this, filter](int i) {
        filter->byVessel = i > 0;
        filter->vessel = i > 0 ? vessel_->itemData(i).toString() : QString();
        filter->invalidate();
    });
    connect(export_, &QPushButton::clicked, this, &VisitsWindow::exportRequested);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    emit visitChosen(sorted_->mapToSource(current).row());
                }
            });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) {
            emit visitActivated(sorted_->mapToSource(index).row());
        }
    });
    resize(960, 320);
}

void VisitsWindow::showRows(std::shared_ptr<const VisitRows> rows) {
    std::set<QString> layers;
    std::set<QString> vessels;
    for (const QStringList& cells : rows->cells) {
        layers.insert(cells.value(kLayerCell));
        vessels.insert(cells.value(kVesselCell));
    }
    layer_->clear();
    layer_->addItem(QStringLiteral("All layers"));
    for (const QString& l : layers) {
        layer_->addItem(l);
    }
    vessel_->clear();
    vessel_->addItem(QStringLiteral("All vessels"));
    for (const QString& v : vessels) {
        vessel_->addItem(v.isEmpty() ? QStringLiteral("(no vessel)") : v, v);
    }
    summary_->setText(QStringLiteral("%1 visits").arg(rows->cells.size()));
    model_->setRows(std::move(rows));
    export_->setEnabled(true);
    table_->resizeColumnsToContents();
}

}  // namespace pelagon
