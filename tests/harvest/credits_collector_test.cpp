// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/credits_collector.h"

#include <gtest/gtest.h>

using namespace awardsync;

namespace {

AwardSet awardsAt(std::initializer_list<std::size_t> positions) {
    AwardSet awards;
    for (std::size_t position : positions) {
        awards.set(position);
    }
    return awards;
}

TEST(CreditsCollector, LinesGainTheCategoriesOfTheirAddressesAsTheListsCompareThem) {
    CreditsCollector collector;
    collector.addListed("https://x/qsodetail?qso=1", 0);  // DXCC-M
    collector.addListed("https://x/QSODETAIL?qso=1", 9);  // DXCC-17: the same address for the list
    collector.addListed("https://x/qsodetail?qso=2", 15); // DXCC-CHAL
    collector.addListed("https://x/qsodetail?qso=3", 16); // DXCC-SAT, never read

    collector.addLine("Q1A|001|2001/01/01|00:00:00|CW|17M|LoTW|", "https://x/qsodetail?qso=1", "page line 1");
    // Another address giving the same line (letter case aside) adds its categories.
    collector.addLine("q1a|001|2001/01/01|00:00:00|CW|17M|LoTW|", "https://x/qsodetail?qso=2", "page line 2");

    EXPECT_EQ(collector.awardsOfLine("Q1A|001|2001/01/01|00:00:00|CW|17M|LoTW|"), awardsAt({0, 9, 15}));
    EXPECT_EQ(collector.awardsOfLine("Q2B|001|2001/01/01|00:00:00|CW|17M|LoTW|"), AwardSet());
    // The credits file names the first page that gave the line.
    const auto credits = collector.creditsOfLine("Q1A|001|2001/01/01|00:00:00|CW|17M|LoTW|");
    EXPECT_EQ(credits.address, "https://x/qsodetail?qso=1");
    EXPECT_EQ(credits.pageLine, "page line 1");
    collector.clear();
    EXPECT_EQ(collector.awardsOfLine("Q1A|001|2001/01/01|00:00:00|CW|17M|LoTW|"), AwardSet());
}

} // namespace
