// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The standings: for every DXCC entity of the credits or the log, what each award column holds
// (credited, confirmed but not credited, worked, or nothing), the totals, and the application list.
// Shared by the command line and the window; no Qt here.
#include "adi_reader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace awardsync::mark {

// The columns: Mixed, CW, Phone, Digital, the bands 160M to 2M, SAT.
enum StandingsColumn : int {
    ColumnMixed,
    ColumnCw,
    ColumnPhone,
    ColumnDigital,
    Column160M,
    Column6M = 13,
    Column2M,
    ColumnSat,
    ColumnCount
};
std::string_view columnName(int column); // "Mixed", "CW", "Phone", "Digital", "160M", ..., "SAT"
// The column of a band ("20m" or "20M"), or -1 for a band without one.
int bandColumn(std::string_view band);
// The mode column of mode groups (records/adif_enums.h): CW, Phone (PHONE and IMAGE), Digital (DATA);
// -1 for any group.
int modeColumn(unsigned groups);

enum CreditMedia : unsigned { MediaLotw = 1, MediaCard = 2 };

// One credit item of the credit source: a credit name with its media for a QSO of an entity.
struct StandingsCredit {
    int dxcc = 0;          // 0: unknown
    std::string_view name; // upper case: DXCC, DXCC_BAND, DXCC_MODE, DXCC_SATELLITE, or any other
    unsigned media = 0;    // CreditMedia bits; 0: the source names neither LoTW nor card
    std::string_view band; // the credited QSO's band
    unsigned groups = 0;   // the credited QSO's mode groups
    std::size_t line = 0;  // its line or record in the source
};

struct Credit;
// The credit items of a credit source's readable credits (those without a problem), in source order.
std::vector<StandingsCredit> standingsCredits(const std::vector<Credit>& credits);

// What the standings keep of a QSO they show: where its record stands, so that it is read again when it is
// named.
struct StandingsQso {
    std::size_t begin = 0, end = 0; // the record's bytes in the log
    std::size_t firstTag = 0;       // where the record's first tag stands
    std::size_t line = 0;           // that tag's log line; 0 until numberShownLines() counts it
    std::int64_t when = std::numeric_limits<std::int64_t>::max(); // for "earliest"; unreadable last
    bool confirmed = false;                                       // LOTW_QSL_RCVD or QSL_RCVD Y or V
    bool byLotw = false;                                          // LOTW_QSL_RCVD Y or V: confirmed by LoTW
    bool inCharacters = false;                                    // the log counted characters as it began
};

// The fields a QSO is named by, read again from its record when it is shown.
struct QsoNames {
    std::string_view call, date, time, band, mode;
};
QsoNames qsoNames(const StandingsQso& qso, std::string_view log);

// The QSOs the standings show, in log order.
using StandingsQsos = std::vector<StandingsQso>;

// The log totalled for the standings as it is read: per entity and column, its QSOs, how many of them are
// confirmed, and the one its cell shows. What it holds grows with the entities, not with the QSOs, so that a
// log of millions of QSOs costs no more than a short one.
class StandingsTally {
public:
    // The fields the standings read; the reading of the log must keep them (and may keep others).
    static const AdiFieldNames Fields;

    struct Cell {
        std::uint32_t qsos = 0, confirmed = 0;
        StandingsQso shown; // when qsos > 0: the earliest confirmed QSO, else the earliest
    };
    struct Entity {
        int dxcc = 0;
        std::array<Cell, ColumnCount> cells{};
    };

    // Every record of the log, in log order, with the length unit the log counted in as it began.
    void add(const AdiRecord& record, AdiLengthUnit unit);

    const std::vector<Entity>& entities() const { return entities_; } // in the order the log names them
    // QSOs of each column without an entity (no DXCC, DXCC 0, or a number of more than three digits).
    const std::array<std::size_t, ColumnCount>& unknownEntity() const { return unknownEntity_; }

private:
    // The column of a BAND or MODE value, remembered by its spelling: a log has a handful of each, and
    // working them out again for every QSO would cost more than the rest of the QSO.
    class ColumnMemo {
    public:
        template <typename Work> int columnOf(std::string_view text, const Work& work) {
            for (const auto& [known, column] : known_) {
                if (known == text) {
                    return column;
                }
            }
            const int column = work(text);
            if (known_.size() < 64) {
                known_.emplace_back(std::string(text), column);
            }
            return column;
        }

    private:
        std::vector<std::pair<std::string, int>> known_;
    };

    Entity& entity(int dxcc);

    std::vector<Entity> entities_;
    std::unordered_map<int, std::size_t> entityIndex_;
    std::array<std::size_t, ColumnCount> unknownEntity_{};
    ColumnMemo bands_, modes_;
};

// The log totalled for the standings, for a run that does not mark. Raises AdiError.
StandingsTally tallyLog(std::string_view log);

enum class CellState : std::uint8_t { Empty, Worked, Confirmed, Credited };

struct StandingsCell {
    CellState state = CellState::Empty;
    unsigned media = 0;          // Credited: CreditMedia bits; 0: granted without a medium
    std::uint32_t qsos = 0;      // QSOs of the log in this slot
    std::uint32_t confirmed = 0; // of them confirmed
    std::size_t qso = NoQso;     // the earliest confirmed QSO of the slot, else its earliest QSO (Standings::qsos)
    std::size_t creditLine = 0;  // the first credit of the slot in the source, 0: none
    static constexpr std::size_t NoQso = std::numeric_limits<std::size_t>::max();
};

