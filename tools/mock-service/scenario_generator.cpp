// SPDX-License-Identifier: GPL-3.0-or-later
#include "scenario_generator.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

namespace mock {

namespace {

// splitmix64: the same sequence on every machine, so generated scenarios are reproducible.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }
    bool chance(double share) { return static_cast<double>(next() >> 11) * 0x1.0p-53 < share; }

private:
    std::uint64_t state_;
};

struct Entity {
    int number;
    const char* name;
    const char* prefix;
};

const Entity kEntities[] = {
    {1, "CANADA", "VE"},
    {6, "ALASKA", "KL7"},
    {15, "ASIATIC RUSSIA", "UA9"},
    {27, "BELARUS", "EU"},
    {50, "MEXICO", "XE"},
    {54, "EUROPEAN RUSSIA", "UA"},
    {70, "CUBA", "CO"},
    {100, "ARGENTINA", "LU"},
    {108, "BRAZIL", "PY"},
    {110, "HAWAII", "KH6"},
    {112, "CHILE", "CE"},
    {137, "REPUBLIC OF KOREA", "HL"},
    {150, "AUSTRALIA", "VK"},
    {170, "NEW ZEALAND", "ZL"},
    {202, "PUERTO RICO", "KP4"},
    {206, "AUSTRIA", "OE"},
    {209, "BELGIUM", "ON"},
    {212, "BULGARIA", "LZ"},
    {221, "DENMARK", "OZ"},
    {223, "ENGLAND", "G"},
    {224, "FINLAND", "OH"},
    {227, "FRANCE", "F"},
    {230, "FEDERAL REPUBLIC OF GERMANY", "DL"},
    {236, "GREECE", "SV"},
    {239, "HUNGARY", "HA"},
    {245, "IRELAND", "EI"},
    {248, "ITALY", "I"},
    {263, "NETHERLANDS", "PA"},
    {266, "NORWAY", "LA"},
    {269, "POLAND", "SP"},
    {272, "PORTUGAL", "CT"},
    {275, "ROMANIA", "YO"},
    {279, "SCOTLAND", "GM"},
    {281, "SPAIN", "EA"},
    {284, "SWEDEN", "SM"},
    {287, "SWITZERLAND", "HB"},
    {288, "UKRAINE", "UR"},
    {291, "UNITED STATES OF AMERICA", "K"},
    {294, "WALES", "GW"},
    {318, "CHINA", "BY"},
    {324, "INDIA", "VU"},
    {327, "INDONESIA", "YB"},
    {336, "ISRAEL", "4X"},
    {339, "JAPAN", "JA"},
    {375, "PHILIPPINES", "DU"},
    {381, "SINGAPORE", "9V"},
    {386, "TAIWAN", "BV"},
    {390, "TURKEY", "TA"},
    {462, "REPUBLIC OF SOUTH AFRICA", "ZS"},
    {503, "CZECH REPUBLIC", "OK"},
};

struct Band {
    BandPlan plan;
    const char* award;
    bool challenge;
};

// In kHz; see BandPlan. 6 m: CW above the beacons of both regions; 2 m: no FM outside the satellite
// sub-band, as the regions' FM simplex channels lie in different places.
const Band kBands[] = {{{"160M", {1810, 1838}, {1850, 2000}, {}, 1840, 0, {}}, "DXCC-160", true},
                       {{"80M", {3500, 3570}, {3600, 3800}, {3580, 3600}, 3573, 0, {}}, "DXCC-80", true},
                       {{"40M", {7000, 7040}, {7125, 7200}, {7040, 7047}, 7074, 0, {}}, "DXCC-40", true},
                       {{"30M", {10100, 10130}, {}, {10140, 10150}, 10136, 0, {}}, "DXCC-30", true},
                       {{"20M", {14000, 14070}, {14150, 14350}, {14080, 14099}, 14074, 0, {}}, "DXCC-20", true},
                       {{"17M", {18068, 18095}, {18111, 18168}, {18104, 18109}, 18100, 0, {}}, "DXCC-17", true},
                       {{"15M", {21000, 21070}, {21200, 21450}, {21080, 21110}, 21074, 0, {}}, "DXCC-15", true},
                       {{"12M", {24890, 24915}, {24931, 24990}, {24920, 24929}, 24915, 0, {}}, "DXCC-12", true},
                       {{"10M", {28000, 28070}, {28320, 29000}, {28080, 28150}, 28074, 29600, {}}, "DXCC-10", true},
                       {{"6M", {50080, 50100}, {50110, 50300}, {}, 50313, 51510, {}}, "DXCC-6", true},
                       {{"2M", {144050, 144100}, {144200, 144275}, {}, 144174, 0, {145800, 146000}}, "DXCC-2", false}};

struct Mode {
    const char* text;
    const char* adif; // the mode as a log writes it
    const char* award;
};

const Mode kModes[] = {{"CW (CW)", "CW", "DXCC-CW"},
                       {"PHONE (SSB)", "SSB", "DXCC-PH"},
                       {"PHONE (FM)", "FM", "DXCC-PH"},
                       {"DATA (FT8)", "FT8", "DXCC-RTTY"},
                       {"DATA (RTTY)", "RTTY", "DXCC-RTTY"}};

std::string twoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

constexpr int kEntityCount = sizeof kEntities / sizeof kEntities[0];
constexpr int kBandCount = sizeof kBands / sizeof kBands[0];
constexpr int kModeCount = sizeof kModes / sizeof kModes[0];
// Made-up entities beyond the table, numbered from 600, for accounts too large for it.
constexpr int kMadeUpEntities = 400;

// About six QSOs per entity, as an account looks whose entities are worked on several bands and modes.
int entityCountFor(int count) {
    return std::clamp((count + 5) / 6, kEntityCount, kEntityCount + kMadeUpEntities);
}

struct EntityInfo {
    int number;
    std::string name;
    std::string prefix;
};

EntityInfo entityAt(int index) {
    if (index < kEntityCount) {
        return {kEntities[index].number, kEntities[index].name, kEntities[index].prefix};
    }
    const int madeUp = index - kEntityCount;
    return {600 + madeUp, "MADE-UP ENTITY " + std::to_string(600 + madeUp),
            std::string("Q") + static_cast<char>('A' + madeUp / 26 % 26) + static_cast<char>('A' + madeUp % 26)};
}

struct Draw {
    EntityInfo entity;
    bool satellite;
    const Band* band;
    const Mode* mode;
    std::string call;
    std::string date;
    bool paper;
};

Draw drawQso(Random& random, int entityCount, const GeneratedAccount& settings) {
    Draw draw{entityAt(random.below(entityCount)), random.chance(settings.satShare), nullptr, nullptr, {}, {}, false};
    draw.band = draw.satellite ? &kBands[kBandCount - 1] : &kBands[random.below(kBandCount)];
    const Mode* fitting[kModeCount];
    int fits = 0;
    for (const Mode& mode : kModes) {
        if (modeFits(draw.band->plan, mode.adif, draw.satellite)) {
            fitting[fits++] = &mode;
        }
    }
    draw.mode = fitting[random.below(fits)];
    draw.call = draw.entity.prefix;
    if (draw.call.back() < '0' || draw.call.back() > '9') {
        draw.call += static_cast<char>('0' + random.below(10));
    }
    const int suffixLength = 2 + random.below(2);
    for (int k = 0; k < suffixLength; ++k) {
        draw.call += static_cast<char>('A' + random.below(26));
    }
    // FT8 came out in July 2017: no QSO in it before.
    const bool ft8 = std::string_view(draw.mode->adif) == "FT8";
    const int year = ft8 ? 2017 + random.below(7) : 2005 + random.below(19);
    const int month = ft8 && year == 2017 ? 7 + random.below(6) : 1 + random.below(12);
    draw.date = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(1 + random.below(28)) + " " +
                twoDigits(random.below(24)) + ":" + twoDigits(random.below(60)) + ":" + twoDigits(random.below(60));
    draw.paper = random.chance(settings.paperShare);
    return draw;
}

Qso qsoOf(const Draw& draw, const std::string& id, const std::string& detailPath) {
    Qso qso;
    qso.id = id;
    qso.path = replacePlaceholder(detailPath, id);
    qso.linkText = draw.call;
    qso.rows = {{false, "Worked", draw.call, {}},
                {false, "Date/Time", draw.date, {}},
                {false, "Mode", draw.mode->text, {}},
                {false, "DXCC", draw.entity.name + " (" + std::to_string(draw.entity.number) + ")", {}},
                {false, "Band", draw.band->plan.band, {}}};
    if (draw.satellite) {
        qso.rows.push_back({false, "Propagation Mode", "SAT", {}});
    }
    qso.rows.push_back({false, "QSL", draw.paper ? "" : "Yes", {}});
    return qso;
}

} // namespace

