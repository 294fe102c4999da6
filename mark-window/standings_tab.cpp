// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings_tab.h"

#include "core/atomic_save.h"
#include "core/text.h"
#include "mark/dxcc_entities.h"
#include "mark/standings_page.h"
#include "report_table.h"

#include <QBrush>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace awardsync::markwindow {

namespace {

// The page's colours, so that the tab and the page read alike.
QColor background(mark::CellState state) {
    switch (state) {
    case mark::CellState::Credited:
        return QColor(0x2e, 0x7d, 0x32);
    case mark::CellState::Confirmed:
        return QColor(0xfd, 0xd8, 0x35);
    case mark::CellState::Worked:
        return QColor(0xff, 0xe0, 0xb2);
    default:
        return {};
    }
}

QColor foreground(mark::CellState state) {
    return state == mark::CellState::Credited ? QColor(Qt::white) : QColor(Qt::black);
}

// Sorting a column ascending brings what is still missing first.
int stateRank(mark::CellState state) {
    switch (state) {
    case mark::CellState::Worked:
        return 1;
    case mark::CellState::Confirmed:
        return 2;
    case mark::CellState::Credited:
        return 3;
    default:
        return 0;
    }
}

// The rows of the totals, each a member of the column totals.
struct TotalsLine {
    const char* label;
    std::size_t mark::ColumnTotals::*member;
};
constexpr TotalsLine TotalsLines[] = {
    {QT_TRANSLATE_NOOP("StandingsTab", "Credited"), &mark::ColumnTotals::credited},
    {QT_TRANSLATE_NOOP("StandingsTab", "  by LoTW"), &mark::ColumnTotals::lotw},
    {QT_TRANSLATE_NOOP("StandingsTab", "  by card"), &mark::ColumnTotals::card},
    {QT_TRANSLATE_NOOP("StandingsTab", "Confirmed, not credited"), &mark::ColumnTotals::confirmed},
    {QT_TRANSLATE_NOOP("StandingsTab", "Worked, not confirmed"), &mark::ColumnTotals::worked},
    {QT_TRANSLATE_NOOP("StandingsTab", "QSOs without DXCC"), &mark::ColumnTotals::unknownEntity},
};

} // namespace

// The totals in the grid's own column widths, scrolled sideways with it (pixel by pixel, as the grid is).
class TotalsTable : public QTableWidget {
public:
    TotalsTable(QTableView* grid, QWidget* parent)
        : QTableWidget(static_cast<int>(std::size(TotalsLines)), GridColumnCount, parent) {
        horizontalHeader()->hide();
        verticalHeader()->hide();
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setDefaultSectionSize(grid->verticalHeader()->defaultSectionSize());
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setEditTriggers(NoEditTriggers);
        setSelectionMode(NoSelection);
        setFocusPolicy(Qt::NoFocus);
        setWordWrap(false);
        setHorizontalScrollMode(ScrollPerPixel);
        setFixedHeight(rowCount() * verticalHeader()->defaultSectionSize() + 2 * frameWidth());
        for (int row = 0; row < rowCount(); ++row) {
            setSpan(row, EntityNumberColumn, 1, 2);
            setItem(row, EntityNumberColumn, new QTableWidgetItem(StandingsTab::tr(TotalsLines[row].label)));
        }
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this,
                [this](int column, int, int width) { setColumnWidth(column, width); });
        connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, horizontalScrollBar(), &QScrollBar::setValue);
    }

    // The width the labels need across the number and name columns.
    int labelWidth() const {
        int widest = 0;
        for (int row = 0; row < rowCount(); ++row) {
            widest = std::max(widest, fontMetrics().horizontalAdvance(item(row, EntityNumberColumn)->text()));
        }
        return widest + 2 * fontMetrics().averageCharWidth();
    }

    void showTotals(const mark::Standings* standings) {
        for (int row = 0; row < rowCount(); ++row) {
            for (int c = 0; c < mark::ColumnCount; ++c) {
                auto* cell = new QTableWidgetItem(
                    standings ? QString::number(standings->totals[static_cast<std::size_t>(c)].*TotalsLines[row].member)
                              : QString());
                cell->setTextAlignment(Qt::AlignCenter);
                setItem(row, FirstAwardColumn + c, cell);
            }
        }
    }
};

