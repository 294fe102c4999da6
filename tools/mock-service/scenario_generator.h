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

// Credited QSOs spread over the categories the way a real account looks: every QSO counts for
// its band and its mode, the first one of each entity for the mixed award, the first one of each
// entity and band for the challenge, and a few satellite QSOs for the satellite award. Each
// detail page is served at `detailPath` with the QSO id for its "%s".
void generateAccount(const GeneratedAccount& settings, const std::string& detailPath, Scenario& scenario);

// `pattern` with its first "%s" replaced by `id`.
std::string replacePlaceholder(std::string pattern, const std::string& id);

} // namespace mock
