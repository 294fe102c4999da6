// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace awardsync::testing {

// A small log of two QSOs as a desktop logger exports it, for the tests of awardsync-mark.
inline const std::string FixtureLog = "<ADIF_VER:5>3.1.4<EOH>\r\n"
                                      "<CALL:5>Q1ABC<BAND:3>20M<MODE:3>SSB<QSO_DATE:8>20090714<TIME_ON:4>1805<EOR>\r\n"
                                      "<CALL:5>Q2ABC<BAND:3>40M<MODE:2>CW<QSO_DATE:8>20090715<TIME_ON:4>0900<EOR>\r\n";

// The pieces of a marking's output or unmatched-credits file, joined.
inline std::string joined(const std::vector<std::string_view>& pieces) {
    std::string text;
    for (std::string_view piece : pieces) {
        text += piece;
    }
    return text;
}

} // namespace awardsync::testing
