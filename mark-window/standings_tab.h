// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The "Standings" tab of the marking window: the totals, the grid of entities by award column (a
// table view over the standings), and "Save as HTML..." for the same page as the command line's.
#include "mark/marking.h"
#include "mark/standings_files.h"

#include <QAbstractTableModel>
#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace awardsync::markwindow {

// The grid: one row per entity (its name in the row header), one column per award column; each
// cell shows its letter, its state's colour, and a tooltip naming the QSO that stands for it.
class StandingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setStandings(std::shared_ptr<const mark::StandingsData> data);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    const std::shared_ptr<const mark::StandingsData>& standings() const { return data_; }

private:
    std::shared_ptr<const mark::StandingsData> data_;
};

class StandingsTab : public QWidget {
    Q_OBJECT
public:
    explicit StandingsTab(QWidget* parent = nullptr);

    // Shows the standings of a marking; nullptr clears the tab.
    void setStandings(std::shared_ptr<const mark::StandingsData> data);

    QLabel* totalsLabel() const { return totals_; }
    QTableView* view() const { return view_; }
    QPushButton* saveButton() const { return save_; }

    // Writes the page to `path` (through a temporary file and a rename); an error goes to the label.
    bool saveHtml(const QString& path);

private:
    StandingsModel* model_; // holds the standings shown
    QLabel* totals_;
    QTableView* view_;
    QPushButton* save_;
    QLabel* message_;
};

// Fills `window` with two tabs: a new page for the marking form, which it returns, and a new
// StandingsTab, which goes to `tab`.
QWidget* addStandingsTab(QWidget* window, StandingsTab*& tab);

// For markFiles: keeps the standings of the bytes it has read in `slot`.
mark::MarkInputsHook keepStandings(std::shared_ptr<const mark::StandingsData>& slot, const mark::MarkOptions& options);

} // namespace awardsync::markwindow