std::vector<LegendEntry> legendEntries() {
    using mark::CellState;
    const struct {
        CellState state;
        unsigned media;
        QString meaning;
    } samples[] = {
        {CellState::Credited, mark::MediaLotw, StandingsTab::tr("credited by LoTW")},
        {CellState::Credited, mark::MediaCard, StandingsTab::tr("credited by card")},
        {CellState::Credited, mark::MediaLotw | mark::MediaCard, StandingsTab::tr("credited by both")},
        {CellState::Credited, 0, StandingsTab::tr("credited, the source names no medium")},
        {CellState::Confirmed, 0, StandingsTab::tr("confirmed, not credited: apply")},
        {CellState::Worked, 0, StandingsTab::tr("worked, not confirmed")},
    };
    std::vector<LegendEntry> entries;
    for (const auto& sample : samples) {
        mark::StandingsCell cell;
        cell.state = sample.state;
        cell.media = sample.media;
        entries.push_back(
            {toQt(mark::cellLetter(cell)), background(cell.state), foreground(cell.state), sample.meaning});
    }
    return entries;
}

void StandingsModel::setStandings(std::shared_ptr<const mark::StandingsData> data) {
    beginResetModel();
    data_ = std::move(data);
    toApply_.assign(data_ ? data_->standings.rows.size() : 0, false);
    if (data_) {
        for (const mark::ApplicationSlot& slot : data_->standings.application) {
            toApply_[slot.row] = true;
        }
    }
    endResetModel();
}

int StandingsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : static_cast<int>(data_->standings.rows.size());
}

int StandingsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : GridColumnCount;
}

QVariant StandingsModel::data(const QModelIndex& index, int role) const {
    if (!data_ || !index.isValid()) {
        return {};
    }
    const mark::StandingsRow& row = data_->standings.rows[static_cast<std::size_t>(index.row())];
    if (role == ToApplyRole) {
        return bool(toApply_[static_cast<std::size_t>(index.row())]);
    }
    if (index.column() < FirstAwardColumn) {
        const bool number = index.column() == EntityNumberColumn;
        switch (role) {
        case Qt::DisplayRole:
        case SortRole:
            return number ? QVariant(row.dxcc) : QVariant(toQt(mark::dxccEntityLabel(row.dxcc)));
        case Qt::ForegroundRole: // deleted entities in grey, as on the page
            return row.counted ? QVariant() : QVariant(QBrush(Qt::gray));
        case Qt::ToolTipRole:
            return row.counted ? QVariant() : QVariant(StandingsTab::tr("Deleted or unknown: shown, not counted"));
        case Qt::TextAlignmentRole:
            return number ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }
    const mark::StandingsCell& cell = row.cells[static_cast<std::size_t>(index.column() - FirstAwardColumn)];
    switch (role) {
    case Qt::DisplayRole:
        return toQt(mark::cellLetter(cell));
    case SortRole:
        return stateRank(cell.state);
    case Qt::ToolTipRole:
        return cell.state == mark::CellState::Empty
                   ? QVariant()
                   : QVariant(toQt(mark::cellDescription(cell, data_->standings, data_->logBytes())));
    case Qt::BackgroundRole:
        return cell.state == mark::CellState::Empty ? QVariant() : QVariant(QBrush(background(cell.state)));
    case Qt::ForegroundRole:
        return cell.state == mark::CellState::Empty ? QVariant() : QVariant(QBrush(foreground(cell.state)));
    case Qt::TextAlignmentRole:
        return Qt::AlignCenter;
    default:
        return {};
    }
}

QVariant StandingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    switch (section) {
    case EntityNumberColumn:
        return StandingsTab::tr("DXCC");
    case EntityNameColumn:
        return StandingsTab::tr("Entity");
    default:
        return toQt(mark::columnName(section - FirstAwardColumn));
    }
}

