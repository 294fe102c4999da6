// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The "Standings" tab of the marking window: when the standings and the credits were made, the targets, the totals in
// the grid's columns, the grid of entities by award column (a table view over the standings, sorted and filtered
// through a proxy), its legend, what is still needed, the application list, the progress chart, and "Save as HTML..."
// for the same page as the command line's.
#include "application_list.h"
#include "mark/marking.h"
#include "mark/standings_files.h"
#include "progress_chart.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class QTabWidget;

namespace awardsync::markwindow {

// The grid's columns: the entity's number and name, then the award columns of the standings (Mixed first).
enum GridColumn : int {
    EntityNumberColumn,
    EntityNameColumn,
    FirstAwardColumn,
    GridColumnCount = 2 + mark::ColumnCount
};

// The grid: one row per entity, its number and name in the first two columns (so that the proxy can sort by
// them: a proxy sorts by columns, never by the row header), then one column per award column; each cell
// shows its letter, its state's colour, and a tooltip naming the QSO that stands for it. After the entities of
// the log and the credits come the current entities that neither names, with empty cells: they are what a
// log still needs most, shown only when the needed entities are asked for.
class StandingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int SortRole = Qt::UserRole;        // the number, the name, or a cell's state (empty first)
    static constexpr int ToApplyRole = Qt::UserRole + 1; // whether the row has a slot to apply for
    static constexpr int NamedRole = Qt::UserRole + 2;   // whether the log or the credits name the entity
    static constexpr int NeededRole = Qt::UserRole + 3;  // a current entity's columns without a credit, as bits

    using QAbstractTableModel::QAbstractTableModel;
    void setStandings(std::shared_ptr<const mark::StandingsData> data);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    const std::shared_ptr<const mark::StandingsData>& standings() const { return data_; }

private:
    const mark::StandingsRow& rowAt(int row) const;

    std::shared_ptr<const mark::StandingsData> data_;
    std::vector<bool> toApply_;               // per row: a slot of Standings::application lies in it
    std::vector<mark::StandingsRow> unnamed_; // the current entities without a row of the standings
};

// The grid as the tab shows it: sortable by any column, and filtered by an entity (a part of its name, or its
// number), by "only rows with something to apply for" and by "only needed" in one award column (the current
// entities without a credit there, those that neither the log nor the credits name included).
class StandingsFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit StandingsFilter(QObject* parent = nullptr);
    void setEntityText(const QString& text);
    void setOnlyToApply(bool only);
    void setOnlyNeeded(bool only);
    void setNeededColumn(int column); // a mark::StandingsColumn

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString text_;
    bool onlyToApply_ = false;
    bool onlyNeeded_ = false;
    int neededColumn_ = mark::ColumnMixed;
};

class TotalsTable;

// One letter of the legend, with the colours its cells are drawn in.
struct LegendEntry {
    QString letter;
    QColor background, foreground;
    QString meaning;
};
// Every letter a cell can show, as the model writes it.
std::vector<LegendEntry> legendEntries();

class StandingsTab : public QWidget {
    Q_OBJECT
public:
    using ChoosePath = markwindow::ChoosePath;

    explicit StandingsTab(QWidget* parent = nullptr);

    // Shows the standings of a marking; nullptr clears the tab.
    void setStandings(std::shared_ptr<const mark::StandingsData> data);
    // While a marking runs, nothing is saved.
    void setWorking(bool working);
    // For the page and the application list alike.
    void setChoosePath(const ChoosePath& choose);

    QTableWidget* totalsTable() const;
    QLabel* summaryLabel() const { return summary_; }
    QTableView* view() const { return view_; }
    QLineEdit* entityFilter() const { return entity_; }
    QCheckBox* onlyToApplyBox() const { return onlyToApply_; }
    QCheckBox* onlyNeededBox() const { return onlyNeeded_; }
    QComboBox* neededColumnBox() const { return neededColumn_; } // Mixed, CW, Phone, Digital
    QLabel* neededLabel() const { return needed_; }
    QLabel* targetsLabel() const { return targets_; }
    QTabWidget* pages() const { return pages_; }
    QLabel* sourcesLabel() const { return sources_; } // when the standings and the credits file were made
    ProgressChart* progressChart() const { return chart_; }
    ApplicationList* applicationList() const { return application_; }
    QPushButton* saveButton() const { return save_; }

    // The page's name proposed for the log shown: LOG-standings.html beside it (LOG without its extension).
    QString proposedPath() const;
    // Writes the page to `path` (through a temporary file and a rename); an error goes to the label.
    bool saveHtml(const QString& path);

private:
    void fitColumns();
    void fitAwardColumns();
    void updateShown();
    void updateNeeded();
    void showSources(const mark::StandingsData* data);
    void showProgress(mark::ProgressSeries series);

    StandingsModel* model_; // holds the standings shown
    StandingsFilter* filter_;
    TotalsTable* totals_;
    QLabel* summary_;
    QTableView* view_;
    QLineEdit* entity_;
    QCheckBox* onlyToApply_;
    QCheckBox* onlyNeeded_;
    QComboBox* neededColumn_;
    QLabel* needed_;
    QLabel* targets_;
    QLabel* sources_;
    QLabel* progressText_;
    ProgressChart* chart_;
    QLabel* shown_;
    ApplicationList* application_;
    QTabWidget* pages_; // the grid, the application list
    QPushButton* save_;
    QLabel* message_;
    ChoosePath choosePath_;
    bool working_ = false;
};

// Fills `window` with two tabs: a new page for the marking form, which it returns, and a new
// StandingsTab, which goes to `tab`.
QWidget* addStandingsTab(QWidget* window, StandingsTab*& tab);

// For markFiles: keeps the standings of the bytes it has read in `slot`.
mark::MarkInputsHook keepStandings(std::shared_ptr<const mark::StandingsData>& slot, const mark::MarkOptions& options);

} // namespace awardsync::markwindow
