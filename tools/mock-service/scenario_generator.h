// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scenario.h"

#include <cstdint>
#include <string>
#include <string_view>

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
// Each QSO's mode has room on its band (modeFits), and FT8 QSOs are from July 2017 on, when it came out.
// Each detail page is served at `detailPath` with the QSO id for its "%s".
void generateAccount(const GeneratedAccount& settings, const std::string& detailPath, Scenario& scenario);

// Where on a band a generated QSO of each mode sits, in kHz: the parts that the IARU Region 1 and
// Region 2 band plans have in common (Region 2 with the US phone sub-bands, so phone from 14,150 on
// 20 m), so that a ham from either region finds the demo's QSOs where he would make them himself.
// An empty segment, or a frequency of 0, means the plans give that mode no room on the band.
struct Segment {
    int low = 0;
    int high = 0;
    bool empty() const { return high <= low; }
};

struct BandPlan {
    const char* band; // "20M", as the service and the ADIF standard name it
    Segment cw;
    Segment phone; // SSB
    Segment rtty;
    int ft8 = 0;       // the FT8 dial frequency
    int fm = 0;        // the FM simplex calling frequency
    Segment satellite; // the satellite sub-band: uplinks of FM and linear transponders
};

// The plan of a band of the generated QSOs (160M to 2M), or nullptr.
const BandPlan* bandPlanOf(std::string_view band);

// Whether `mode` (CW, SSB, FM, FT8 or RTTY, as the ADIF standard writes it) has room on the band, for
// a satellite QSO in the satellite sub-band (CW, SSB and FM, the transponders' modes).
bool modeFits(const BandPlan& plan, std::string_view mode, bool satellite);

// `pattern` with its first "%s" replaced by `id`.
std::string replacePlaceholder(std::string pattern, const std::string& id);

} // namespace mock
