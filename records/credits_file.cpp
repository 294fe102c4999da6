// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/credits_file.h"

#include "core/text.h"
#include "records/adif_enums.h"
#include "records/credit_record.h"
#include "records/records_file.h"

#include <algorithm>

namespace awardsync {

namespace {

bool allDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "2009/07/14" gives "20090714"; anything else gives nothing.
std::string adifDate(std::string_view date) {
    if (date.size() != 10 || date[4] != '/' || date[7] != '/') {
        return {};
    }
    std::string digits = std::string(date.substr(0, 4)) + std::string(date.substr(5, 2)) + std::string(date.substr(8));
    return allDigits(digits) ? digits : std::string();
}

// "18:05:00" and "18:05" (a time without seconds) both give "180500".
std::string adifTime(std::string_view time) {
    if ((time.size() != 5 && time.size() != 8) || time[2] != ':' || (time.size() == 8 && time[5] != ':')) {
        return {};
    }
    std::string digits = std::string(time.substr(0, 2)) + std::string(time.substr(3, 2));
    digits += time.size() == 8 ? time.substr(6) : "00";
    return allDigits(digits) ? digits : std::string();
}

// "001" gives "1"; 000, which names no entity, and anything not a number give nothing.
std::string dxccValue(std::string_view dxcc) {
    const std::optional<int> number = entityNumber(dxcc);
    return number && *number > 0 ? std::to_string(*number) : std::string();
}

std::string joined(const std::vector<std::string_view>& items, std::string_view suffix) {
    std::string text;
    for (std::string_view item : items) {
        if (!text.empty()) {
            text += ',';
        }
        text += item;
        text += suffix;
    }
    return text;
}

// Adds "<NAME:length>value" and `end`; an empty value adds nothing.
void addField(std::string& out, std::string_view name, std::string_view value, std::string_view end = " ") {
    if (!value.empty()) {
        out += '<';
        out += name;
        out += ':';
        out += std::to_string(value.size());
        out += '>';
        out += value;
        out += end;
    }
}

std::string recordOf(const CreditsRecord& record) {
    const std::optional<RecordFields> fields = splitRecordLine(record.line);
    if (!fields) {
        return {};
    }
    const std::string_view mode = (*fields)[RecordField::Mode];
    const std::string_view kind = (*fields)[RecordField::Kind];
    const std::string_view medium = kind == RecordKindLotw ? ":LOTW" : kind == RecordKindQsl ? ":CARD" : "";
    std::string out;
    addField(out, "CALL", (*fields)[RecordField::Call]);
    addField(out, "QSO_DATE", adifDate((*fields)[RecordField::Date]));
    addField(out, "TIME_ON", adifTime((*fields)[RecordField::Time]));
    addField(out, "BAND", (*fields)[RecordField::Band]);
    addField(out, "MODE", isAdifMode(mode) ? mode : std::string_view());
    addField(out, "APP_AWARDSYNC_MODEGROUP", mode.empty() ? std::string_view() : groupName(modeGroupsOf(mode)));
    addField(out, "DXCC", dxccValue((*fields)[RecordField::Dxcc]));
    addField(out, "CREDIT_GRANTED", joined(record.credits, medium));
    addField(out, "APP_AWARDSYNC_AWARDS", joined(record.awards, ""));
    addField(out, "APP_AWARDSYNC_QSO_URL", record.address);
    addField(out, "APP_AWARDSYNC_RECORD", record.pageLine);
    return out + "<EOR>\r\n";
}

// Steps through "<NAME:LENGTH[:TYPE]>value" items, as the ADIF standard writes them.
class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : rest_(bytes) {}

