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

// Additions one after another, as a QSO gains the items of its credits; and nothing that is not a word is
// added, so that no value written can hold a tag or forge an item.
TEST(CreditGranted, AListGainsItemAfterItemAndOnlyWords) {
    awardsync::mark::CreditList list("DXCC:CARD&, WAS ,  ");
    const std::pair<const char*, const char*> added[] = {
        {"DXCC", "LOTW"}, {"dxcc", "EQSL"}, {"DXCC", "lotw"}, {"WAS", ""},       {"WAS", "LOTW"},
        {"IOTA", ""},     {"IOTA", "CARD"}, {"WAC", "CARD"},  {"WAC", "LOTW"},   {"DXCC", "LOTW<EOR>"},
        {"DX<CC", ""},    {"WAE,DXCC", ""}, {"WAE:X", ""},    {"WAE", "CARD&X"}, {"", "LOTW"},
    };
    std::string changed;
    for (const auto& [credit, medium] : added) {
        changed += list.add(credit, medium) ? "+" : "-";
    }
    EXPECT_EQ(changed, "++---+-++------");
    EXPECT_EQ(list.text(), "DXCC:CARD&LOTW&EQSL, WAS ,  IOTA,WAC:CARD&LOTW");
}

} // namespace
