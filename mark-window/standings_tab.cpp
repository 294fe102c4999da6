// SPDX-License-Identifier: GPL-3.0-or-later
#include "standings_tab.h"

#include "core/atomic_save.h"
#include "core/text.h"
#include "mark/dxcc_entities.h"
#include "mark/standings_page.h"

#include <QBrush>
#include <QColor>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

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

// The totals as a small table of numbers: nothing from the files, so plain rich text is safe.
QString totalsText(const mark::Standings& s) {
    QString text = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\"><tr><th></th>");
    for (int c = 0; c < mark::ColumnCount; ++c) {
        text += QStringLiteral("<th>%1</th>").arg(toQt(mark::columnName(c)));
    }
    const auto line = [&](const QString& label, std::size_t mark::ColumnTotals::*member) {
        text += QStringLiteral("</tr><tr><th align=\"left\">%1</th>").arg(label);
        for (const mark::ColumnTotals& totals : s.totals) {
            text += QStringLiteral("<td align=\"right\">%1</td>").arg(totals.*member);
        }
    };
    line(StandingsTab::tr("Credited"), &mark::ColumnTotals::credited);
    line(StandingsTab::tr("by LoTW"), &mark::ColumnTotals::lotw);
    line(StandingsTab::tr("by card"), &mark::ColumnTotals::card);
    line(StandingsTab::tr("Confirmed, not credited"), &mark::ColumnTotals::confirmed);
    line(StandingsTab::tr("Worked, not confirmed"), &mark::ColumnTotals::worked);
    line(StandingsTab::tr("QSOs without DXCC"), &mark::ColumnTotals::unknownEntity);
    text += QStringLiteral("</tr></table><p>%1. %2 slots to apply for.</p>")
                .arg(toQt(mark::standingsSummaryLine(s)))
                .arg(s.application.size());
    return text;
}

} // namespace

void StandingsModel::setStandings(std::shared_ptr<const mark::StandingsData> data) {
    beginResetModel();
    data_ = std::move(data);
    endResetModel();
}

int StandingsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : static_cast<int>(data_->standings.rows.size());
}

int StandingsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : mark::ColumnCount;
}

QVariant StandingsModel::data(const QModelIndex& index, int role) const {
    if (!data_ || !index.isValid()) {
        return {};
    }
    const mark::StandingsCell& cell =
        data_->standings.rows[static_cast<std::size_t>(index.row())].cells[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return toQt(mark::cellLetter(cell));
    case Qt::ToolTipRole:
        return cell.state == mark::CellState::Empty
                   ? QVariant()
                   : QVariant(toQt(mark::cellDescription(cell, data_->standings, data_->logBytes())));
    case Qt::BackgroundRole:
        return cell.state == mark::CellState::Empty ? QVariant() : QVariant(QBrush(background(cell.state)));
    case Qt::ForegroundRole:
        return cell.state == mark::CellState::Credited ? QVariant(QBrush(Qt::white)) : QVariant();
    case Qt::TextAlignmentRole:
        return Qt::AlignCenter;
    default:
        return {};
    }
}

QVariant StandingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return toQt(mark::columnName(section));
    }
    if (!data_ || section < 0 || section >= rowCount()) {
        return {};
    }
    const int dxcc = data_->standings.rows[static_cast<std::size_t>(section)].dxcc;
    return QStringLiteral("%1 %2").arg(dxcc).arg(toQt(mark::dxccEntityLabel(dxcc)));
}

StandingsTab::StandingsTab(QWidget* parent) : QWidget(parent) {
    model_ = new StandingsModel(this);
    totals_ = new QLabel(tr("Mark a log to see its standings."), this);
    totals_->setTextFormat(Qt::RichText);
    view_ = new QTableView(this);
    view_->setModel(model_);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    save_ = new QPushButton(tr("Save as &HTML…"), this);
    save_->setEnabled(false);
    message_ = new QLabel(this);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(message_, 1);
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(totals_);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, tr("Save the standings"),
                                         toQt(model_->standings() ? model_->standings()->logPath : std::string()) +
                                             QStringLiteral("-standings.html"),
                                         tr("HTML pages (*.html)"));
        if (!path.isEmpty()) {
            saveHtml(path);
        }
    });
}

void StandingsTab::setStandings(std::shared_ptr<const mark::StandingsData> data) {
    totals_->setText(data ? totalsText(data->standings) : tr("Mark a log to see its standings."));
    save_->setEnabled(data != nullptr);
    model_->setStandings(std::move(data));
    message_->clear();
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
