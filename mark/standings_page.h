// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the standings give the user: the HTML page (totals, grid, application list) and the
// application list as an ADI file.
#include "standings.h"

#include <string>
#include <string_view>
#include <vector>

namespace awardsync::mark {

// The names of the two sources, as the page states them.
struct StandingsSources {
    std::string credits;
    std::string log;
    std::string made;           // when the page is made: "2026-12-09 17:05 UTC"
    std::string creditsCreated; // when the credits file was made, as `made`; empty: it does not say
};

// One self-contained HTML5 page: no script, no external file; a print stylesheet.
std::string standingsHtml(const Standings& standings, std::string_view log, const StandingsSources& sources);

// The application list's QSOs as an ADI file: a short header of our own, then each QSO once, in log
// order, byte for byte from `log` (the text before it included, so that comments stay with it). `media`
// (CreditMedia bits) chooses the slots by where they are applied for: both, LoTW alone, or cards alone.
std::string applicationAdi(const Standings& standings, std::string_view log, unsigned media = MediaLotw | MediaCard);

// The tooltip of a cell: its state and the QSO that stands for it ("CALL date time band mode (log line L)").
std::string cellDescription(const StandingsCell& cell, const Standings& standings, std::string_view log);

// A QSO as the page and the tooltips name it: "CALL 2009-07-14 18:05 20M SSB (log line 12)".
std::string qsoText(const StandingsQso& qso, std::string_view log);

} // namespace awardsync::mark
