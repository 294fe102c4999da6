// SPDX-License-Identifier: GPL-3.0-or-later
// The bench's large log and credit sources: 300,000 QSOs (about 100 MB) as a desktop logger exports
// them, and 20,000 credits drawn from them (one in fifty on another band), as a records file and as
// a credits file. Both mark benches read it, so that they measure the same log. With `oneCall` every
// QSO has the same call, the worst case for matching within a call; with `otherMode` as well, every QSO is
// CW and every credit SSB, so that no credit matches and each must be explained.
#pragma once

#include "records/calendar.h"

#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace awardsync::bench {

// Writes `bytes` to `path`, or ends the bench saying which file could not be written.
inline void writeOrExit(const QString& path, const char* bytes, qint64 size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes, size) != size) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

inline constexpr int QsoCount = 300000;
inline constexpr int CreditCount = 20000;
inline constexpr int StationCount = 60000; // worked stations: many calls appear in several QSOs
inline const char* const Bands[] = {"160M", "80M", "40M", "30M", "20M", "17M", "15M", "12M", "10M", "6M"};
inline const char* const Modes[] = {"CW", "SSB", "FT8", "RTTY", "FM"};

struct Qso {
    std::string call;
    int band, mode, dxcc;
    long long start; // seconds since 2000-01-01
};

inline std::string callOf(int station) {
    std::string call = {static_cast<char>('A' + station % 23), static_cast<char>('A' + station / 23 % 26),
                        static_cast<char>('0' + station / 598 % 10)};
    for (int rest = station / 5980 + 1; rest > 0; rest /= 26) {
        call += static_cast<char>('A' + rest % 26);
    }
    return call;
}

inline void civil(long long days, int& year, int& month, int& day) {
    const CalendarDate date = dateOfDays(days + 10957); // from 2000-01-01
    year = date.year;
    month = date.month;
    day = date.day;
}

inline std::string field(const char* name, const std::string& value) {
    return "<" + std::string(name) + ":" + std::to_string(value.size()) + ">" + value + " ";
}

// A log like a desktop logger's export: about 330 bytes per QSO, CR LF.
inline void writeFiles(const QString& logPath, const QString& recordsPath, const QString& creditsPath = {},
                       bool oneCall = false, bool otherMode = false) {
    std::mt19937 random(20260101);
    std::vector<Qso> qsos;
    qsos.reserve(QsoCount);
    long long start = 0;
    for (int i = 0; i < QsoCount; ++i) {
        start += 60 + static_cast<long long>(random() % 1500);
        const int station = static_cast<int>(random() % StationCount);
        const int band = static_cast<int>(random() % 10);
        const int mode = static_cast<int>(random() % 5);
        qsos.push_back({callOf(oneCall ? 0 : station), band, otherMode ? 0 : mode, 1 + station % 340, start});
    }
    std::string log = "Generated for the awardsync-mark bench\r\n<ADIF_VER:5>3.1.4 <PROGRAMID:5>BENCH <EOH>\r\n";
    log.reserve(110u << 20);
    for (const Qso& q : qsos) {
        int year, month, day;
        civil(q.start / 86400, year, month, day);
        char date[16], time[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", year, month, day);
        std::snprintf(time, sizeof time, "%02lld%02lld%02lld", q.start % 86400 / 3600, q.start % 3600 / 60,
                      q.start % 60);
        log += field("CALL", q.call) + field("QSO_DATE", date) + field("TIME_ON", time) + field("QSO_DATE_OFF", date) +
               field("TIME_OFF", time) + field("BAND", Bands[q.band]) + field("FREQ", "14.074000") +
               field("MODE", Modes[q.mode]) + field("RST_SENT", "599") + field("RST_RCVD", "579") +
               field("DXCC", std::to_string(q.dxcc)) + field("CQZ", "14") + field("ITUZ", "28") +
               field("GRIDSQUARE", "JO40ab") + field("NAME", "Operator Name") + field("QSL_SENT", "N") +
               field("QSL_RCVD", "N") + field("STATION_CALLSIGN", "Q1BENCH") + field("MY_GRIDSQUARE", "FN31pr") +
               field("TX_PWR", "100") + field("COMMENT", "tnx fer QSO 73") + "<EOR>\r\n";
    }
    std::string records;
    std::string credits =
        "Generated for the awardsync-mark bench\r\n<ADIF_VER:5>3.1.4 <PROGRAMID:9>awardsync <EOH>\r\n";
    const char* const recordModes[] = {"CW", "SSB", "DATA", "DATA", "SSB"};
    const char* const groups[] = {"CW", "PHONE", "DATA", "DATA", "PHONE"};
    for (int i = 0; i < CreditCount; ++i) {
        Qso q = qsos[random() % QsoCount];
        q.mode = otherMode ? 1 : q.mode;
        int year, month, day;
        civil(q.start / 86400, year, month, day);
        char line[160];
        std::snprintf(line, sizeof line, "%s|%03d|%04d/%02d/%02d|%02lld:%02lld:%02lld|%s|%s|%s|\r\n", q.call.c_str(),
                      q.dxcc, year, month, day, q.start % 86400 / 3600, q.start % 3600 / 60, q.start % 60,
                      recordModes[q.mode], Bands[(q.band + (i % 50 == 0 ? 1 : 0)) % 10], i % 7 ? "LoTW" : "QSL");
        records += line;
        const std::string medium = i % 7 ? ":LOTW" : ":CARD";
        std::snprintf(line, sizeof line, "%04d%02d%02d", year, month, day);
        const std::string date = line;
        std::snprintf(line, sizeof line, "%02lld%02lld%02lld", q.start % 86400 / 3600, q.start % 3600 / 60,
                      q.start % 60);
        credits += field("CALL", q.call) + field("QSO_DATE", date) + field("TIME_ON", line) +
                   field("BAND", Bands[(q.band + (i % 50 == 0 ? 1 : 0)) % 10]) + field("MODE", Modes[q.mode]) +
                   field("APP_AWARDSYNC_MODEGROUP", groups[q.mode]) + field("DXCC", std::to_string(q.dxcc)) +
                   field("CREDIT_GRANTED", "DXCC" + medium + ",DXCC_MODE" + medium + ",DXCC_BAND" + medium) +
                   "<EOR>\r\n";
    }
    for (const auto& [path, bytes] :
         {std::pair{logPath, &log}, std::pair{recordsPath, &records}, std::pair{creditsPath, &credits}}) {
        if (path.isEmpty()) {
            continue;
        }
        writeOrExit(path, bytes->data(), static_cast<qint64>(bytes->size()));
    }
}

} // namespace awardsync::bench
