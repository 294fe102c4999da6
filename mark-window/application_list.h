// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application list of the Standings tab: every slot to apply for with the QSO that stands for it and
// where it goes (LoTW online, or the card checker), sortable through a proxy, and "Save application list..."
// for the same ADI as the command line's --apply (or --apply-lotw, --apply-cards).
#include "mark/standings_files.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace awardsync::markwindow {

// Asks for a file's path to save to, given a title, the path proposed and the dialog's file types; empty:
// not saved. fileDialog() opens a file dialog.
using ChoosePath =
    std::function<QString(QWidget* parent, const QString& title, const QString& proposed, const QString& filter)>;
ChoosePath fileDialog();

// Saves what `content` makes at `path` (through a temporary file and a rename, whole or not at all), and says
// in `message` that it did, or why not. The file takes the permissions of `sources`, never wider.
bool saveSaying(const QString& path, const std::function<std::string()>& content, QLabel* message,
                SourcePermissions sources);

enum ApplicationColumn : int {
    SlotNumberColumn, // the entity's DXCC number
    SlotEntityColumn,
    SlotAwardColumn, // Mixed, CW, ..., SAT
    SlotCallColumn,
    SlotDateColumn,
    SlotTimeColumn,
    SlotBandColumn,
    SlotModeColumn,
    SlotMediumColumn,
    SlotLineColumn,
    ApplicationColumnCount
};

// One row per slot of Standings::application, in its order.
class ApplicationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int SortRole = Qt::UserRole;       // numbers as numbers, bands and columns in grid order
    static constexpr int MediumRole = Qt::UserRole + 1; // the slot's mark::CreditMedia bit

    using QAbstractTableModel::QAbstractTableModel;
    void setStandings(std::shared_ptr<const mark::StandingsData> data);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const mark::StandingsData> data_;
};

// The slots of the chosen media (mark::CreditMedia bits), sorted by any column.
class ApplicationFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ApplicationFilter(QObject* parent = nullptr);
    void setMedia(unsigned media);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    unsigned media_ = mark::MediaLotw | mark::MediaCard;
};

class ApplicationList : public QWidget {
    Q_OBJECT
public:
    explicit ApplicationList(QWidget* parent = nullptr);

    void setStandings(std::shared_ptr<const mark::StandingsData> data);
    void setWorking(bool working);
    void setChoosePath(ChoosePath choose) { choosePath_ = std::move(choose); }

    QTableView* view() const { return view_; }
    QComboBox* mediaBox() const { return media_; } // both, LoTW alone, cards alone: what is shown and saved
    QLabel* countsLabel() const { return counts_; }
    QPushButton* saveButton() const { return save_; }

    unsigned media() const;
    // LOG-apply.adi beside the log (LOG without its extension); LOG-apply-lotw.adi, LOG-apply-cards.adi for
    // one medium.
    QString proposedPath() const;
    // Writes the slots' QSOs of the media shown (through a temporary file and a rename); an error goes to the
    // label.
    bool saveApplication(const QString& path);

private:
    void updateEnabled();

    std::shared_ptr<const mark::StandingsData> data_;
    ApplicationModel* model_;
    ApplicationFilter* filter_;
    QTableView* view_;
    QComboBox* media_;
    QLabel* counts_;
    QPushButton* save_;
    QLabel* message_;
    ChoosePath choosePath_;
    bool working_ = false;
};

} // namespace awardsync::markwindow
