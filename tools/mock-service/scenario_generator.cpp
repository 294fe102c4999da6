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
    const char* name;
    const char* award;
    bool challenge;
};

const Band kBands[] = {{"160M", "DXCC-160", true}, {"80M", "DXCC-80", true}, {"40M", "DXCC-40", true},
                       {"30M", "DXCC-30", true},   {"20M", "DXCC-20", true}, {"17M", "DXCC-17", true},
                       {"15M", "DXCC-15", true},   {"12M", "DXCC-12", true}, {"10M", "DXCC-10", true},
                       {"6M", "DXCC-6", true},     {"2M", "DXCC-2", false}};

struct Mode {
    const char* text;
    const char* award;
};

const Mode kModes[] = {{"CW (CW)", "DXCC-CW"},
                       {"PHONE (SSB)", "DXCC-PH"},
                       {"PHONE (FM)", "DXCC-PH"},
                       {"DATA (FT8)", "DXCC-RTTY"},
                       {"DATA (RTTY)", "DXCC-RTTY"}};

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
    draw.mode = &kModes[random.below(kModeCount)];
    draw.call = draw.entity.prefix;
    if (draw.call.back() < '0' || draw.call.back() > '9') {
        draw.call += static_cast<char>('0' + random.below(10));
    }
    const int suffixLength = 2 + random.below(2);
    for (int k = 0; k < suffixLength; ++k) {
        draw.call += static_cast<char>('A' + random.below(26));
    }
    draw.date = std::to_string(2005 + random.below(19)) + "-" + twoDigits(1 + random.below(12)) + "-" +
                twoDigits(1 + random.below(28)) + " " + twoDigits(random.below(24)) + ":" +
                twoDigits(random.below(60)) + ":" + twoDigits(random.below(60));
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
                {false, "Band", draw.band->name, {}}};
    if (draw.satellite) {
        qso.rows.push_back({false, "Propagation Mode", "SAT", {}});
    }
    qso.rows.push_back({false, "QSL", draw.paper ? "" : "Yes", {}});
    return qso;
}

} // namespace

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
