#include "app/PositionsWindow.h"

#include <QCloseEvent>
#include <QCollator>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "app/PositionsOverlay.h"
#include "common/EchoText.h"
#include "geo/AngleText.h"
#include "query/PositionSet.h"

namespace pelagon {

// Sort keys of one column, made when the column is first sorted.
struct PositionsModel::SortKeys {
    std::vector<double> numbers;  // numeric columns
    std::vector<int> ranks;       // text columns: the rank of each row's text in collation order
};

PositionsModel::PositionsModel(QObject* parent) : QAbstractTableModel(parent) {}
PositionsModel::~PositionsModel() = default;

namespace {

constexpr int kRowsMeasured = 200;  // rows whose cells size the columns

bool allNumbers(const PositionSet& set) {
    for (const PositionSet::Row& row : set.rows) {
        bool ok = false;
        row.id.toDouble(&ok);
        if (!ok) {
            return false;
        }
    }
    return true;
}

QString positionText(const PositionSet::Row& row) {
    if (!row.placed || !row.lonLat) {
        return PositionsModel::outsideProjectionText();
    }
    return Ddec_to_DMdec(row.lonLat->x) + QStringLiteral(", ") + Ddec_to_DMdec(row.lonLat->y);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

QString PositionsModel::outsideProjectionText() {
    return QStringLiteral("outside the map's projection");
}

void PositionsModel::setPositions(std::shared_ptr<const PositionSet> set, int firstColour) {
    beginResetModel();
    set_ = std::move(set);
    firstColour_ = firstColour;
    numericIds_.reset();
    sortKeys_.clear();
    order_.clear();
    shown_.clear();
    endResetModel();
}

int PositionsModel::fileRow(int shownRow) const {
    return order_.empty() || shownRow < 0 || static_cast<std::size_t>(shownRow) >= order_.size()
               ? shownRow
               : order_[static_cast<std::size_t>(shownRow)];
}

int PositionsModel::shownRow(int fileRow) const {
    return shown_.empty() || fileRow < 0 || static_cast<std::size_t>(fileRow) >= shown_.size()
               ? fileRow
               : shown_[static_cast<std::size_t>(fileRow)];
}

void PositionsModel::sort(int column, Qt::SortOrder order) {
    if (!set_ || (column < 0 && order_.empty())) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> files;
    files.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) {
        files.push_back(fileRow(index.row()));
    }
    const auto n = static_cast<int>(set_->rows.size());
    std::vector<int> sorted;
    if (column >= 0) {
        sorted.resize(static_cast<std::size_t>(n));
        for (int r = 0; r < n; ++r) {
            sorted[static_cast<std::size_t>(r)] = r;
        }
        lessThan(0, 0, column);  // makes the column's keys before the sort
        std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
            return order == Qt::AscendingOrder ? lessThan(a, b, column) : lessThan(b, a, column);
        });
    }
    order_ = std::move(sorted);
    shown_.assign(order_.empty() ? 0 : order_.size(), 0);
    for (std::size_t i = 0; i < order_.size(); ++i) {
        shown_[static_cast<std::size_t>(order_[i])] = static_cast<int>(i);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        after.append(index(shownRow(files[static_cast<std::size_t>(i)]), before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int PositionsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !set_ ? 0 : static_cast<int>(set_->rows.size());
}

int PositionsModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    if (!set_) {
        return kFixedColumns;
    }
    return kFixedColumns +
           static_cast<int>(set_->query->columns().size() + set_->query->distanceColumns().size());
}

QVariant PositionsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case IdColumn:
            return QStringLiteral("Id");
        case VesselColumn:
            return QStringLiteral("Vessel");
        case TimeColumn:
            return QStringLiteral("Time");
        case PositionColumn:
            return QStringLiteral("Position");
        default:
            break;
    }
    if (!set_) {
        return {};
    }
    const auto& columns = set_->query->columns();
    const int c = section - kFixedColumns;
    if (c < static_cast<int>(columns.size())) {
        return columns[static_cast<std::size_t>(c)].name;
    }
    const int d = c - static_cast<int>(columns.size());
    const int layer = set_->query->distanceColumns()[static_cast<std::size_t>(d)];
    return columns[static_cast<std::size_t>(layer)].name + QStringLiteral(" (distance)");
}

