// SPDX-License-Identifier: GPL-3.0-or-later
#include "mark/credit_granted.h"

#include <gtest/gtest.h>

namespace {

TEST(CreditGranted, AddsTheMediumOrLeavesTheListAlone) {
    struct Case {
        const char* list;
        const char* medium;
        const char* expected; // nullptr: held already, nothing changes
    };
    const Case cases[] = {
        {"", "LOTW", "DXCC:LOTW"},
        {"  ", "CARD", "DXCC:CARD"},
        {"WAS:LOTW", "LOTW", "WAS:LOTW,DXCC:LOTW"},
        {"DXCC:CARD", "LOTW", "DXCC:CARD&LOTW"},
        {"IOTA,WAS:LOTW&CARD,DXCC:CARD", "LOTW", "IOTA,WAS:LOTW&CARD,DXCC:CARD&LOTW"},
        {"DXCC:CARD,WAS:CARD", "LOTW", "DXCC:CARD&LOTW,WAS:CARD"},
        {"dxcc:card", "LOTW", "dxcc:card&LOTW"},
        {"DXCC:", "CARD", "DXCC:CARD"},
        {"DXCC:CARD&", "LOTW", "DXCC:CARD&LOTW"},
        {"WAS:&CARD,DXCC:&CARD&&", "LOTW", "WAS:&CARD,DXCC:CARD&LOTW"},
        {"IOTA,", "LOTW", "IOTA,DXCC:LOTW"},
        {"DXCC_BAND:LOTW", "LOTW", "DXCC_BAND:LOTW,DXCC:LOTW"},
        {"DXCC", "LOTW", nullptr},
        {"WAS,dxcc", "CARD", nullptr},
        {"DXCC:LOTW", "LOTW", nullptr},
        {"DXCC:CARD&lotw", "LOTW", nullptr},
        {"DXCC:EQSL&CARD", "CARD", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> result = awardsync::mark::addCreditMedium(c.list, "DXCC", c.medium);
        if (c.expected == nullptr) {
            EXPECT_FALSE(result) << c.list << " gave " << result.value_or("");
        } else {
            EXPECT_EQ(result.value_or("<unchanged>"), c.expected) << c.list;
        }
    }
}

} // namespace
