// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the demo's logbook: an ADI log of the demo account's QSOs, as the stand-in service's
// scenario makes them, the way a desktop logger exports it, with the confirmations the logger has
// recorded (LOTW_QSL_RCVD Y for a LoTW confirmation, QSL_RCVD Y for a card). Most QSOs are logged as
// the service has them; a few are off in ways that awardsync-mark's report explains:
//   - one is logged on the neighbouring band,
//   - one is logged two hours late (local time instead of UTC),
//   - one is missing from the log,
//   - one is logged twice, four minutes before and four minutes after its real time,
// and one lies seven minutes off (close enough to match), one holds a card credit already.
// After the credited QSOs the log holds what a real one has too, more recent ones made from the
// scenario alone (the same log on every run): QSOs confirmed but not credited, on bands and in
// modes that no QSO of the account credits for their entity, QSOs worked and not confirmed, and a
// few maritime mobile QSOs without a DXCC entity. They use call signs that no credit names, so the
// credits match as they would without them. Every QSO's FREQ lies where the band plan of the
// generated QSOs (IARU Region 1 and Region 2 where they agree) puts its mode, as a ham expects.
//
//   awardsync-mark-demo-log SCENARIO OUTPUT
#include "records/adif_enums.h"
#include "records/calendar.h"
#include "scenario.h"
#include "scenario_generator.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// The demo account's QSOs that are logged differently (ids of the scenario).
constexpr long OtherBandId = 5;
constexpr long LateId = 12;
constexpr long MissingId = 23;
constexpr long TwiceId = 31;
constexpr long SlightlyOffId = 8;
constexpr long CardCreditId = 3;

const std::vector<std::string> Bands = {"160M", "80M", "40M", "30M", "20M", "17M", "15M", "12M", "10M", "6M", "2M"};

struct Entry {
    long long start; // seconds since 2000
    std::string text;
};

// Days from 1970 to 2000, the demo's own epoch.
constexpr long long DaysTo2000 = 10957;

long long secondsOf(const std::string& dateTime) { // "YYYY-MM-DD HH:MM:SS"
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(dateTime.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    return (awardsync::daysOfDate(y, mo, d).value_or(DaysTo2000) - DaysTo2000) * 86400 + h * 3600 + mi * 60 + s;
}

std::string dateTimeOf(long long seconds) {
    const awardsync::CalendarDate date = awardsync::dateOfDays(seconds / 86400 + DaysTo2000);
    char text[128];
    std::snprintf(text, sizeof text, "%04d%02d%02d %02lld%02lld%02lld", date.year, date.month, date.day,
                  seconds % 86400 / 3600, seconds % 3600 / 60, seconds % 60);
    return text;
}

std::string field(const std::string& name, const std::string& value) {
    return "<" + name + ":" + std::to_string(value.size()) + ">" + value + " ";
}

enum class Confirmed { No, Lotw, Card };

// A QSO as the logger knows it. `dxcc` and `country` are empty for a QSO without an entity.
struct Logged {
    std::string call;
    std::string band;
    std::string mode;
    std::string dxcc;
    std::string country;
    bool satellite = false;
    Confirmed confirmed = Confirmed::No;
};

// The scenario's QSO; its detail page's "QSL" field says "Yes" for a LoTW confirmation and nothing
// for a card one.
Logged loggedOf(const mock::Qso& qso) {
    const std::string modeText = qso.field("Mode");
    const std::size_t open = modeText.find('(');
    const std::string dxcc = qso.field("DXCC");
    const std::size_t bracket = dxcc.rfind('(');
    return {qso.field("Worked"),
            qso.field("Band"),
            modeText.substr(open + 1, modeText.find(')') - open - 1),
            dxcc.substr(bracket + 1, dxcc.size() - bracket - 2),
            dxcc.substr(0, bracket - 1),
            qso.field("Propagation Mode") == "SAT",
            qso.field("QSL") == "Yes" ? Confirmed::Lotw : Confirmed::Card};
}

bool fits(const Logged& qso, const std::string& band) {
    const mock::BandPlan* plan = mock::bandPlanOf(band);
    return plan != nullptr && mock::modeFits(*plan, qso.mode, qso.satellite);
}

// Where on its band the QSO was made, in kHz, as the generated QSOs' band plan has it: FT8 on its
// dial frequency, FM on the calling frequency, the other modes somewhere in their segment, picked by
// `turn` (so the same log on every run); SSB 3 kHz inside the edges, so that the whole signal stays
// in the segment. 0 when the plan has no room for the mode there.
int frequencyOf(const Logged& qso, long long turn) {
    if (!fits(qso, qso.band)) {
        return 0;
    }
    const mock::BandPlan& plan = *mock::bandPlanOf(qso.band);
    const auto inside = [turn](const mock::Segment& segment, int margin) {
        return segment.low + margin + static_cast<int>(turn % (segment.high - segment.low - 2 * margin + 1));
    };
    if (qso.satellite) {
        return inside(plan.satellite, 10);
    }
    return qso.mode == "CW"     ? inside(plan.cw, 1)
           : qso.mode == "SSB"  ? inside(plan.phone, 3)
           : qso.mode == "RTTY" ? inside(plan.rtty, 1)
           : qso.mode == "FT8"  ? plan.ft8
                                : plan.fm;
}

// A frequency in kHz as the ADIF standard writes FREQ: megahertz, "14.074".
std::string megahertz(int kilohertz) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03d", kilohertz / 1000, kilohertz % 1000);
    return text;
}

