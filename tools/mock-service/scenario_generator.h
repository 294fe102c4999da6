// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scenario.h"

#include <cstdint>
#include <string>

namespace mock {

// A made-up account for load and demo scenarios (the "generate" entries of a scenario).
struct GeneratedAccount {
    std::string account = "1";
    int count = 0; // credited QSOs
    std::uint64_t seed = 1;
    long long firstId = 1;
    double paperShare = 0.15; // QSOs confirmed on paper only
    double satShare = 0.03;   // satellite QSOs
};

// Credited QSOs listed the way the service lists them: each category credits one QSO per entity
// (the Challenge one per entity and band, 160M to 6M), the first QSO that qualifies, so that most
// QSOs hold a band or mode credit and not their entity's mixed one; a few satellite QSOs stand in
// DXCC-SAT. A drawn QSO that would hold no credit is drawn again, so all `count` QSOs are listed
// somewhere. Large accounts get made-up entities (numbers 600 and up), about six QSOs per entity.
// Each detail page is served at `detailPath` with the QSO id for its "%s".
void generateAccount(const GeneratedAccount& settings, const std::string& detailPath, Scenario& scenario);

// `pattern` with its first "%s" replaced by `id`.
std::string replacePlaceholder(std::string pattern, const std::string& id);

} // namespace mock
