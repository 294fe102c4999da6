// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings_tab.h"

#include "core/text.h"
#include "mark/dxcc_entities.h"
#include "mark/standings_page.h"
#include "report_table.h"

#include <QBrush>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
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

bool isFiveBand(int column) {
    return std::find(mark::FiveBandColumns.begin(), mark::FiveBandColumns.end(), column) != mark::FiveBandColumns.end();
}

// The awards the targets name one a line: Mixed and the modes.
constexpr int TargetColumns[] = {mark::ColumnMixed, mark::ColumnCw, mark::ColumnPhone, mark::ColumnDigital};

// The targets as the page states them, one award a line.
QString targetLines(const mark::Standings& s) {
    QStringList lines;
    for (const int c : TargetColumns) {
        lines << QStringLiteral("%1: %2").arg(
            toQt(mark::columnName(c)),
            toQt(mark::targetText(mark::dxccTarget(s.totals[static_cast<std::size_t>(c)].credited))));
    }
    lines << StandingsTab::tr("Challenge: %1").arg(toQt(mark::targetText(mark::challengeTarget(s.challenge))));
    QStringList bands;
    for (const int c : mark::FiveBandColumns) {
        bands << QStringLiteral("%1 %2")
                     .arg(toQt(mark::columnName(c)))
                     .arg(s.totals[static_cast<std::size_t>(c)].credited);
    }
    // On a line of its own, so that the panel stays as narrow as the legend and the grid keeps its width.
    lines << StandingsTab::tr("5-band, of %1 each:").arg(mark::fiveBandTarget(0).of)
          << bands.join(QStringLiteral(", "));
    return lines.join(QLatin1Char('\n'));
}

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
                const std::size_t count =
                    standings ? standings->totals[static_cast<std::size_t>(c)].*TotalsLines[row].member : 0;
                auto* cell = new QTableWidgetItem(standings ? QString::number(count) : QString());
                cell->setTextAlignment(Qt::AlignCenter);
                // The column is too narrow for its target; the mouse over the count names it.
                if (standings && TotalsLines[row].member == &mark::ColumnTotals::credited) {
                    cell->setToolTip(
                        toQt(mark::targetText(isFiveBand(c) ? mark::fiveBandTarget(count) : mark::dxccTarget(count))));
                }
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
    unnamed_.clear();
    if (data_) {
        const mark::Standings& standings = data_->standings;
        for (const mark::ApplicationSlot& slot : standings.application) {
            toApply_[slot.row] = true;
        }
        // Every current entity without a row is never worked in Mixed; those with one are already shown.
        for (const int dxcc : standings.needed[mark::ColumnMixed].neverWorked) {
            const auto named =
                std::lower_bound(standings.rows.begin(), standings.rows.end(), dxcc,
                                 [](const mark::StandingsRow& row, int code) { return row.dxcc < code; });
            if (named == standings.rows.end() || named->dxcc != dxcc) {
                unnamed_.push_back({.dxcc = dxcc, .counted = true, .cells = {}});
            }
        }
    }
    endResetModel();
}

const mark::StandingsRow& StandingsModel::rowAt(int row) const {
    const std::vector<mark::StandingsRow>& named = data_->standings.rows;
    const auto index = static_cast<std::size_t>(row);
    return index < named.size() ? named[index] : unnamed_[index - named.size()];
}

int StandingsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : static_cast<int>(data_->standings.rows.size() + unnamed_.size());
}

int StandingsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : GridColumnCount;
}

