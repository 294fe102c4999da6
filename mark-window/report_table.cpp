// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_table.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableWidget>

namespace awardsync::markwindow {

QTableWidget* makeReportTable(QWidget* parent, std::function<void(const QString&)> copyText) {
    auto* table = new QTableWidget(0, ReportColumnCount, parent);
    table->setHorizontalHeaderLabels(
        {QObject::tr("Line"), QObject::tr("Record"), QObject::tr("Reason"), QObject::tr("Nearest QSO")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    useOneLineRows(table);
    table->horizontalHeader()->setStretchLastSection(true);
    // Column widths from the first rows only: measuring thousands of rows would stall the window.
    table->horizontalHeader()->setResizeContentsPrecision(100);
    table->setToolTip(QObject::tr("Double-click a row (or press Ctrl+C) to copy its record line"));

    auto* copy = new QAction(table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    table->addAction(copy);
    const auto copyRecord = [table, copyText = std::move(copyText)](int row) {
        if (const QTableWidgetItem* item = row >= 0 ? table->item(row, RecordColumn) : nullptr) {
            if (copyText) {
                copyText(item->text());
            } else {
                QApplication::clipboard()->setText(item->text());
            }
        }
    };
    QObject::connect(copy, &QAction::triggered, table, [table, copyRecord] { copyRecord(table->currentRow()); });
    QObject::connect(table, &QTableWidget::cellDoubleClicked, table, [copyRecord](int row, int) { copyRecord(row); });
    return table;
}

void useOneLineRows(QTableView* table) {
    table->setWordWrap(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
}

QTableView* makeSortedView(QSortFilterProxyModel* proxy, QAbstractItemModel* source, int column, QWidget* parent) {
    proxy->setSourceModel(source);
    auto* view = new QTableView(parent);
    view->setModel(proxy);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->hide();
    useOneLineRows(view);
    view->setSortingEnabled(true);
    view->sortByColumn(column, Qt::AscendingOrder);
    return view;
}

} // namespace awardsync::markwindow
