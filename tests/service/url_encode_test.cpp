// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/url_encode.h"

#include <gtest/gtest.h>
#include <string>

using awardsync::UrlEncode;

namespace {

TEST(UrlEncode, EncodesSingleBytes) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {" ", "+"},      {"0", "%30"},    {"9", "%39"}, {"/", "%2F"},  {"&", "%26"},    {"=", "%3D"},
        {"+", "%2B"},    {"%", "%25"},    {"~", "%7E"}, {"\r", "%0D"}, {"\xE9", "%E9"}, {"\x01", "%01"},
        {"\x7F", "%7F"}, {"\xFF", "%FF"}, {"?", "%3F"}, {"[", "%5B"},  {"`", "%60"},    {"{", "%7B"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UrlEncode(c.input), c.expected) << "input byte " << static_cast<int>(c.input[0] & 0xFF);
    }
}

TEST(UrlEncode, KeepsExactlyTheUnreservedSet) {
    std::string kept;
    for (int b = 1; b < 256; ++b) {
        std::string input(1, static_cast<char>(b));
        std::string output = UrlEncode(input);
        if (output == input) {
            kept += input;
        } else if (b != ' ') {
            EXPECT_EQ(output.size(), 3u) << b;
        }
    }
    EXPECT_EQ(kept, "*-.@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");
}

TEST(UrlEncode, EncodesWholeValues) {
    EXPECT_EQ(UrlEncode(""), "");
    EXPECT_EQ(UrlEncode("Q1ABC user"), "Q%31ABC+user");
    EXPECT_EQ(UrlEncode("a&b=c"), "a%26b%3Dc");
    EXPECT_EQ(UrlEncode("me@example.org"), "me@example.org");
    // The program's text is UTF-8, so a non-ASCII letter gives one escape per UTF-8 byte.
    EXPECT_EQ(UrlEncode("caf\xC3\xA9"), "caf%C3%A9");
    EXPECT_EQ(UrlEncode("\xC3\xA9"), "%C3%A9");
}

TEST(UrlEncode, StopsAtAZeroByte) {
    EXPECT_EQ(UrlEncode(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(UrlEncode(std::string("\0x", 2)), "");
}

} // namespace