QVariant PositionsModel::data(const QModelIndex& index, int role) const {
    if (!set_ || !index.isValid()) {
        return {};
    }
    const auto r = static_cast<std::size_t>(fileRow(index.row()));
    const PositionSet::Row& row = set_->rows[r];
    const int column = index.column();
    if (role == Qt::DecorationRole && column == VesselColumn) {
        return PositionsOverlay::vesselColour(firstColour_ + row.vesselIndex);
    }
    if (role == Qt::ToolTipRole && column == PositionColumn && row.lonLat) {
        return QStringLiteral("%1, %2 (line %3)")
            .arg(QString::number(row.lonLat->x, 'f', 6), QString::number(row.lonLat->y, 'f', 6))
            .arg(row.line);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
        case IdColumn:
            return QString::fromUtf8(row.id);
        case VesselColumn:
            return row.vessel;
        case TimeColumn:
            return row.time;
        case PositionColumn:
            return positionText(row);
        default:
            break;
    }
    if (!row.placed) {
        return {};
    }
    const auto& columns = set_->query->columns();
    const int c = column - kFixedColumns;
    if (c < static_cast<int>(columns.size())) {
        return set_->query->cellText(c, set_->featuresOf(r)[c]);
    }
    const int d = c - static_cast<int>(columns.size());
    const int layer = set_->query->distanceColumns()[static_cast<std::size_t>(d)];
    PositionQuery::Distance distance = set_->distancesOf(r)[d];
    // The answer column names the area a position lies in; the cell names the one outside.
    return set_->query->distanceText(layer, distance, false);
}

bool PositionsModel::lessThan(int a, int b, int column) const {
    if (!set_) {
        return a < b;
    }
    if (column < 0) {
        return a < b;
    }
    if (static_cast<std::size_t>(column) >= sortKeys_.size()) {
        sortKeys_.resize(static_cast<std::size_t>(column) + 1);
    }
    if (!sortKeys_[static_cast<std::size_t>(column)]) {
        sortKeys_[static_cast<std::size_t>(column)] = std::make_unique<SortKeys>();
    }
    SortKeys& keys = *sortKeys_[static_cast<std::size_t>(column)];
    const std::size_t n = set_->rows.size();
    if (keys.numbers.empty() && keys.ranks.empty() && n > 0) {
        const auto& columns = set_->query->columns();
        const int c = column - kFixedColumns;
        if (column == IdColumn && !numericIds_) {
            numericIds_ = allNumbers(*set_);
        }
        const bool numeric = (column == IdColumn && *numericIds_) || column == TimeColumn ||
                             c >= static_cast<int>(columns.size());
        if (numeric) {
            keys.numbers.resize(n);
            const double none = -std::numeric_limits<double>::infinity();
            for (std::size_t r = 0; r < n; ++r) {
                const PositionSet::Row& row = set_->rows[r];
                double& key = keys.numbers[r];
                if (column == IdColumn) {
                    key = row.id.toDouble();
                } else if (column == TimeColumn) {
                    key = row.timeMs ? static_cast<double>(*row.timeMs) : none;
                } else {
                    const auto d = static_cast<std::size_t>(c) - columns.size();
                    const PositionQuery::Distance& distance = set_->distancesOf(r)[d];
                    key = row.placed && distance.area != PositionQuery::kNothing ? distance.metres
                                                                                 : none;
                }
            }
        } else {
            // Texts are ranked once in the user's collation (numbers inside them by value), so
            // that the sort compares numbers.
            std::vector<QString> texts(n);
            for (std::size_t r = 0; r < n; ++r) {
                const PositionSet::Row& row = set_->rows[r];
                if (column == PositionColumn) {
                    texts[r] = row.placed && row.lonLat
                                   ? QString::asprintf("%012.6f %012.6f", row.lonLat->y + 90,
                                                       row.lonLat->x + 360)
                                   : QString();
                } else {
                    texts[r] = data(index(shownRow(static_cast<int>(r)), column), Qt::DisplayRole)
                                   .toString();
                }
            }
            std::vector<int> order(n);
            for (std::size_t r = 0; r < n; ++r) {
                order[r] = static_cast<int>(r);
            }
            QCollator collator;
            collator.setNumericMode(true);
            collator.setCaseSensitivity(Qt::CaseInsensitive);
            std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
                return collator.compare(texts[static_cast<std::size_t>(x)],
                                        texts[static_cast<std::size_t>(y)]) < 0;
            });
            keys.ranks.resize(n);
            int rank = 0;
            for (std::size_t i = 0; i < n; ++i) {
                if (i > 0 && texts[static_cast<std::size_t>(order[i])] !=
                                 texts[static_cast<std::size_t>(order[i - 1])]) {
                    ++rank;
                }
                keys.ranks[static_cast<std::size_t>(order[i])] = rank;
            }
        }
    }
    const auto x = static_cast<std::size_t>(a);
    const auto y = static_cast<std::size_t>(b);
    if (!keys.numbers.empty()) {
        if (keys.numbers[x] != keys.numbers[y]) {
            return keys.numbers[x] < keys.numbers[y];
        }
    } else if (keys.ranks[x] != keys.ranks[y]) {
        return keys.ranks[x] < keys.ranks[y];
    }
    return a < b;
}

