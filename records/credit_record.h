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

} // namespace awardsync
