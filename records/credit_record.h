// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/string_list.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace awardsync {

// The record line of one credited QSO from the fields of its detail page: call, three-digit DXCC
// entity number, date, time, mode, band and confirmation kind, each followed by "|". Missing or
// malformed fields never fail: they give empty parts (000 for the entity number). With
// `phoneToSsb` the mode "PHONE" (exactly that) is written as "SSB".
std::string buildRecordLine(const NameValueList& fields, bool phoneToSsb);

// A line buildRecordLine wrote without `phoneToSsb` as it would have written it with it: the mode
// "PHONE" (exactly that) as "SSB". Other lines come back unchanged.
std::string withPhoneAsSsb(std::string_view line);

// The positions of the seven fields of a record line, in the order buildRecordLine writes them.
enum class RecordField { Call, Dxcc, Date, Time, Mode, Band, Kind };
constexpr std::size_t RecordFieldCount = 7;

// The confirmation kinds a record line ends with.
constexpr std::string_view RecordKindLotw = "LoTW";
constexpr std::string_view RecordKindQsl = "QSL";

// The seven fields of a record line, without their "|", unchanged (not trimmed).
struct RecordFields {
    std::array<std::string_view, RecordFieldCount> parts;
    std::string_view operator[](RecordField field) const { return parts[static_cast<std::size_t>(field)]; }
};

// Splits a record line as buildRecordLine writes it. Nothing in a field is escaped, so a line
// reads only when it holds exactly seven "|" and ends with one; anything else (a "|" inside a
// value included) gives nothing. A trailing carriage return is not part of the line.
std::optional<RecordFields> splitRecordLine(std::string_view line);

// A record line read into typed fields. Date and time are only trimmed here: what a date is, is
// the calendar's business.
struct RecordLine {
    std::string problem;   // why the line cannot be used; empty when it can
    std::string call;      // trimmed, upper case
    std::string band;      // trimmed, upper case
    std::string_view mode; // trimmed
    std::string_view date; // trimmed: YYYY/MM/DD as written
    std::string_view time; // trimmed: HH:MM:SS, HH:MM or empty
    int dxcc = 0;
    bool lotw = true; // LoTW, else QSL
};

// Reads a record line; a line that is no record line, an empty call or band, a DXCC number that is
// not three digits or a confirmation that is neither LoTW nor QSL gives its problem.
RecordLine parseRecordLine(std::string_view line);

} // namespace awardsync