// The letter a cell shows: capitals for a credit, L (LoTW), Q (QSL card), B (both), G (granted, no medium
// named); small letters for what is not credited yet, c (confirmed), w (worked); or empty.
std::string_view cellLetter(const StandingsCell& cell);

// The legend: a cell of each letter, with what it means ("credited by LoTW"), in the order it is read.
struct CellLegendEntry {
    CellState state;
    unsigned media;
    std::string_view meaning;
};
const std::array<CellLegendEntry, 6>& cellLegend();

struct StandingsRow {
    int dxcc = 0;
    bool counted = true; // a current entity of the ADIF standard; deleted and unknown numbers are not counted
    std::array<StandingsCell, ColumnCount> cells{};
};

struct ColumnTotals {
    std::size_t credited = 0, lotw = 0, card = 0; // entities credited; by LoTW, by card (both count in each)
    std::size_t confirmed = 0;                    // confirmed, not credited
    std::size_t worked = 0;                       // worked, not confirmed
    std::size_t unknownEntity = 0;                // QSOs of this column without an entity
};

struct ApplicationSlot {
    std::size_t row = 0;
    int column = 0;
    std::size_t qso = 0; // index into Standings::qsos
    // Where the slot is applied for: MediaLotw (online) when its QSO is confirmed by LoTW, else MediaCard
    // (the card checker).
    unsigned medium = MediaCard;
};

// What a column still needs of the current entities; deleted entities never count as needed.
struct NeededEntities {
    std::size_t notCredited = 0;   // current entities without a credit in the column, whatever the log holds
    std::vector<int> notConfirmed; // of them worked, not confirmed: DXCC numbers, ascending
    std::vector<int> neverWorked;  // of them without a QSO in the column: DXCC numbers, ascending
};

struct Standings {
    std::vector<StandingsRow> rows; // by entity number
    std::array<ColumnTotals, ColumnCount> totals{};
    std::size_t challenge = 0;                // credited band slots 160M to 6M
    std::size_t challengeConfirmed = 0;       // confirmed, not credited band slots 160M to 6M
    std::size_t creditsUnplaced = 0;          // credit items without entity, or of no column
    std::vector<ApplicationSlot> application; // by entity, then column
    StandingsQsos qsos;                       // the QSOs the cells show
    std::array<NeededEntities, ColumnCount> needed{};
};

// The QSOs of the application slots of these media (CreditMedia bits), each once, in log order: indexes
// into Standings::qsos.
std::vector<std::size_t> applicationQsos(const Standings& standings, unsigned media);
std::size_t applicationSlots(const Standings& standings, unsigned media);

// The five bands of 5-band DXCC.
constexpr std::array<int, 5> FiveBandColumns = {Column160M + 1, Column160M + 2, Column160M + 4, Column160M + 6,
                                                Column160M + 8};

Standings buildStandings(const std::vector<StandingsCredit>& credits, const StandingsTally& tally);
// The same of a credit source's readable credits, item by item: no list of millions of items is made.
Standings buildStandings(const std::vector<Credit>& credits, const StandingsTally& tally);

// Counts the log lines of the QSOs the standings show in one pass over `log`.
void numberShownLines(Standings& standings, std::string_view log);

// Where a credited total stands against its award.
struct AwardTarget {
    std::size_t count = 0; // credited
    std::size_t of = 0;    // the most the award can count
    std::size_t next = 0;  // the count of the next step; 0 once the last is reached
    std::string_view step; // the next step's name, or once every step is reached the last one's
};
// A column's entities against the DXCC award: of the current entities; the next of DXCC, the
// endorsements, Honor Roll and #1 Honor Roll.
AwardTarget dxccTarget(std::size_t credited);
// The Challenge's band slots: of ten bands (160M to 6M) of the current entities; 1,000, then steps of 50.
AwardTarget challengeTarget(std::size_t credited);
// One band of 5-band DXCC: of 100.
AwardTarget fiveBandTarget(std::size_t credited);
// "50 of 340 (next: DXCC at 100)", "254 of 3,400 (next: 1,000)", "340 of 340 (#1 Honor Roll reached)".
std::string targetText(const AwardTarget& target);
// The part in brackets: "DXCC at 100", "1,000", "#1 Honor Roll reached".
std::string nextStepText(const AwardTarget& target);
// 3400 as "3,400".
std::string groupedNumber(std::size_t number);

// One month of progress: what the QSOs of this month or earlier hold of the credits.
struct MonthProgress {
    int year = 0, month = 0;   // month 1 to 12
    std::size_t mixed = 0;     // current entities credited in Mixed whose cell's QSO is of this month or earlier
    std::size_t challenge = 0; // credited Challenge band slots (160M to 6M, current entities) likewise
};
// Progress over time, by the date of the QSO each credited cell shows (StandingsCell::qso).
struct ProgressSeries {
    std::vector<MonthProgress> months; // every month from the first to the last of those QSOs; empty: none
    // Credited, but no QSO of the log with a date stands for the cell: counted in no month.
    std::size_t undatedMixed = 0, undatedChallenge = 0;
};
// Per credited cell, not per QSO of the log.
ProgressSeries progressByMonth(const Standings& standings);

// "Credited entities: Mixed 287, CW 201, Phone 245, Digital 150, Challenge 1432 (+37 confirmed, not credited)"
std::string standingsSummaryLine(const Standings& standings);

} // namespace awardsync::mark
