// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

class QAbstractItemModel;
class QSortFilterProxyModel;
class QTableView;
class QTableWidget;
class QWidget;

namespace awardsync::markwindow {

// The columns of the table of unmatched credits.
enum ReportColumn { LineColumn, RecordColumn, ReasonColumn, NearestColumn, ReportColumnCount };

// The table of unmatched credits: read-only rows, sized from the first rows only, and a double-click
// or Ctrl+C handing a row's record line to `copyText` (the clipboard when it is empty).
QTableWidget* makeReportTable(QWidget* parent, std::function<void(const QString&)> copyText);

// Rows of one line of the table's font, all of one height: more of them fit in the window than the style's
// default allows, and none is measured.
void useOneLineRows(QTableView* table);

// A view of `source` through the sorting `proxy`: one-line rows, no row numbers, one row selected at a time,
// sorted by `column` until a header click sorts by another.
QTableView* makeSortedView(QSortFilterProxyModel* proxy, QAbstractItemModel* source, int column, QWidget* parent);

} // namespace awardsync::markwindow
