// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/string_list.h"
#include "core/text.h"

#include <QLocale>
#include <gtest/gtest.h>

using awardsync::NameValueList;
using awardsync::SortedStringList;

namespace {

std::vector<std::string> sortedOf(std::initializer_list<const char*> items) {
    SortedStringList list;
    for (const char* item : items) {
        list.add(item);
    }
    return list.lines();
}

TEST(SortedStringList, OrdersLinguisticallyAndKeepsFirstOfEqualLines) {
    struct Case {
        const char* what;
        std::initializer_list<const char*> input;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"case ignored, first stays", {"q1abc|x", "Q1ABC|X", "Q1ABC|x"}, {"q1abc|x"}},
        {"shorter call first", {"Q1ABCD|001|", "Q1ABC|001|"}, {"Q1ABC|001|", "Q1ABCD|001|"}},
        {"case does not decide order", {"q1abd|", "Q1ABC|", "Q1ABE|"}, {"Q1ABC|", "q1abd|", "Q1ABE|"}},
        {"digits before letters", {"B", "a", "2", "1"}, {"1", "2", "a", "B"}},
        {"exact duplicates", {"same", "same"}, {"same"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sortedOf(c.input), c.expected) << c.what;
    }
}

TEST(SortedStringList, SameOrderInTheCLocale) {
    SortedStringList list(QLocale::c());
    for (const char* item : {"Q1ABCD|", "q1abc|", "Q1ABC|", "a", "B"}) {
        list.add(item);
    }
    EXPECT_EQ(list.lines(), (std::vector<std::string>{"a", "B", "q1abc|", "Q1ABCD|"}));
}

TEST(SortedStringList, AddReportsWhetherInsertedAndClearEmpties) {
    SortedStringList list;
    EXPECT_TRUE(list.add("https://x/a"));
    EXPECT_FALSE(list.add("HTTPS://X/A"));
    EXPECT_EQ(list.count(), 1u);
    EXPECT_EQ(list[0], "https://x/a");
    list.clear();
    EXPECT_TRUE(list.empty());
}

TEST(NameValueList, FollowsTheSetRules) {
    NameValueList fields;
    EXPECT_EQ(fields.value("Worked"), "");
    fields.setValue("Worked", "Q1ABC");
    fields.setValue("Band", "20M");
    fields.setValue("WORKED", "Q2XYZ"); // replaces in place and takes the new spelling of the name
    ASSERT_EQ(fields.count(), 2u);
    EXPECT_EQ(fields[0], "WORKED=Q2XYZ");
    EXPECT_EQ(fields.value("worked"), "Q2XYZ");
    fields.setValue("worked", ""); // an empty value removes the entry
    ASSERT_EQ(fields.count(), 1u);
    EXPECT_EQ(fields[0], "Band=20M");
    fields.setValue("Missing", ""); // removing what is not there adds nothing
    EXPECT_EQ(fields.count(), 1u);
    fields.setValue("Date/Time", "2009-07-14 18:05:00 = x");
    EXPECT_EQ(fields.value("date/time"), "2009-07-14 18:05:00 = x");
    fields.clear();
    EXPECT_EQ(fields.count(), 0u);
}

TEST(Text, TrimControlRemovesOnlyCodesUpTo32) {
    EXPECT_EQ(awardsync::trimControl(" \t\r\n PHONE \x01"), "PHONE");
    EXPECT_EQ(awardsync::trimControl("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");
    EXPECT_EQ(awardsync::trimControl("   "), "");
}

} // namespace
