// SPDX-License-Identifier: GPL-3.0-or-later
#include "application_list.h"

#include "core/atomic_save.h"
#include "core/text.h"
#include "mark/dxcc_entities.h"
#include "mark/standings_page.h"
#include "report_table.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace awardsync::markwindow {

namespace {

QString mediumName(unsigned medium) {
    return medium == mark::MediaLotw ? ApplicationList::tr("LoTW") : ApplicationList::tr("card");
}

// "20090714" as "2009-07-14", "1805" as "18:05", as the page writes them; anything else as it stands.
QString dateText(std::string_view date) {
    const QString text = toQt(date);
    return text.size() == 8 ? text.left(4) + QLatin1Char('-') + text.mid(4, 2) + QLatin1Char('-') + text.mid(6) : text;
}

QString timeText(std::string_view time) {
    const QString text = toQt(time);
    return text.size() >= 4 ? text.left(2) + QLatin1Char(':') + text.mid(2, 2) : text;
}

} // namespace

bool saveSaying(const QString& path, const std::function<std::string()>& content, QLabel* message,
                SourcePermissions sources) {
    try {
        const std::string bytes = content();
        saveAtomically(path, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())),
                       {.newFilePermissions = std::nullopt, .writeContent = {}, .sourcePermissions = sources});
        message->setText(ApplicationList::tr("Written: %1").arg(path));
        return true;
    } catch (const std::exception& error) {
        message->setText(ApplicationList::tr("Cannot write \"%1\": %2").arg(path, toQt(error.what())));
        return false;
    }
}

ChoosePath fileDialog() {
    return [](QWidget* parent, const QString& title, const QString& proposed, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, title, proposed, filter);
    };
}

void ApplicationModel::setStandings(std::shared_ptr<const mark::StandingsData> data) {
    beginResetModel();
    data_ = std::move(data);
    endResetModel();
}

int ApplicationModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : static_cast<int>(data_->standings.application.size());
}

int ApplicationModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ApplicationColumnCount;
}

QVariant ApplicationModel::data(const QModelIndex& index, int role) const {
    if (!data_ || !index.isValid()) {
        return {};
    }
    const mark::Standings& standings = data_->standings;
    const mark::ApplicationSlot& slot = standings.application[static_cast<std::size_t>(index.row())];
    if (role == MediumRole) {
        return slot.medium;
    }
    if (role == Qt::TextAlignmentRole) { // numbers to the right, as in the grid
        const bool number = index.column() == SlotNumberColumn || index.column() == SlotLineColumn;
        return number ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    }
    if (role != Qt::DisplayRole && role != SortRole) {
        return {};
    }
    const bool sorting = role == SortRole;
    const int dxcc = standings.rows[slot.row].dxcc;
    const mark::StandingsQso& qso = standings.qsos[slot.qso];
    const mark::QsoNames names = mark::qsoNames(qso, data_->logBytes());
    switch (index.column()) {
    case SlotNumberColumn:
        return dxcc;
    case SlotEntityColumn:
        return toQt(mark::dxccEntityLabel(dxcc));
    case SlotAwardColumn:
        return sorting ? QVariant(slot.column) : QVariant(toQt(mark::columnName(slot.column)));
    case SlotCallColumn:
        return toQt(names.call);
    case SlotDateColumn: // the date and time in the log's own digits sort as time does
        return sorting ? QVariant(toQt(names.date) + toQt(names.time)) : QVariant(dateText(names.date));
    case SlotTimeColumn:
        return timeText(names.time);
    case SlotBandColumn: // the bands in the grid's order, 160M first, rather than alphabetical
        return sorting ? QVariant(mark::bandColumn(names.band)) : QVariant(toQt(names.band));
    case SlotModeColumn:
        return toQt(names.mode);
    case SlotMediumColumn:
        return mediumName(slot.medium);
    case SlotLineColumn:
        return static_cast<qulonglong>(qso.line);
    default:
        return {};
    }
}