const BandPlan* bandPlanOf(std::string_view band) {
    for (const Band& each : kBands) {
        if (band == each.plan.band) {
            return &each.plan;
        }
    }
    return nullptr;
}

bool modeFits(const BandPlan& plan, std::string_view mode, bool satellite) {
    if (satellite) {
        return !plan.satellite.empty() && (mode == "CW" || mode == "SSB" || mode == "FM");
    }
    return mode == "CW"     ? !plan.cw.empty()
           : mode == "SSB"  ? !plan.phone.empty()
           : mode == "RTTY" ? !plan.rtty.empty()
           : mode == "FT8"  ? plan.ft8 != 0
           : mode == "FM"   ? plan.fm != 0
                            : false;
}

std::string replacePlaceholder(std::string pattern, const std::string& id) {
    const std::size_t at = pattern.find("%s");
    if (at != std::string::npos) {
        pattern.replace(at, 2, id);
    }
    return pattern;
}

void generateAccount(const GeneratedAccount& settings, const std::string& detailPath, Scenario& scenario) {
    Random random(settings.seed);
    auto& categories = scenario.accounts[settings.account];
    const int entityCount = entityCountFor(settings.count);
    // Which credit of each category is taken: by entity, for the Challenge by entity and band.
    std::set<std::pair<std::string, int>> taken;
    const long long attemptLimit = 100LL * settings.count + 10000;
    long long attempts = 0;
    for (int made = 0; made < settings.count;) {
        if (++attempts > attemptLimit) {
            throw std::runtime_error("scenario: generate: " + std::to_string(settings.count) +
                                     " credited QSOs are more than the made-up entities can hold");
        }
        const Draw draw = drawQso(random, entityCount, settings);
        std::vector<const char*> awards;
        const auto take = [&](const char* award, int key) {
            if (taken.insert({award, key}).second) {
                awards.push_back(award);
            }
        };
        take("DXCC-M", draw.entity.number);
        take(draw.mode->award, draw.entity.number);
        take(draw.band->award, draw.entity.number);
        if (draw.band->challenge) {
            take("DXCC-CHAL", draw.entity.number * 16 + static_cast<int>(draw.band - kBands));
        }
        if (draw.satellite) {
            take("DXCC-SAT", draw.entity.number);
        }
        if (awards.empty()) {
            continue; // every credit this QSO could hold is held by another: the service lists it nowhere
        }
        const std::string id = std::to_string(settings.firstId + made++);
        scenario.qsos[id] = qsoOf(draw, id, detailPath);
        for (const char* award : awards) {
            categories[award].credited.push_back(id);
        }
    }
}

} // namespace mock
