// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/adif_enums.h"

#include <gtest/gtest.h>

using namespace awardsync;

TEST(AdifEnums, BandOfFrequencyTakesTheEdgesAndRefusesTheGaps) {
    const struct {
        std::string_view freq;
        std::optional<std::string_view> band;
    } cases[] = {
        {"14.074", "20M"},   {"14.0", "20M"},    {"14.35", "20M"},         {"14.351", std::nullopt},
        {"1.8", "160M"},     {" 50.313 ", "6M"}, {"144.174", "2M"},        {"10489.55", "3CM"},
        {"0", std::nullopt}, {"", std::nullopt}, {"14,074", std::nullopt}, {"abc", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bandOfFrequency(c.freq), c.band) << c.freq;
    }
}

TEST(AdifEnums, ModesAndTheirGroups) {
    EXPECT_TRUE(isAdifMode("ssb"));
    EXPECT_TRUE(isAdifMode(" FT8 "));
    EXPECT_FALSE(isAdifMode("PHONE"));
    EXPECT_FALSE(isAdifMode("DATA"));
    EXPECT_FALSE(isAdifMode(""));
    EXPECT_EQ(modeGroupsOf("usb"), GroupPhone);
    EXPECT_EQ(modeGroupsOf("RTTY"), GroupData);
    EXPECT_EQ(modeGroupsOf("DIGITALVOICE"), GroupPhone | GroupData);
    EXPECT_EQ(modeGroupsOf(""), AnyGroup);
    EXPECT_EQ(groupName(GroupPhone | GroupData), "PHONE");
}