QVariant ApplicationModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    static const char* const names[] = {
        QT_TRANSLATE_NOOP("ApplicationList", "DXCC"),   QT_TRANSLATE_NOOP("ApplicationList", "Entity"),
        QT_TRANSLATE_NOOP("ApplicationList", "Column"), QT_TRANSLATE_NOOP("ApplicationList", "Call"),
        QT_TRANSLATE_NOOP("ApplicationList", "Date"),   QT_TRANSLATE_NOOP("ApplicationList", "Time"),
        QT_TRANSLATE_NOOP("ApplicationList", "Band"),   QT_TRANSLATE_NOOP("ApplicationList", "Mode"),
        QT_TRANSLATE_NOOP("ApplicationList", "Medium"), QT_TRANSLATE_NOOP("ApplicationList", "Log line")};
    return section >= 0 && section < ApplicationColumnCount ? ApplicationList::tr(names[section]) : QVariant();
}

ApplicationFilter::ApplicationFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(ApplicationModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void ApplicationFilter::setMedia(unsigned media) {
    media_ = media;
    invalidateFilter();
}

bool ApplicationFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    return (sourceModel()->index(sourceRow, 0, sourceParent).data(ApplicationModel::MediumRole).toUInt() & media_) != 0;
}

ApplicationList::ApplicationList(QWidget* parent) : QWidget(parent), choosePath_(fileDialog()) {
    model_ = new ApplicationModel(this);
    filter_ = new ApplicationFilter(this);
    view_ = makeSortedView(filter_, model_, SlotNumberColumn, this);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);

    media_ = new QComboBox(this);
    media_->addItem(tr("Both media"), mark::MediaLotw | mark::MediaCard);
    media_->addItem(tr("Apply online (LoTW)"), static_cast<unsigned>(mark::MediaLotw));
    media_->addItem(tr("Take to a card checker (QSL cards)"), static_cast<unsigned>(mark::MediaCard));
    auto* mediaLabel = new QLabel(tr("Sho&w:"), this);
    mediaLabel->setBuddy(media_);
    counts_ = new QLabel(this);
    counts_->setTextFormat(Qt::PlainText);
    save_ = new QPushButton(tr("Save application &list…"), this);
    message_ = new QLabel(this);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);

    auto* bar = new QHBoxLayout;
    bar->addWidget(mediaLabel);
    bar->addWidget(media_);
    bar->addStretch(1);
    bar->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(counts_);
    layout->addLayout(bar);
    layout->addWidget(message_);

    connect(media_, &QComboBox::currentIndexChanged, this, [this] {
        filter_->setMedia(media());
        updateEnabled();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        const QString path =
            choosePath_(this, tr("Save the application list"), proposedPath(), tr("ADI logs (*.adi *.ADI)"));
        if (!path.isEmpty()) {
            saveApplication(path);
        }
    });
    setStandings(nullptr);
}

unsigned ApplicationList::media() const {
    return media_->currentData().toUInt();
}

void ApplicationList::setStandings(std::shared_ptr<const mark::StandingsData> data) {
    data_ = std::move(data);
    model_->setStandings(data_);
    message_->clear();
    if (data_) {
        const auto count = [this](unsigned medium) {
            const std::size_t slotCount = mark::applicationSlots(data_->standings, medium);
            const std::size_t qsos = mark::applicationQsos(data_->standings, medium).size();
            return QStringLiteral("%1: %2 (%3)")
                .arg(media_->itemText(media_->findData(medium)),
                     slotCount == 1 ? tr("1 slot") : tr("%1 slots").arg(slotCount),
                     qsos == 1 ? tr("1 QSO") : tr("%1 QSOs").arg(qsos));
        };
        counts_->setText(count(mark::MediaLotw) + QStringLiteral("; ") + count(mark::MediaCard));
    } else {
        counts_->clear();
    }
    view_->resizeColumnsToContents();
    updateEnabled();
}

void ApplicationList::setWorking(bool working) {
    working_ = working;
    updateEnabled();
}

void ApplicationList::updateEnabled() {
    save_->setEnabled(!working_ && data_ && mark::applicationSlots(data_->standings, media()) > 0);
}

QString ApplicationList::proposedPath() const {
    if (!data_) {
        return {};
    }
    const unsigned chosen = media();
    const char* ending = chosen == mark::MediaLotw   ? "-apply-lotw.adi"
                         : chosen == mark::MediaCard ? "-apply-cards.adi"
                                                     : "-apply.adi";
    return toQt(pathWithNewEnding(data_->logPath, ending, false));
}

bool ApplicationList::saveApplication(const QString& path) {
    if (!data_) {
        return false;
    }
    return saveSaying(
        path, [this] { return mark::applicationAdi(data_->standings, data_->logBytes(), media()); }, message_,
        SourcePermissions::of({data_->logPath}));
}

} // namespace awardsync::markwindow