    // The next item; false at the end. A tag without a length (EOH, EOR) has an empty value.
    bool next(std::string& name, std::string_view& value) {
        for (;;) {
            const std::size_t open = rest_.find('<');
            if (open == std::string_view::npos) {
                return false;
            }
            rest_.remove_prefix(open + 1);
            const std::size_t close = rest_.find('>');
            if (close == std::string_view::npos) {
                return false;
            }
            const std::string_view tag = rest_.substr(0, close);
            rest_.remove_prefix(close + 1);
            const std::size_t colon = tag.find(':');
            name = asciiUpper(tag.substr(0, colon));
            value = {};
            if (colon == std::string_view::npos) {
                return true;
            }
            std::string_view digits = tag.substr(colon + 1);
            digits = digits.substr(0, digits.find(':'));
            std::size_t length = 0;
            if (digits.empty() || digits.size() > 9 || !allDigits(digits)) {
                continue; // not a field: read on from after it
            }
            for (char digit : digits) {
                length = length * 10 + static_cast<std::size_t>(digit - '0');
            }
            value = rest_.substr(0, length);
            rest_.remove_prefix(value.size());
            return true;
        }
    }

private:
    std::string_view rest_;
};

std::vector<std::string> splitAwards(std::string_view text) {
    std::vector<std::string> awards;
    while (!text.empty()) {
        const std::size_t comma = std::min(text.find(','), text.size());
        if (comma > 0) {
            awards.emplace_back(text.substr(0, comma));
        }
        text.remove_prefix(std::min(comma + 1, text.size()));
    }
    return awards;
}

} // namespace

std::string creditsFileContent(const CreditsHeader& header, const std::vector<CreditsRecord>& records) {
    std::string out =
        "DXCC credits of LoTW account " + std::to_string(header.owner.account) + ", downloaded by Awardsync\r\n";
    const std::string created = header.created.toUTC().toString(QStringLiteral("yyyyMMdd HHmmss")).toStdString();
    addField(out, "ADIF_VER", CreditsAdifVersion, "\r\n");
    addField(out, "PROGRAMID", "awardsync", "\r\n");
    addField(out, "PROGRAMVERSION", header.programVersion, "\r\n");
    addField(out, "CREATED_TIMESTAMP", created, "\r\n");
    addField(out, "APP_AWARDSYNC_SERVICE", header.owner.service, "\r\n");
    addField(out, "APP_AWARDSYNC_USER", header.owner.user, "\r\n");
    addField(out, "APP_AWARDSYNC_ACCOUNT", std::to_string(header.owner.account), "\r\n");
    out += "<EOH>\r\n";
    for (const CreditsRecord& record : records) {
        out += recordOf(record);
    }
    return out;
}

KnownCredits readKnownCredits(std::string_view bytes) {
    KnownCredits known;
    FieldReader reader(bytes);
    std::string name;
    std::string_view value;
    bool inHeader = true;
    KnownCredit credit;
    while (reader.next(name, value)) {
        if (inHeader) {
            if (name == "EOH") {
                inHeader = false;
            } else if (name == "APP_AWARDSYNC_SERVICE") {
                known.owner.service = value;
            } else if (name == "APP_AWARDSYNC_USER") {
                known.owner.user = value;
            } else if (name == "APP_AWARDSYNC_ACCOUNT") {
                known.owner.account =
                    allDigits(value) && !value.empty() && value.size() < 6 ? std::stoi(std::string(value)) : 0;
            }
        } else if (name == "EOR") {
            if (!credit.address.empty() && !credit.pageLine.empty()) {
                known.credits.push_back(std::move(credit));
            }
            credit = {};
        } else if (name == "APP_AWARDSYNC_QSO_URL") {
            credit.address = value;
        } else if (name == "APP_AWARDSYNC_RECORD") {
            credit.pageLine = value;
        } else if (name == "APP_AWARDSYNC_AWARDS") {
            credit.awards = splitAwards(value);
        }
    }
    return known;
}

std::string creditsFilePath(const std::string& recordsPath) {
    return pathWithNewEnding(recordsPath, "-credits.adi", false);
}

void saveCreditsFile(const CreditsHeader& header, const std::vector<CreditsRecord>& records, const std::string& path) {
    const std::string content = creditsFileContent(header, records);
    saveBesideRecords(QByteArray(content.data(), static_cast<qsizetype>(content.size())), path);
}

} // namespace awardsync