// One QSO as the logger writes it, starting `seconds` after 2000.
std::string record(const Logged& qso, long long seconds, const std::string& extra) {
    const std::string when = dateTimeOf(seconds);
    const bool phone = qso.mode == "SSB" || qso.mode == "FM";
    const bool digital = qso.mode == "FT8";
    const int kilohertz = frequencyOf(qso, seconds / 60);
    std::string text = field("CALL", qso.call) + field("QSO_DATE", when.substr(0, 8)) +
                       field("TIME_ON", when.substr(9, 6)) + field("BAND", qso.band) +
                       (kilohertz != 0 ? field("FREQ", megahertz(kilohertz)) : "") + field("MODE", qso.mode) +
                       field("RST_SENT", phone     ? "59"
                                         : digital ? "-10"
                                                   : "599") +
                       field("RST_RCVD", phone     ? "57"
                                         : digital ? "-12"
                                                   : "579");
    if (!qso.dxcc.empty()) {
        text += field("DXCC", qso.dxcc) + field("COUNTRY", qso.country);
    }
    if (qso.satellite) {
        text += field("PROP_MODE", "SAT");
    }
    text += field("QSL_RCVD", qso.confirmed == Confirmed::Card ? "Y" : "N") +
            field("LOTW_QSL_RCVD", qso.confirmed == Confirmed::Lotw ? "Y" : "N");
    return text + extra + "<EOR>\r\n";
}

// What the account's QSOs hold for one entity, and how its call signs begin.
struct EntityQsos {
    Logged sample;
    std::string prefix; // the call up to its digit: "EA1" of EA1ZX
    std::vector<std::string> bands;
    std::vector<std::string> modes;
    bool satellite = false;
};

