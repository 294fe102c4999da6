// SPDX-License-Identifier: GPL-3.0-or-later
#include "credit_record.h"

#include "core/text.h"
#include "records/adif_enums.h"

namespace awardsync {

namespace {

std::string dateTimeOf(const NameValueList& fields) {
    std::string dateTime(trimControl(fields.value("Date/Time")));
    if (dateTime.empty()) {
        dateTime = trimControl(fields.value("Date"));
    }
    return dateTime;
}

// The mode is what stands before the bracketed submode, as in "PHONE (SSB)"; without a bracket
// there is no mode to speak of.
std::string modeOf(const NameValueList& fields, bool phoneToSsb) {
    const std::string value = fields.value("Mode");
    const std::size_t open = value.find('(');
    if (open == std::string::npos) {
        return {};
    }
    std::string mode(trimControl(std::string_view(value).substr(0, open)));
    if (phoneToSsb && mode == "PHONE") {
        mode = "SSB";
    }
    return mode;
}

// The entity number stands in brackets after the entity name, as in "UNITED STATES (291)".
std::string entityNumberOf(const NameValueList& fields) {
    const std::string dxcc = fields.value("DXCC");
    std::string_view rest = dxcc;
    if (const std::size_t open = rest.find('('); open != std::string_view::npos) {
        rest.remove_prefix(open + 1);
    }
    const std::size_t close = rest.find(')');
    const std::string_view number = close == std::string_view::npos ? std::string_view() : rest.substr(0, close);
    return std::string(lastChars("000" + std::string(trimControl(number)), 3));
}

// A field as a problem quotes it: a long one (a hostile file) cut after a few characters.
std::string quoted(std::string_view field) {
    const std::string_view shown = firstChars(field, 40);
    return "\"" + std::string(shown) + (shown.size() < field.size() ? "...\"" : "\"");
}

} // namespace

std::string buildRecordLine(const NameValueList& fields, bool phoneToSsb) {
    const std::string dateTime = dateTimeOf(fields);
    const std::string_view dateTimeView(dateTime);
    const std::string date = replaceAll(std::string(firstChars(dateTimeView, 10)), "-", "/");
    // The eleventh character is the blank between date and time. Positions count characters, not
    // bytes, so that a multi-byte character is never cut in half.
    const std::string_view time = dateTimeView.substr(firstChars(dateTimeView, 11).size());

    std::string line = fields.value("Worked");
    line += '|';
    line += entityNumberOf(fields);
    line += '|';
    line += date;
    line += '|';
    line += time;
    line += '|';
    line += modeOf(fields, phoneToSsb);
    line += '|';
    line += fields.value("Band");
    line += '|';
    line += fields.value("QSL").empty() ? RecordKindQsl : RecordKindLotw;
    line += '|';
    return line;
}

std::optional<RecordFields> splitRecordLine(std::string_view line) {
    RecordFields fields;
    std::size_t start = 0;
    for (std::string_view& part : fields.parts) {
        const std::size_t bar = line.find('|', start);
        if (bar == std::string_view::npos) {
            return std::nullopt;
        }
        part = line.substr(start, bar - start);
        start = bar + 1;
    }
    if (start != line.size()) {
        return std::nullopt;
    }
    return fields;
}

std::string withPhoneAsSsb(std::string_view line) {
    const std::optional<RecordFields> fields = splitRecordLine(line);
    if (!fields || (*fields)[RecordField::Mode] != "PHONE") {
        return std::string(line);
    }
    const std::string_view mode = (*fields)[RecordField::Mode];
    const std::size_t at = static_cast<std::size_t>(mode.data() - line.data());
    return std::string(line.substr(0, at)) + "SSB" + std::string(line.substr(at + mode.size()));
}

RecordLine parseRecordLine(std::string_view line) {
    RecordLine record;
    const std::optional<RecordFields> fields = splitRecordLine(line);
    if (!fields) {
        record.problem = "not a record line (it needs seven fields, each followed by \"|\")";
        return record;
    }
    record.call = asciiUpper(trimControl((*fields)[RecordField::Call]));
    record.band = asciiUpper(trimControl((*fields)[RecordField::Band]));
    record.mode = trimControl((*fields)[RecordField::Mode]);
    record.date = trimControl((*fields)[RecordField::Date]);
    record.time = trimControl((*fields)[RecordField::Time]);
    const std::string_view dxcc = trimControl((*fields)[RecordField::Dxcc]);
    const std::string_view kind = trimControl((*fields)[RecordField::Kind]);
    const std::optional<int> entity = dxcc.size() == 3 ? entityNumber(dxcc) : std::nullopt;
    if (record.call.empty()) {
        record.problem = "the call is empty";
    } else if (!entity) {
        record.problem = "the DXCC number " + quoted(dxcc) + " is not three digits";
    } else if (!equalsIgnoreAsciiCase(kind, RecordKindLotw) && !equalsIgnoreAsciiCase(kind, RecordKindQsl)) {
        record.problem = "the confirmation " + quoted(kind) + " is neither LoTW nor QSL";
    } else if (record.band.empty()) {
        record.problem = "the band is empty";
    } else {
        record.dxcc = *entity;
        record.lotw = equalsIgnoreAsciiCase(kind, RecordKindLotw);
    }
    return record;
}

} // namespace awardsync