QVariant StandingsModel::data(const QModelIndex& index, int role) const {
    if (!data_ || !index.isValid()) {
        return {};
    }
    const mark::StandingsRow& row = rowAt(index.row());
    const bool named = static_cast<std::size_t>(index.row()) < data_->standings.rows.size();
    switch (role) {
    case ToApplyRole:
        return named && toApply_[static_cast<std::size_t>(index.row())];
    case NamedRole:
        return named;
    case NeededRole: {
        unsigned columns = 0;
        for (int c = 0; c < mark::ColumnCount && row.counted; ++c) {
            if (row.cells[static_cast<std::size_t>(c)].state != mark::CellState::Credited) {
                columns |= 1U << c;
            }
        }
        return columns;
    }
    default:
        break;
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
            return !row.counted ? QVariant(StandingsTab::tr("Deleted or unknown: shown, not counted"))
                   : named      ? QVariant()
                                : QVariant(StandingsTab::tr("%1: neither the log nor the credits name it")
                                               .arg(toQt(mark::dxccEntityLabel(row.dxcc))));
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

void StandingsFilter::setOnlyNeeded(bool only) {
    onlyNeeded_ = only;
    invalidateFilter();
}

void StandingsFilter::setNeededColumn(int column) {
    neededColumn_ = column;
    invalidateFilter();
}

bool StandingsFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QAbstractItemModel& grid = *sourceModel();
    const QModelIndex first = grid.index(sourceRow, 0, sourceParent);
    if (onlyToApply_ && !first.data(StandingsModel::ToApplyRole).toBool()) {
        return false;
    }
    // The entities nobody names are rows of the needed ones alone, so that the grid stays the page's.
    if (onlyNeeded_ ? (first.data(StandingsModel::NeededRole).toUInt() & (1U << neededColumn_)) == 0
                    : !first.data(StandingsModel::NamedRole).toBool()) {
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
    view_ = makeSortedView(filter_, model_, EntityNumberColumn, this);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn); // the totals keep its room free
    view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    totals_ = new TotalsTable(view_, this);

    entity_ = new QLineEdit(this);
    entity_->setPlaceholderText(tr("name or DXCC number"));
    entity_->setClearButtonEnabled(true);
    auto* entityLabel = new QLabel(tr("&Entity:"), this);
    entityLabel->setBuddy(entity_);
    onlyToApply_ = new QCheckBox(tr("Only rows with something to &apply for"), this);
    onlyNeeded_ = new QCheckBox(tr("Only &needed in"), this);
    onlyNeeded_->setToolTip(tr("The current entities without a credit in the column, those never worked included"));
    neededColumn_ = new QComboBox(this);
    // Every column, the bands and SAT too, so that the line below counts what each band still needs.
    for (int c = 0; c < mark::ColumnCount; ++c) {
        neededColumn_->addItem(toQt(mark::columnName(c)), c);
    }
    needed_ = new QLabel(this);
    needed_->setTextFormat(Qt::PlainText);
    needed_->setWordWrap(true);
    sources_ = new QLabel(this);
    sources_->setTextFormat(Qt::PlainText);
    sources_->setWordWrap(true);
    auto* targets = new QGroupBox(tr("Targets"), this);
    targets_ = new QLabel(targets);
    targets_->setTextFormat(Qt::PlainText);
    (new QVBoxLayout(targets))->addWidget(targets_);
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
    application_ = new ApplicationList(this);
    auto* progress = new QWidget(this);
    progressText_ = new QLabel(progress);
    progressText_->setTextFormat(Qt::PlainText);
    progressText_->setWordWrap(true);
    chart_ = new ProgressChart(progress);
    auto* progressLayout = new QVBoxLayout(progress);
    progressLayout->addWidget(progressText_);
    progressLayout->addWidget(chart_, 1);

    // The grid takes the height; what explains it stands beside it, where a wide screen has room to spare.
    auto* panel = new QVBoxLayout;
    auto* find = new QHBoxLayout;
    find->addWidget(entityLabel);
    find->addWidget(entity_, 1);
    panel->addWidget(sources_);
    panel->addWidget(targets);
    panel->addLayout(find);
    panel->addWidget(onlyToApply_);
    auto* needed = new QHBoxLayout;
    needed->addWidget(onlyNeeded_);
    needed->addWidget(neededColumn_);
    needed->addStretch(1);
    panel->addLayout(needed);
    panel->addWidget(needed_);
    panel->addWidget(shown_);
    panel->addWidget(legend);
    panel->addWidget(summary_);
    panel->addStretch(1);
    panel->addWidget(message_);
    panel->addWidget(save_, 0, Qt::AlignRight);
    // The application list is a page of its own beside the grid: it needs the width of its QSOs.
    pages_ = new QTabWidget(this);
    auto* gridPage = new QWidget(pages_);
    auto* grid = new QVBoxLayout(gridPage);
    grid->setSpacing(0);                  // the totals read as the grid's first lines
    grid->setContentsMargins(0, 0, 0, 0); // the page's frame is margin enough
    // Beside the totals, the room of the grid's vertical scroll bar stays free, so that both scroll sideways
    // over the same width.
    auto* totalsRow = new QHBoxLayout;
    totalsRow->addWidget(totals_);
    totalsRow->addSpacing(view_->verticalScrollBar()->sizeHint().width());
    grid->addLayout(totalsRow);
    grid->addWidget(view_, 1);
    pages_->addTab(gridPage, tr("&Grid"));
    pages_->addTab(application_, tr("A&pplication list"));
    pages_->addTab(progress, tr("P&rogress"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(pages_, 1);
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
    connect(onlyNeeded_, &QCheckBox::toggled, this, [this](bool only) {
        filter_->setOnlyNeeded(only);
        updateShown();
    });
    connect(neededColumn_, &QComboBox::currentIndexChanged, this, [this] {
        filter_->setNeededColumn(neededColumn_->currentData().toInt());
        updateNeeded();
        updateShown();
    });
    choosePath_ = fileDialog();
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path = choosePath_(this, tr("Save the standings"), proposedPath(), tr("HTML pages (*.html)"));
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
    targets_->setText(data ? targetLines(data->standings) : tr("Mark a log to see them."));
    pages_->setTabText(pages_->indexOf(application_),
                       data ? tr("A&pplication list (%1)").arg(data->standings.application.size())
                            : tr("A&pplication list"));
    application_->setStandings(data);
    showProgress(data ? mark::progressByMonth(data->standings) : mark::ProgressSeries{});
    showSources(data.get());
    model_->setStandings(std::move(data));
    message_->clear();
    fitColumns();
    updateNeeded();
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
    const std::shared_ptr<const mark::StandingsData>& data = model_->standings();
    // Counted against the entities of the log and the credits, as the grid shows them unfiltered; the needed ones
    // against every entity.
    const std::size_t of = onlyNeeded_->isChecked() ? static_cast<std::size_t>(model_->rowCount())
                           : data                   ? data->standings.rows.size()
                                                    : 0;
    shown_->setText(data ? tr("%1 of %2 entities shown").arg(filter_->rowCount()).arg(of) : QString());
}

void StandingsTab::showSources(const mark::StandingsData* data) {
    if (!data) {
        sources_->clear();
        sources_->setToolTip({});
        return;
    }
    // The file names alone keep the panel narrow; the mouse over them names the whole paths.
    const QString made = toQt(mark::utcText(QDateTime::currentDateTimeUtc()));
    const QString credits = QFileInfo(toQt(data->creditsPath)).fileName();
    const QString log = QFileInfo(toQt(data->logPath)).fileName();
    sources_->setText(data->creditsCreated
                          ? tr("Made %1 from %2 (made %3) and %4.")
                                .arg(made, credits, toQt(mark::utcText(*data->creditsCreated)), log)
                          : tr("Made %1 from %2 (it does not say when it was made; a records file never does) and %3.")
                                .arg(made, credits, log));
    sources_->setToolTip(tr("Credits: %1\nLog: %2").arg(toQt(data->creditsPath), toQt(data->logPath)));
}

void StandingsTab::showProgress(mark::ProgressSeries series) {
    QString text;
    if (!series.months.empty()) {
        text = tr("Credited entities (Mixed, solid line) and Challenge band slots (dashed line) by the date of the QSO "
                  "each credit stands on, one point per month from %1-%2 to %3-%4.")
                   .arg(series.months.front().year)
                   .arg(series.months.front().month, 2, 10, QLatin1Char('0'))
                   .arg(series.months.back().year)
                   .arg(series.months.back().month, 2, 10, QLatin1Char('0'));
        QStringList undated;
        if (series.undatedMixed > 0) {
            undated << tr("%1 Mixed").arg(series.undatedMixed);
        }
        if (series.undatedChallenge > 0) {
            undated << tr("%1 Challenge").arg(series.undatedChallenge);
        }
        if (!undated.isEmpty()) {
            text += tr(" Credited, but not in the chart as the log holds no dated QSO for them: %1.")
                        .arg(undated.join(tr(" and ")));
        }
    }
    progressText_->setText(text);
    chart_->setSeries(std::move(series));
}

void StandingsTab::updateNeeded() {
    const std::shared_ptr<const mark::StandingsData>& data = model_->standings();
    if (!data) {
        needed_->clear();
        return;
    }
    const int column = neededColumn_->currentData().toInt();
    const mark::NeededEntities& needed = data->standings.needed[static_cast<std::size_t>(column)];
    const std::size_t unconfirmed = needed.neverWorked.size() + needed.notConfirmed.size();
    needed_->setText(tr("%1: %2 not credited; %3 never worked, %4 worked, not confirmed, %5 confirmed (to apply "
                        "for).")
                         .arg(toQt(mark::columnName(column)))
                         .arg(needed.notCredited)
                         .arg(needed.neverWorked.size())
                         .arg(needed.notConfirmed.size())
                         .arg(needed.notCredited - std::min(needed.notCredited, unconfirmed)));
}

void StandingsTab::setChoosePath(const ChoosePath& choose) {
    choosePath_ = choose;
    application_->setChoosePath(choose);
}

void StandingsTab::setWorking(bool working) {
    working_ = working;
    save_->setEnabled(!working && model_->standings() != nullptr);
    application_->setWorking(working);
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
    return saveSaying(
        path, [&] { return mark::standingsPage(*data); }, message_,
        SourcePermissions::of({data->creditsPath, data->logPath}));
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
    return [&slot, &options](const mark::MarkInputs& read) {
        slot = mark::standingsOfMarking(read, options.recordsPath, options.logPath);
    };
}

} // namespace awardsync::markwindow