bool holds(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// A band of the Challenge (160 to 6 m) that none of the entity's QSOs is on and that has room for
// `mode`, searched from `from` on; "" when every one is taken (or is `other`).
std::string freeBand(const EntityQsos& entity, std::size_t from, const std::string& other, const std::string& mode) {
    Logged qso;
    qso.mode = mode;
    for (std::size_t k = 0; k + 1 < Bands.size(); ++k) {
        const std::string& band = Bands[(from + k) % (Bands.size() - 1)];
        if (band != other && !holds(entity.bands, band) && fits(qso, band)) {
            return band;
        }
    }
    return "";
}

// A mode whose group none of the entity's QSOs has, else one by turn.
std::string freeMode(const EntityQsos& entity, std::size_t turn) {
    const std::vector<std::string> modes = {"CW", "SSB", "FT8"};
    for (const std::string& mode : modes) {
        if (std::none_of(entity.modes.begin(), entity.modes.end(), [&](const std::string& held) {
                return (awardsync::modeGroupsOf(held) & awardsync::modeGroupsOf(mode)) != 0;
            })) {
            return mode;
        }
    }
    return modes[turn % modes.size()];
}

// The QSOs a real log holds besides the credited ones; `calls` holds every call sign in use.
class ExtraQsos {
public:
    explicit ExtraQsos(std::vector<std::string> calls) : calls_(std::move(calls)) {}

    void addFor(const std::map<std::string, EntityQsos>& entities) {
        std::size_t turn = 0;
        for (const auto& [dxcc, entity] : entities) {
            const std::string confirmedMode = freeMode(entity, turn);
            const std::string confirmedBand = turn % 3 == 2 ? "" : freeBand(entity, turn, "", confirmedMode);
            if (!confirmedBand.empty()) {
                add(entity, confirmedBand, confirmedMode, false, turn % 2 == 0 ? Confirmed::Lotw : Confirmed::Card);
            }
            const std::string workedMode = freeMode(entity, turn + 1);
            const std::string workedBand = turn % 2 == 0 ? freeBand(entity, turn + 5, confirmedBand, workedMode) : "";
            if (!workedBand.empty()) {
                add(entity, workedBand, workedMode, false, Confirmed::No);
            }
            if (turn % 10 == 4 && !entity.satellite) {
                add(entity, "2M", "FM", true, Confirmed::Lotw);
            }
            ++turn;
        }
        // Maritime mobile stations count for no entity.
        const EntityQsos none{{}, "W1", {}, {}, false};
        add(none, "20M", "CW", false, Confirmed::Card, "/MM");
        add(none, "40M", "SSB", false, Confirmed::No, "/MM");
        add(none, "17M", "FT8", false, Confirmed::No, "/MM");
    }

    std::vector<Entry>& entries() { return entries_; }

private:
    void add(const EntityQsos& entity, const std::string& band, const std::string& mode, bool satellite,
             Confirmed confirmed, const std::string& ending = "") {
        Logged qso = entity.sample;
        qso.call = newCall(entity.prefix) + ending;
        qso.band = band;
        qso.mode = mode;
        qso.satellite = satellite;
        qso.confirmed = confirmed;
        // Recent QSOs, the ones not credited yet: 2024 to 2026, after every credited one (so the log's
        // lines up to the credited QSOs stay where they were), a different day and hour for each.
        constexpr long long DaysTo2024 = 8766;
        const long long start =
            (DaysTo2024 + static_cast<long long>(count_ * 389 % 1050)) * 86400 + count_ * 3607 % 86400;
        ++count_;
        entries_.push_back({start, record(qso, start, "")});
    }

    // A call sign of the prefix that no QSO uses yet: three letters, a different triple each time.
    std::string newCall(const std::string& prefix) {
        for (;;) {
            const std::size_t letters = (next_++ * 7919 + 1234) % (26 * 26 * 26);
            std::string call = prefix;
            call += static_cast<char>('A' + letters / 676);
            call += static_cast<char>('A' + letters / 26 % 26);
            call += static_cast<char>('A' + letters % 26);
            if (!holds(calls_, call)) {
                calls_.push_back(call);
                return call;
            }
        }
    }

    std::vector<std::string> calls_;
    std::vector<Entry> entries_;
    std::size_t count_ = 0;
    std::size_t next_ = 0;
};

// The nearest band to the QSO's own that has room for its mode, the next higher one first: where a
// logger left on the wrong band puts it.
std::string neighbourBand(const Logged& qso) {
    const auto at = static_cast<std::ptrdiff_t>(std::find(Bands.begin(), Bands.end(), qso.band) - Bands.begin());
    for (std::ptrdiff_t step = 1; step < static_cast<std::ptrdiff_t>(Bands.size()); ++step) {
        for (const std::ptrdiff_t index : {at + step, at - step}) {
            if (index >= 0 && index < static_cast<std::ptrdiff_t>(Bands.size()) &&
                fits(qso, Bands[static_cast<std::size_t>(index)])) {
                return Bands[static_cast<std::size_t>(index)];
            }
        }
    }
    return Bands.front();
}

std::string prefixOf(const std::string& call) {
    const std::size_t digit = call.find_last_of("0123456789");
    return digit == std::string::npos ? call : call.substr(0, digit + 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: awardsync-mark-demo-log SCENARIO OUTPUT\n");
        return 2;
    }
    QFile input(QString::fromLocal8Bit(argv[1]));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    mock::Scenario scenario;
    try {
        mock::loadScenario(input.readAll(), scenario);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }

    std::vector<Entry> entries;
    std::vector<std::string> calls;
    std::map<std::string, EntityQsos> entities;
    for (const auto& [id, qso] : scenario.qsos) {
        const long number = std::strtol(id.c_str(), nullptr, 10);
        const long long start = secondsOf(qso.field("Date/Time"));
        Logged logged = loggedOf(qso);
        calls.push_back(logged.call);
        EntityQsos& entity = entities[logged.dxcc];
        entity.sample = logged;
        entity.prefix = prefixOf(logged.call);
        entity.bands.push_back(logged.band);
        entity.modes.push_back(logged.mode);
        entity.satellite = entity.satellite || logged.satellite;
        if (number == MissingId) {
            continue;
        }
        if (number == OtherBandId) {
            logged.band = neighbourBand(logged);
            entity.bands.push_back(logged.band);
        }
        const long long offset = number == LateId ? 7200 : number == SlightlyOffId ? 420 : 0;
        const std::string extra = number == CardCreditId ? field("CREDIT_GRANTED", "DXCC:CARD") : "";
        if (number == TwiceId) {
            entries.push_back({start - 240, record(logged, start - 240, extra)});
            entries.push_back({start + 240, record(logged, start + 240, extra)});
        } else {
            entries.push_back({start + offset, record(logged, start + offset, extra)});
        }
    }
    ExtraQsos extras(std::move(calls));
    extras.addFor(entities);
    entries.insert(entries.end(), extras.entries().begin(), extras.entries().end());
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.start < b.start; });
    std::string log = "Awardsync demo logbook, exported the way a desktop logger writes ADIF\r\n"
                      "<ADIF_VER:5>3.1.4 <PROGRAMID:13>AwardsyncDemo <EOH>\r\n";
    for (const Entry& entry : entries) {
        log += entry.text;
    }
    QSaveFile output(QString::fromLocal8Bit(argv[2]));
    if (!output.open(QIODevice::WriteOnly) ||
        output.write(log.data(), static_cast<qint64>(log.size())) != static_cast<qint64>(log.size()) ||
        !output.commit()) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 2;
    }
    return 0;
}
