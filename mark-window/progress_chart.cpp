// SPDX-License-Identifier: GPL-3.0-or-later
#include "progress_chart.h"

#include "core/text.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace awardsync::markwindow {

namespace {

// A y axis step that gives four to eight lines: 1, 2 or 5 times a power of ten, as on the page.
std::size_t axisStep(std::size_t most) {
    for (std::size_t power = 1;; power *= 10) {
        for (const std::size_t factor : {1, 2, 5}) {
            if (most <= factor * power * 8) {
                return factor * power;
            }
        }
    }
}

QString monthName(const mark::MonthProgress& month) {
    return QStringLiteral("%1-%2").arg(month.year).arg(month.month, 2, 10, QLatin1Char('0'));
}

} // namespace

ProgressChart::ProgressChart(QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setMinimumSize(fontMetrics().averageCharWidth() * 40, fontMetrics().lineSpacing() * 10);
}

void ProgressChart::setSeries(mark::ProgressSeries series) {
    series_ = std::move(series);
    update();
}

QSize ProgressChart::sizeHint() const {
    return {fontMetrics().averageCharWidth() * 100, fontMetrics().lineSpacing() * 24};
}

void ProgressChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = fontMetrics();
    const std::vector<mark::MonthProgress>& months = series_.months;
    if (months.empty()) {
        painter.drawText(rect(), Qt::AlignCenter, tr("No credited cell has a QSO with a date in the log: no chart."));
        return;
    }
    const mark::MonthProgress& last = months.back();
    const std::size_t step = axisStep(std::max<std::size_t>({last.mixed, last.challenge, 1}));
    const std::size_t top = (std::max(last.mixed, last.challenge) / step + 1) * step;
    // Room for the counts on the left, the lines' names on the right, the years below.
    const QString mixedLabel = tr("Mixed %1").arg(toQt(mark::groupedNumber(last.mixed)));
    const QString challengeLabel = tr("Challenge %1").arg(toQt(mark::groupedNumber(last.challenge)));
    const double left = metrics.horizontalAdvance(toQt(mark::groupedNumber(top))) + 12.0;
    const double right =
        width() - std::max(metrics.horizontalAdvance(mixedLabel), metrics.horizontalAdvance(challengeLabel)) - 12.0;
    const double upper = metrics.height();
    const double bottom = height() - 2.0 * metrics.height();
    const std::size_t count = months.size();
    const auto x = [&](std::size_t m) {
        return count == 1 ? (left + right) / 2 : left + (right - left) * static_cast<double>(m) / (count - 1);
    };
    const auto y = [&](std::size_t value) { return bottom - (bottom - upper) * static_cast<double>(value) / top; };

    const QColor ink = palette().color(QPalette::Text);
    for (std::size_t value = 0; value <= top; value += step) {
        painter.setPen(QPen(value == 0 ? ink : palette().color(QPalette::Mid), 1));
        painter.drawLine(QPointF(left, y(value)), QPointF(right, y(value)));
        painter.setPen(ink);
        painter.drawText(QRectF(0, y(value) - metrics.height() / 2.0, left - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, toQt(mark::groupedNumber(value)));
    }
    // A year's label every so many years, so that they never overlap; the first month too when it is not a
    // January and the next label is far enough.
    const int years = last.year - months.front().year + 1;
    const int every = years / 10 + 1;
    const double perMonth = count == 1 ? 0 : (right - left) / static_cast<double>(count - 1);
    for (std::size_t m = 0; m < count; ++m) {
        const mark::MonthProgress& month = months[m];
        const bool first = m == 0 && (count == 1 || (13 - month.month) * perMonth >= 60);
        if ((month.month == 1 && (month.year - months.front().year) % every == 0) || first) {
            const QString label = month.month == 1 ? QString::number(month.year) : monthName(month);
            painter.drawLine(QPointF(x(m), bottom), QPointF(x(m), bottom + 5));
            const double half = metrics.horizontalAdvance(label) / 2.0;
            painter.drawText(QPointF(x(m) - half, bottom + 5 + metrics.ascent()), label);
        }
    }
    // Told apart without colour, on screen as on paper: Mixed solid, Challenge dashed, each named at its end.
    const auto line = [&](std::size_t mark::MonthProgress::*value, Qt::PenStyle style) {
        QPen pen(ink, 2);
        pen.setStyle(style);
        if (style == Qt::CustomDashLine) {
            pen.setDashPattern({3.5, 2}); // 7 and 4 pixels at a width of 2, as on the page
        }
        painter.setPen(pen);
        QPainterPath path(QPointF(x(0), y(months[0].*value)));
        for (std::size_t m = 1; m < count; ++m) {
            path.lineTo(x(m), y(months[m].*value));
        }
        painter.drawPath(path);
    };
    line(&mark::MonthProgress::mixed, Qt::SolidLine);
    line(&mark::MonthProgress::challenge, Qt::CustomDashLine);
    double mixedY = y(last.mixed), challengeY = y(last.challenge);
    const double apart = metrics.height();
    if (std::abs(mixedY - challengeY) < apart) {
        (mixedY > challengeY ? mixedY : challengeY) += apart - std::abs(mixedY - challengeY);
    }
    painter.setPen(ink);
    const double labelX = x(count - 1) + 6;
    painter.drawText(QPointF(labelX, mixedY + metrics.ascent() / 2.0), mixedLabel);
    painter.drawText(QPointF(labelX, challengeY + metrics.ascent() / 2.0), challengeLabel);
}

} // namespace awardsync::markwindow
