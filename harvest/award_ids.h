// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The DXCC award categories, in the order a run visits them and logs them. The program, the mock
// service and the tests all read this one table; it needs nothing but the standard library.
#include <array>

namespace awardsync {

inline constexpr std::array<const char*, 17> AwardIds = {
    "DXCC-M",  "DXCC-CW", "DXCC-PH", "DXCC-RTTY", "DXCC-160", "DXCC-80", "DXCC-40",   "DXCC-30",  "DXCC-20",
    "DXCC-17", "DXCC-15", "DXCC-12", "DXCC-10",   "DXCC-6",   "DXCC-2",  "DXCC-CHAL", "DXCC-SAT",
};

// The credit of the ADIF standard's Credit enumeration that each category grants, beside AwardIds.
// The Challenge counts band credits (160 m to 6 m), so it grants DXCC_BAND like the band awards.
inline constexpr std::array<const char*, AwardIds.size()> AwardCredits = {
    "DXCC",      "DXCC_MODE", "DXCC_MODE", "DXCC_MODE", "DXCC_BAND",      "DXCC_BAND",
    "DXCC_BAND", "DXCC_BAND", "DXCC_BAND", "DXCC_BAND", "DXCC_BAND",      "DXCC_BAND",
    "DXCC_BAND", "DXCC_BAND", "DXCC_BAND", "DXCC_BAND", "DXCC_SATELLITE",
};

// The order in which a QSO's credits are listed, each once.
inline constexpr std::array<const char*, 4> CreditOrder = {"DXCC", "DXCC_MODE", "DXCC_BAND", "DXCC_SATELLITE"};

} // namespace awardsync
