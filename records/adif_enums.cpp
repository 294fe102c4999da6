// SPDX-License-Identifier: GPL-3.0-or-later
#include "adif_enums.h"

#include "core/text.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace awardsync {

namespace {

struct BandRange {
    std::string_view name;
    double lower;
    double upper;
};

// The Band enumeration, lower and upper edges in megahertz, both included.
constexpr std::array<BandRange, 33> Bands = {{
    {"2190M", 0.1357, 0.1378},   {"630M", 0.472, 0.479},      {"560M", 0.501, 0.504},
    {"160M", 1.8, 2.0},          {"80M", 3.5, 4.0},           {"60M", 5.06, 5.45},
    {"40M", 7.0, 7.3},           {"30M", 10.1, 10.15},        {"20M", 14.0, 14.35},
    {"17M", 18.068, 18.168},     {"15M", 21.0, 21.45},        {"12M", 24.89, 24.99},
    {"10M", 28.0, 29.7},         {"8M", 40.0, 45.0},          {"6M", 50.0, 54.0},
    {"5M", 54.000001, 69.9},     {"4M", 70.0, 71.0},          {"2M", 144.0, 148.0},
    {"1.25M", 222.0, 225.0},     {"70CM", 420.0, 450.0},      {"33CM", 902.0, 928.0},
    {"23CM", 1240.0, 1300.0},    {"13CM", 2300.0, 2450.0},    {"9CM", 3300.0, 3500.0},
    {"6CM", 5650.0, 5925.0},     {"3CM", 10000.0, 10500.0},   {"1.25CM", 24000.0, 24250.0},
    {"6MM", 47000.0, 47200.0},   {"4MM", 75500.0, 81000.0},   {"2.5MM", 119980.0, 123000.0},
    {"2MM", 134000.0, 149000.0}, {"1MM", 241000.0, 250000.0}, {"SUBMM", 300000.0, 7500000.0},
}};

// The Mode enumeration without its import-only modes.
constexpr std::array<std::string_view, 46> Modes = {
    "AM",    "ARDOP", "ATV",    "CHIP", "CLO",    "CONTESTI", "CW",  "DIGITALVOICE", "DOMINO", "DYNAMIC",
    "FAX",   "FM",    "FSK441", "FT8",  "HELL",   "ISCAT",    "JT4", "JT6M",         "JT9",    "JT44",
    "JT65",  "MFSK",  "MSK144", "MT63", "OLIVIA", "OPERA",    "PAC", "PAX",          "PKT",    "PSK",
    "PSK2K", "Q15",   "QRA64",  "ROS",  "RTTY",   "RTTYM",    "SSB", "SSTV",         "T10",    "THOR",
    "THRB",  "TOR",   "V4",     "VOI",  "WINMOR", "WSPR",
};

// The Credit enumeration, sorted: the awards' facets a CREDIT_GRANTED item may name.
constexpr std::array<std::string_view, 71> Credits = {
    "CQDX",
    "CQDXFIELD",
    "CQDXFIELD_BAND",
    "CQDXFIELD_MOBILE",
    "CQDXFIELD_MODE",
    "CQDXFIELD_QRP",
    "CQDXFIELD_SATELLITE",
    "CQDX_BAND",
    "CQDX_MOBILE",
    "CQDX_MODE",
    "CQDX_QRP",
    "CQDX_SATELLITE",
    "CQWAZ_BAND",
    "CQWAZ_EME",
    "CQWAZ_MIXED",
    "CQWAZ_MOBILE",
    "CQWAZ_MODE",
    "CQWAZ_QRP",
    "CQWAZ_SATELLITE",
    "CQWPX",
    "CQWPX_BAND",
    "CQWPX_MODE",
    "DXCC",
    "DXCC_BAND",
    "DXCC_MODE",
    "DXCC_SATELLITE",
    "EAUSTRALIA",
    "ECANADA",
    "ECOUNTY_STATE",
    "EDX",
    "EDX100",
    "EDX100_BAND",
    "EDX100_MODE",
    "EECHOLINK50",
    "EGRID_BAND",
    "EGRID_SATELLITE",
    "EPFX300",
    "EPFX300_MODE",
    "EWAS",
    "EWAS_BAND",
    "EWAS_MODE",
    "EWAS_SATELLITE",
    "EZ40",
    "EZ40_MODE",
    "FFMA",
    "IOTA",
    "IOTA_BASIC",
    "IOTA_CONT",
    "IOTA_GROUP",
    "RDA",
    "USACA",
    "VUCC_BAND",
    "VUCC_SATELLITE",
    "WAB",
    "WAC",
    "WAC_BAND",
    "WAE",
    "WAE_BAND",
    "WAE_MODE",
    "WAIP",
    "WAIP_BAND",
    "WAIP_MODE",
    "WAS",
    "WAS_BAND",
    "WAS_EME",
    "WAS_MODE",
    "WAS_NOVICE",
    "WAS_QRP",
    "WAS_SATELLITE",
    "WITUZ",
    "WITUZ_BAND",
};

// The QSL Medium enumeration.
constexpr std::array<std::string_view, 3> QslMedia = {"CARD", "EQSL", "LOTW"};

// Whether `word`, any letter case, is in `sorted`: a CREDIT_GRANTED list of 100,000 items asks this for each.
template <std::size_t Size> bool holdsWord(const std::array<std::string_view, Size>& sorted, std::string_view word) {
    const auto less = [](std::string_view a, std::string_view b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return asciiUpper(x) < asciiUpper(y); });
    };
    const auto found = std::lower_bound(sorted.begin(), sorted.end(), word, less);
    return found != sorted.end() && equalsIgnoreAsciiCase(*found, word);
}

} // namespace

unsigned modeGroupsOf(std::string_view mode) {
    const std::string word = asciiUpper(trimControl(mode));
    if (word.empty()) {
        return AnyGroup;
    }
    if (word == "CW") {
        return GroupCw;
    }
    for (std::string_view phone : {"PHONE", "SSB", "AM", "FM", "USB", "LSB"}) {
        if (word == phone) {
            return GroupPhone;
        }
    }
    for (std::string_view image : {"IMAGE", "SSTV", "FAX", "ATV"}) {
        if (word == image) {
            return GroupImage;
        }
    }
    return word == "DIGITALVOICE" ? GroupPhone | GroupData : GroupData;
}

std::string_view groupName(unsigned groups) {
    if (groups == AnyGroup) {
        return "any";
    }
    return groups & GroupCw ? "CW" : groups & GroupPhone ? "PHONE" : groups & GroupImage ? "IMAGE" : "DATA";
}

bool isAdifMode(std::string_view mode) {
    const std::string word = asciiUpper(trimControl(mode));
    return std::find(Modes.begin(), Modes.end(), word) != Modes.end();
}

bool isAdifCredit(std::string_view name) {
    return holdsWord(Credits, name);
}

bool isAdifQslMedium(std::string_view medium) {
    return holdsWord(QslMedia, medium);
}

std::optional<int> entityNumber(std::string_view dxcc) {
    if (dxcc.empty() || dxcc.size() > 6) {
        return std::nullopt;
    }
    int number = 0;
    for (char c : dxcc) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

std::optional<std::string_view> bandOfFrequency(double megahertz) {
    for (const BandRange& band : Bands) {
        if (megahertz >= band.lower && megahertz <= band.upper) {
            return band.name;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> bandOfFrequency(std::string_view megahertz) {
    const std::string_view text = trimControl(megahertz);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return bandOfFrequency(value);
}

} // namespace awardsync