StandingsFilter::StandingsFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(StandingsModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void StandingsFilter::setEntityText(const QString& text) {
    text_ = text.trimmed();
    invalidateFilter();
}

void StandingsFilter::setOnlyToApply(bool only) {
    onlyToApply_ = only;
    invalidateFilter();
}

bool StandingsFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QAbstractItemModel& grid = *sourceModel();
    if (onlyToApply_ && !grid.index(sourceRow, 0, sourceParent).data(StandingsModel::ToApplyRole).toBool()) {
        return false;
    }
    if (text_.isEmpty()) {
        return true;
    }
    // A number names one entity; "2" showing 2, 21, 212 and 223 would hide the one asked for among many.
    bool isNumber = false;
    const int number = text_.toInt(&isNumber);
    if (isNumber) {
        return grid.index(sourceRow, EntityNumberColumn, sourceParent).data().toInt() == number;
    }
    return grid.index(sourceRow, EntityNameColumn, sourceParent).data().toString().contains(text_, Qt::CaseInsensitive);
}

StandingsTab::StandingsTab(QWidget* parent) : QWidget(parent) {
    model_ = new StandingsModel(this);
    filter_ = new StandingsFilter(this);
    filter_->setSourceModel(model_);

    view_ = new QTableView(this);
    view_->setModel(filter_);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->verticalHeader()->hide();
    useOneLineRows(view_);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn); // the totals keep its room free
    view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->setSortingEnabled(true);
    view_->sortByColumn(EntityNumberColumn, Qt::AscendingOrder);
    totals_ = new TotalsTable(view_, this);

    entity_ = new QLineEdit(this);
    entity_->setPlaceholderText(tr("name or DXCC number"));
    entity_->setClearButtonEnabled(true);
    auto* entityLabel = new QLabel(tr("&Entity:"), this);
    entityLabel->setBuddy(entity_);
    onlyToApply_ = new QCheckBox(tr("Only rows with something to &apply for"), this);
    shown_ = new QLabel(this);
    auto* legend = new QGroupBox(tr("Legend"), this);
    auto* legendLayout = new QGridLayout(legend);
    const int swatchWidth = fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 8;
    for (const LegendEntry& entry : legendEntries()) {
        auto* swatch = new QLabel(entry.letter, legend);
        swatch->setAlignment(Qt::AlignCenter);
        swatch->setFixedWidth(swatchWidth);
        swatch->setAutoFillBackground(true);
        QPalette colours = swatch->palette();
        colours.setColor(QPalette::Window, entry.background);
        colours.setColor(QPalette::WindowText, entry.foreground);
        swatch->setPalette(colours);
        const int row = legendLayout->rowCount();
        legendLayout->addWidget(swatch, row, 0);
        legendLayout->addWidget(new QLabel(entry.meaning, legend), row, 1);
    }
    legendLayout->setColumnStretch(1, 1);
    summary_ = new QLabel(this);
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    save_ = new QPushButton(tr("Save as &HTML…"), this);
    message_ = new QLabel(this);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);

    // The grid takes the height; what explains it stands beside it, where a wide screen has room to spare.
    auto* panel = new QVBoxLayout;
    auto* find = new QHBoxLayout;
    find->addWidget(entityLabel);
    find->addWidget(entity_, 1);
    panel->addLayout(find);
    panel->addWidget(onlyToApply_);
    panel->addWidget(shown_);
    panel->addWidget(legend);
    panel->addWidget(summary_);
    panel->addStretch(1);
    panel->addWidget(message_);
    panel->addWidget(save_, 0, Qt::AlignRight);
    auto* grid = new QVBoxLayout;
    grid->setSpacing(0); // the totals read as the grid's first lines
    // Beside the totals, the room of the grid's vertical scroll bar stays free, so that both scroll sideways
    // over the same width.
    auto* totalsRow = new QHBoxLayout;
    totalsRow->addWidget(totals_);
    totalsRow->addSpacing(view_->verticalScrollBar()->sizeHint().width());
    grid->addLayout(totalsRow);
    grid->addWidget(view_, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(panel);

    connect(entity_, &QLineEdit::textChanged, this, [this](const QString& text) {
        filter_->setEntityText(text);
        updateShown();
    });
    connect(view_->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &StandingsTab::fitAwardColumns);
    connect(onlyToApply_, &QCheckBox::toggled, this, [this](bool only) {
        filter_->setOnlyToApply(only);
        updateShown();
    });
    choosePath_ = [](QWidget* parent, const QString& proposed) {
        return QFileDialog::getSaveFileName(parent, tr("Save the standings"), proposed, tr("HTML pages (*.html)"));
    };
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = choosePath_(this, proposedPath());
        if (!path.isEmpty()) {
            saveHtml(path);
        }
    });
    setStandings(nullptr);
}

