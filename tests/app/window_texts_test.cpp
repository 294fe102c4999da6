// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_texts.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorBox, CaptionAndFullStopRules) {
    EXPECT_EQ(awardsync::errorCaption("/opt/awardsync/awardsync"), "awardsync");
    EXPECT_EQ(awardsync::errorCaption("/opt/AWARDSYNC.bin.old"), "Awardsync");
    EXPECT_EQ(awardsync::errorCaption("/home/x/my.dir/AwardSync"), "Awardsync");

    struct Case {
        const char* message;
        const char* shown;
    };
    const Case cases[] = {
        {"Unable to write to /x/awardsync.ini", "Unable to write to /x/awardsync.ini."},
        {"Stream write error", "Stream write error."},
        {"Ends with a full stop.", "Ends with a full stop."},
        {"Ends with a digit 7", "Ends with a digit 7."},
        {"Question?", "Question?."},
        {"Bang!", "Bang!"},
        {"Bracket)", "Bracket)"},
        {"Dash-", "Dash-"},
        {"Slash/", "Slash/."},
        {"Accent \xC3\xA9", "Accent \xC3\xA9."},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(awardsync::errorBoxText(c.message), c.shown) << c.message;
    }
}

TEST(Chooser, AppendsTxtOnlyWhenTheFileNameHasNoExtension) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"/home/q1abc/logs/credits", "/home/q1abc/logs/credits.txt"},
        {"", ".txt"},
        {"/home/q1abc/my.dir/credits", "/home/q1abc/my.dir/credits.txt"},
        {"/home/q1abc/credits.csv", "/home/q1abc/credits.csv"},
        {"/home/q1abc/credits.", "/home/q1abc/credits."},
        {"credits.txt", "credits.txt"},
        {"/home/q1abc/.hidden", "/home/q1abc/.hidden"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(awardsync::withRecordsExtension(c.path), c.expected) << c.path;
    }
}

TEST(AboutBox, TextHasItsFixedLinesThenCreditsAndSignOff) {
    const std::string text = awardsync::aboutText();
    EXPECT_EQ(text.rfind("Awardsync program is designed to mark QSOs in Logger32 \n", 0), 0u);
    const std::string fixedEnd = "There are often QSOs confirmed by QSL with data erroneously\nentered by ARRL.\n\n";
    const std::size_t credits = text.find(fixedEnd);
    ASSERT_NE(credits, std::string::npos);
    const std::string rest = text.substr(credits + fixedEnd.size());
    const std::size_t blank = rest.find("\n\n");
    ASSERT_NE(blank, std::string::npos) << "credits passage and sign-off are separated by an empty line";
    EXPECT_GT(blank, 0u);
    EXPECT_EQ(rest.find('\n', blank + 2), std::string::npos) << "the sign-off is one line";
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(credits), '\n'), 11);
}

} // namespace