// ---------------------------------------------------------------------------------------------

PositionsWindow::PositionsWindow(const QString& fileName, QWidget* parent)
    : QMdiSubWindow(parent),
      model_(new PositionsModel(this)),
      summary_(new QLabel),
      progress_(new QProgressBar),
      export_(new QPushButton(QStringLiteral("&Export CSV…"))),
      problems_(new QLabel),
      table_(new QTableView) {
    setObjectName(QStringLiteral("PositionsWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Positions – %1").arg(QFileInfo(fileName).fileName()));

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(6, 6, 6, 6);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setText(QStringLiteral("Reading %1 …").arg(QFileInfo(fileName).fileName()));
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(240);
    export_->setObjectName(QStringLiteral("exportButton"));
    export_->setEnabled(false);
    export_->setToolTip(
        QStringLiteral("Write the table as pelagon-cli query --csv writes it for this file"));
    // The summary on a line of its own, the buttons under it with their whole captions: on one
    // row where the window is wide enough, else on two (see arrangeButtons).
    layout->addWidget(summary_);
    visits_ = new QPushButton(QStringLiteral("Visits…"));
    visits_->setObjectName(QStringLiteral("visitsButton"));
    visits_->setEnabled(false);
    visits_->setToolTip(QStringLiteral("List the vessels' visits into the map's areas"));
    shade_ = new QPushButton(QStringLiteral("Shade areas by hours…"));
    shade_->setObjectName(QStringLiteral("shadeButton"));
    shade_->setEnabled(false);
    shade_->setToolTip(
        QStringLiteral("Fill the areas of a layer by the hours the vessels spent in them"));
    clearShade_ = new QPushButton(QStringLiteral("Clear shading"));
    clearShade_->setObjectName(QStringLiteral("clearShadeButton"));
    clearShade_->setEnabled(false);
    // The buttons keep their whole captions; the summary gives way.
    for (QPushButton* button : {visits_, shade_, clearShade_, export_}) {
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    for (QHBoxLayout*& row : buttonRows_) {
        row = new QHBoxLayout;
        layout->addLayout(row);
    }
    arrangeButtons(true);
    body->installEventFilter(this);
    problems_->setObjectName(QStringLiteral("problems"));
    problems_->setTextFormat(Qt::PlainText);
    problems_->setWordWrap(true);
    problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problems_->hide();
    layout->addWidget(problems_);
    table_->setObjectName(QStringLiteral("positionsTable"));
    table_->setModel(model_);
    setUpRowTable(table_);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setDefaultSectionSize(140);
    // However small the window is made, the table's header and three rows show.
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             3 * table_->verticalHeader()->defaultSectionSize() +
                             style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                             2 * table_->frameWidth());
    layout->addWidget(table_, 1);
    setWidget(body);

    connect(export_, &QPushButton::clicked, this, &PositionsWindow::exportRequested);
    connect(visits_, &QPushButton::clicked, this, &PositionsWindow::visitsRequested);
    connect(shade_, &QPushButton::clicked, this, &PositionsWindow::shadeRequested);
    connect(clearShade_, &QPushButton::clicked, this, &PositionsWindow::clearShadeRequested);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    emit rowChosen(model_->fileRow(current.row()));
                }
            });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) {
            emit rowActivated(model_->fileRow(index.row()));
        }
    });
    resize(960, 320);
}

int PositionsWindow::buttonsWidth(bool oneRow) const {
    const int spacing = std::max(0, buttonRows_[0]->spacing());
    const auto width = [&](std::initializer_list<QWidget*> widgets) {
        int sum = 0;
        for (QWidget* w : widgets) {
            sum += w->sizeHint().width() + spacing;
        }
        return sum;
    };
    // The progress bar takes what is left; it needs a little room to show anything.
    constexpr int kLeastProgress = 60;
    const QMargins around = buttonRows_[0]->parentWidget()->layout()->contentsMargins();
    const int margins = around.left() + around.right();
    if (oneRow) {
        return margins + kLeastProgress + width({visits_, shade_, clearShade_, export_});
    }
    return margins +
           std::max(kLeastProgress + width({visits_, shade_}), width({clearShade_, export_}));
}

