// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/calendar.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {

// Every day from 1900 to 2199 against Qt's calendar, in both directions.
TEST(Calendar, AgreesWithQtForEveryDayOfThreeCenturies) {
    const QDate epoch(1970, 1, 1);
    for (QDate date(1900, 1, 1); date.year() < 2200; date = date.addDays(1)) {
        const std::int64_t days = epoch.daysTo(date);
        ASSERT_EQ(awardsync::daysOfDate(date.year(), date.month(), date.day()), days) << days;
        const awardsync::CalendarDate back = awardsync::dateOfDays(days);
        ASSERT_EQ(QDate(back.year, back.month, back.day), date) << days;
    }
    EXPECT_FALSE(awardsync::daysOfDate(2023, 2, 29));
    EXPECT_FALSE(awardsync::daysOfDate(1899, 12, 31));
}

} // namespace
