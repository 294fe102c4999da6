// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/credits_collector.h"

#include <gtest/gtest.h>

using namespace awardsync;

namespace {

using Names = std::vector<std::string_view>;

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

    collector.addLine("Q1A|001|2001/01/01|00:00:00|CW|17M|LoTW|", "https://x/qsodetail?qso=1");
    // Another address giving the same line (letter case aside) adds its categories.
    collector.addLine("q1a|001|2001/01/01|00:00:00|CW|17M|LoTW|", "https://x/qsodetail?qso=2");

    EXPECT_EQ(collector.awardsOfLine("Q1A|001|2001/01/01|00:00:00|CW|17M|LoTW|"), awardsAt({0, 9, 15}));
    EXPECT_EQ(collector.awardsOfLine("Q2B|001|2001/01/01|00:00:00|CW|17M|LoTW|"), AwardSet());
    collector.clear();
    EXPECT_EQ(collector.awardsOfLine("Q1A|001|2001/01/01|00:00:00|CW|17M|LoTW|"), AwardSet());
}

TEST(CreditsCollector, CategoriesGrantTheirCreditsInCreditOrderEachOnce) {
    struct Case {
        AwardSet awards;
        Names ids;
        Names credits;
    };
    const Case cases[] = {
        {awardsAt({0, 3, 9, 15}), {"DXCC-M", "DXCC-RTTY", "DXCC-17", "DXCC-CHAL"}, {"DXCC", "DXCC_MODE", "DXCC_BAND"}},
        {awardsAt({16, 14, 1}), {"DXCC-CW", "DXCC-2", "DXCC-SAT"}, {"DXCC_MODE", "DXCC_BAND", "DXCC_SATELLITE"}},
        {awardsAt({15}), {"DXCC-CHAL"}, {"DXCC_BAND"}},
        {awardsAt({2, 4, 13}), {"DXCC-PH", "DXCC-160", "DXCC-6"}, {"DXCC_MODE", "DXCC_BAND"}},
        {AwardSet(), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.awards.to_string());
        EXPECT_EQ(awardIdsOf(c.awards), c.ids);
        EXPECT_EQ(creditsGrantedBy(c.awards), c.credits);
    }
}

} // namespace