void PositionsWindow::arrangeButtons(bool oneRow) {
    if (oneRow == oneRow_ && buttonRows_[0]->count() > 0) {
        return;
    }
    oneRow_ = oneRow;
    for (QHBoxLayout* row : buttonRows_) {
        while (QLayoutItem* item = row->takeAt(0)) {
            delete item;  // the stretch; the widgets stay children of the body
        }
    }
    buttonRows_[0]->addStretch(1);
    buttonRows_[0]->addWidget(progress_);
    buttonRows_[0]->addWidget(visits_);
    buttonRows_[0]->addWidget(shade_);
    QHBoxLayout* second = oneRow ? buttonRows_[0] : buttonRows_[1];
    if (!oneRow) {
        second->addStretch(1);
    }
    second->addWidget(clearShade_);
    second->addWidget(export_);
    // Narrower than one row of buttons, the window wraps them: it can be made as narrow as two.
    buttonRows_[0]->parentWidget()->setMinimumWidth(buttonsWidth(false));
}

bool PositionsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buttonRows_[0]->parentWidget() && event->type() == QEvent::Resize) {
        arrangeButtons(static_cast<QResizeEvent*>(event)->size().width() >= buttonsWidth(true));
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void setUpRowTable(QTableView* table) {
    table->setSortingEnabled(true);
    table->sortByColumn(-1, Qt::AscendingOrder);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->verticalHeader()->hide();
}

PositionsWindow::~PositionsWindow() {
    emit aboutToBeDestroyed();
}

void PositionsWindow::showProgress(double share) {
    progress_->setValue(static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 1000)));
}

void PositionsWindow::showPositions(std::shared_ptr<const PositionSet> set, int firstColour) {
    const PositionSet& s = *set;
    model_->setPositions(std::move(set), firstColour);
    progress_->hide();
    export_->setEnabled(true);
    visits_->setEnabled(true);
    shade_->setEnabled(true);
    const QLocale locale;
    const qint64 outside = s.outsideCount;
    QString text =
        QStringLiteral("%1: %2 %3")
            .arg(QFileInfo(s.path).fileName(), locale.toString(qint64(s.rows.size())),
                 s.rows.size() == 1 ? QStringLiteral("position") : QStringLiteral("positions"));
    const qsizetype vessels = s.vessels.size() - (s.vessels.contains(QString()) ? 1 : 0);
    if (vessels > 0) {
        text += QStringLiteral(", %1 %2").arg(
            locale.toString(qint64(vessels)),
            vessels == 1 ? QStringLiteral("vessel") : QStringLiteral("vessels"));
    }
    if (outside > 0) {
        text += QStringLiteral(", %1 outside the map's projection").arg(locale.toString(outside));
    }
    if (s.leftOutCount > 0) {
        text += QStringLiteral("; %1 %2 could not be read and %3 left out")
                    .arg(locale.toString(s.leftOutCount),
                         s.leftOutCount == 1 ? QStringLiteral("row") : QStringLiteral("rows"),
                         s.leftOutCount == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    }
    summary_->setText(text);
    // What could not be read, by line: the first ten, then a count.
    QStringList lines;
    const QStringList all = s.leftOut + s.notes;
    for (qsizetype i = 0; i < all.size() && i < kEchoListNames; ++i) {
        lines.append(all[i]);
    }
    const qint64 more = s.leftOutCount + s.notes.size() - lines.size();
    if (more > 0) {
        lines.append(QStringLiteral("and %1 more").arg(locale.toString(more)));
    }
    problems_->setText(lines.join(QLatin1Char('\n')));
    problems_->setVisible(!lines.isEmpty());
    // Widths from the header and the cell of the longest text in the first rows: the size hints
    // of every cell, even of a few hundred rows, hold up the window.
    const int rows = std::min(model_->rowCount(), kRowsMeasured);
    for (int c = 0; c < model_->columnCount(); ++c) {
        QModelIndex longest;
        qsizetype length = -1;
        for (int r = 0; r < rows; ++r) {
            const QModelIndex index = model_->index(r, c);
            const qsizetype n = index.data().toString().size();
            if (n > length) {
                longest = index;
                length = n;
            }
        }
        // A character to spare: a text as long may be a little wider.
        const int cell = longest.isValid() ? table_->sizeHintForIndex(longest).width() +
                                                 table_->fontMetrics().averageCharWidth()
                                           : 0;
        const int header = table_->horizontalHeader()->sectionSizeHint(c);
        table_->setColumnWidth(c, std::min(std::max(cell, header), 320));
    }
}

void PositionsWindow::selectRow(int row) {
    const QModelIndex index = model_->index(model_->shownRow(row), 0);
    if (!index.isValid()) {
        return;
    }
    table_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table_->scrollTo(index);
}

}  // namespace pelagon