void StandingsTab::setStandings(std::shared_ptr<const mark::StandingsData> data) {
    summary_->setText(data ? tr("%1. %2 slots to apply for.")
                                 .arg(toQt(mark::standingsSummaryLine(data->standings)))
                                 .arg(data->standings.application.size())
                           : tr("Mark a log to see its standings."));
    totals_->showTotals(data ? &data->standings : nullptr);
    model_->setStandings(std::move(data));
    message_->clear();
    fitColumns();
    updateShown();
    setWorking(working_);
}

void StandingsTab::fitColumns() {
    view_->resizeColumnToContents(EntityNumberColumn);
    view_->resizeColumnToContents(EntityNameColumn);
    fitAwardColumns();
    // The totals' labels stand across the number and name columns.
    const int missing =
        totals_->labelWidth() - view_->columnWidth(EntityNumberColumn) - view_->columnWidth(EntityNameColumn);
    if (missing > 0) {
        view_->setColumnWidth(EntityNameColumn, view_->columnWidth(EntityNameColumn) + missing);
    }
    for (int column = 0; column < GridColumnCount; ++column) {
        totals_->setColumnWidth(column, view_->columnWidth(column));
    }
}

void StandingsTab::fitAwardColumns() {
    // An award column as wide as its name, and the sorted one room for the arrow too: that room in every
    // column, as the header would keep it, would push the last columns out of the window.
    const QHeaderView& header = *view_->horizontalHeader();
    const QFontMetrics metrics = header.fontMetrics();
    const int margins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin) + metrics.averageCharWidth();
    const int arrow = style()->pixelMetric(QStyle::PM_HeaderMarkSize) + style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int c = 0; c < mark::ColumnCount; ++c) {
        const int column = FirstAwardColumn + c;
        view_->setColumnWidth(column, std::max(metrics.horizontalAdvance(toQt(mark::columnName(c))),
                                               metrics.horizontalAdvance(QStringLiteral("MM"))) +
                                          margins + (header.sortIndicatorSection() == column ? arrow : 0));
    }
}

QTableWidget* StandingsTab::totalsTable() const {
    return totals_;
}

void StandingsTab::updateShown() {
    shown_->setText(model_->standings() ? tr("%1 of %2 entities shown").arg(filter_->rowCount()).arg(model_->rowCount())
                                        : QString());
}

void StandingsTab::setWorking(bool working) {
    working_ = working;
    save_->setEnabled(!working && model_->standings() != nullptr);
}

QString StandingsTab::proposedPath() const {
    const std::shared_ptr<const mark::StandingsData>& data = model_->standings();
    return data ? toQt(pathWithNewEnding(data->logPath, "-standings.html", false)) : QString();
}

bool StandingsTab::saveHtml(const QString& path) {
    const std::shared_ptr<const mark::StandingsData>& data = model_->standings();
    if (!data) {
        return false;
    }
    try {
        const std::string page = mark::standingsPage(*data);
        saveAtomically(path, QByteArray(page.data(), static_cast<qsizetype>(page.size())));
        message_->setText(tr("Written: %1").arg(path));
        return true;
    } catch (const std::exception& error) {
        message_->setText(tr("Cannot write \"%1\": %2").arg(path, toQt(error.what())));
        return false;
    }
}

QWidget* addStandingsTab(QWidget* window, StandingsTab*& tab) {
    auto* tabs = new QTabWidget(window);
    auto* markingPage = new QWidget(tabs);
    tabs->addTab(markingPage, StandingsTab::tr("Mar&king"));
    tab = new StandingsTab(tabs);
    tabs->addTab(tab, StandingsTab::tr("&Standings"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);
    return markingPage;
}

mark::MarkInputsHook keepStandings(std::shared_ptr<const mark::StandingsData>& slot, const mark::MarkOptions& options) {
    return [&slot, &options](const std::vector<mark::Credit>& credits, const QByteArray& log,
                             const mark::StandingsTally& tally) {
        slot = mark::standingsOfMarking(credits, log, tally, options.recordsPath, options.logPath);
    };
}

} // namespace awardsync::markwindow
