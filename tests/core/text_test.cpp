// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text.h"

#include <QSet>
#include <gtest/gtest.h>
#include <random>

using awardsync::countLineEnds;
using awardsync::isValidUtf8;
using awardsync::windows1252ToUtf8;

namespace {

TEST(Utf8Validity, AcceptsWellFormedTextOnly) {
    struct Case {
        const char* what;
        std::string_view text;
        bool valid;
    };
    const Case cases[] = {
        {"empty", "", true},
        {"ASCII", "Q1ABC=1", true},
        {"two to four bytes", "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xA1", true},
        {"highest code point", "\xF4\x8F\xBF\xBF", true},
        {"Windows-1252 letter", "caf\xE9", false},
        {"stray continuation", "\x80", false},
        {"cut short", "\xE2\x82", false},
        {"bad continuation", "\xE2\x28\xA1", false},
        {"overlong two bytes", "\xC0\xAF", false},
        {"overlong three bytes", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"no such lead byte", "\xF8\x88\x80\x80\x80", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidUtf8(c.text), c.valid) << c.what;
    }
}

TEST(Windows1252, EveryByteBecomesACharacterOfItsOwn) {
    EXPECT_EQ(windows1252ToUtf8("caf\xE9 \x80\x9F \xA0\xFF"), "caf\u00E9 \u20AC\u0178 \u00A0\u00FF");
    // The five bytes the code page leaves undefined keep their number, as Windows reads them.
    EXPECT_EQ(windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");

    std::string allBytes;
    for (int byte = 0; byte < 256; ++byte) {
        allBytes += static_cast<char>(byte);
    }
    const std::string text = windows1252ToUtf8(allBytes);
    ASSERT_TRUE(isValidUtf8(text));
    const QString characters = awardsync::toQt(text);
    EXPECT_EQ(QSet<QChar>(characters.begin(), characters.end()).size(), 256); // nothing lost
}

TEST(MessageText, ControlCharactersAndForeignBytesAreEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain \xC3\xB6 \xE2\x82\xAC", "plain \xC3\xB6 \xE2\x82\xAC"},
        {"a\nb\r\tc", "a\\nb\\r\\tc"},
        {"\x1b[2J\x7f", "\\x1b[2J\\x7f"},
        {"l\xF6g.adi", "l\\xf6g.adi"},
        {"\xC2\x9B"
         "31m",
         "\\xc2\\x9b31m"}, // U+009B starts an escape sequence too
        {"cut \xE2\x82", "cut \\xe2\\x82"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(awardsync::escapedForMessage(text), shown);
    }
}

// The count goes eight bytes at a time; a CR LF split across two words must still count once.
TEST(LineEnds, CountedAsByteByByte) {
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"", 0},
        {"\n", 1},
        {"\r", 1},
        {"\r\n", 1},
        {"\n\r", 2},
        {"a\rb\r\nc", 2},
        {"1234567\r\n", 1},
        {"1234567\r", 1},
        {"1234567\rx", 1},
        {"1234567\r\r\n", 2},
        {"123456789012345\r\nx", 1},
        {"\r\r\r\r\r\r\r\r\n\n", 9},
    };
    for (const auto& [text, count] : cases) {
        EXPECT_EQ(countLineEnds(text), count) << testing::PrintToString(std::string(text));
    }

    std::mt19937 random(7);
    std::string mix(1000, ' ');
    for (char& c : mix) {
        c = "\r\nab"[random() % 4];
    }
    for (std::size_t from = 0; from < 8; ++from) {
        const std::string_view text = std::string_view(mix).substr(from);
        std::size_t byByte = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            byByte += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
        }
        EXPECT_EQ(countLineEnds(text), byByte) << "from " << from;
    }
}

} // namespace
