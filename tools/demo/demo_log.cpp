// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the demo's logbook: an ADI log of the demo account's QSOs, as the stand-in service's
// scenario makes them, the way a desktop logger exports it. Most QSOs are logged as the service
// has them; a few are off in ways that awardsync-mark's report explains:
//   - one is logged on the neighbouring band,
//   - one is logged two hours late (local time instead of UTC),
//   - one is missing from the log,
//   - one is logged twice, four minutes before and four minutes after its real time,
// and one lies seven minutes off (close enough to match), one holds a card credit already.
//
//   awardsync-mark-demo-log SCENARIO OUTPUT
#include "records/calendar.h"
#include "scenario.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
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
const std::map<std::string, std::string> Frequencies = {
    {"160M", "1.840"}, {"80M", "3.573"},  {"40M", "7.074"},  {"30M", "10.136"}, {"20M", "14.074"}, {"17M", "18.100"},
    {"15M", "21.074"}, {"12M", "24.915"}, {"10M", "28.074"}, {"6M", "50.313"},  {"2M", "145.900"}};

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

// One QSO as the logger writes it, starting `seconds` after 2000.
std::string record(const mock::Qso& qso, long long seconds, const std::string& band, const std::string& extra) {
    const std::string when = dateTimeOf(seconds);
    const std::string modeText = qso.field("Mode");
    const std::size_t open = modeText.find('(');
    const std::string mode = modeText.substr(open + 1, modeText.find(')') - open - 1);
    const std::string dxcc = qso.field("DXCC");
    const std::size_t bracket = dxcc.rfind('(');
    const bool phone = mode == "SSB" || mode == "FM";
    const bool digital = mode == "FT8";
    std::string text = field("CALL", qso.field("Worked")) + field("QSO_DATE", when.substr(0, 8)) +
                       field("TIME_ON", when.substr(9, 6)) + field("BAND", band) + field("FREQ", Frequencies.at(band)) +
                       field("MODE", mode) +
                       field("RST_SENT", phone     ? "59"
                                         : digital ? "-10"
                                                   : "599") +
                       field("RST_RCVD", phone     ? "57"
                                         : digital ? "-12"
                                                   : "579") +
                       field("DXCC", dxcc.substr(bracket + 1, dxcc.size() - bracket - 2)) +
                       field("COUNTRY", dxcc.substr(0, bracket - 1));
    if (qso.field("Propagation Mode") == "SAT") {
        text += field("PROP_MODE", "SAT");
    }
    return text + extra + "<EOR>\r\n";
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
    for (const auto& [id, qso] : scenario.qsos) {
        const long number = std::strtol(id.c_str(), nullptr, 10);
        const long long start = secondsOf(qso.field("Date/Time"));
        std::string band = qso.field("Band");
        if (number == MissingId) {
            continue;
        }
        if (number == OtherBandId) {
            const auto at = std::find(Bands.begin(), Bands.end(), band);
            band = at == Bands.end() || at + 1 == Bands.end() ? Bands.front() : *(at + 1);
        }
        const long long offset = number == LateId ? 7200 : number == SlightlyOffId ? 420 : 0;
        const std::string extra = number == CardCreditId ? field("CREDIT_GRANTED", "DXCC:CARD") : "";
        if (number == TwiceId) {
            entries.push_back({start - 240, record(qso, start - 240, band, extra)});
            entries.push_back({start + 240, record(qso, start + 240, band, extra)});
        } else {
            entries.push_back({start + offset, record(qso, start + offset, band, extra)});
        }
    }
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
