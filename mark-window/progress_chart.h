// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The progress chart of the Standings tab, as the page draws it: credited entities (Mixed) and Challenge band
// slots by the month of the QSO each credit stands on, cumulative. Painted here rather than with a chart
// library, which would weigh more than the window itself.
#include "mark/standings.h"

#include <QWidget>

namespace awardsync::markwindow {

class ProgressChart : public QWidget {
    Q_OBJECT
public:
    explicit ProgressChart(QWidget* parent = nullptr);
    // No month: the chart says that there is nothing to draw.
    void setSeries(mark::ProgressSeries series);
    const mark::ProgressSeries& series() const { return series_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mark::ProgressSeries series_;
};

} // namespace awardsync::markwindow
