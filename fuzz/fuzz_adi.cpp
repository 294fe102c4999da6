// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as an ADI log to the reader and to marking. A log the reader refuses raises
// Error, an expected outcome; anything else that escapes, and every sanitizer report, is a finding.
// Properties checked on a log that reads:
// - records follow each other without gaps or overlaps, each field inside its record;
// - without a usable credit the output is the log byte for byte;
// - with credits for a few of its own QSOs, marking the marked output again changes nothing.
#include "core/error.h"
#include "core/text.h"
#include "mark/adi_reader.h"
#include "mark/marking.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace awardsync;
using namespace awardsync::mark;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string joined(const MarkedLog& marked) {
    std::string text;
    for (std::string_view piece : marked.output) {
        text += piece;
    }
    return text;
}

bool usable(std::string_view value) {
    return value.find_first_of("|\r\n<") == std::string_view::npos;
}

// A record line for the QSO, without a time so that only the date decides.
std::string creditFor(const AdiRecord& record, std::size_t index) {
    const AdiField* call = record.find("CALL");
    const AdiField* band = record.find("BAND");
    const AdiField* date = record.find("QSO_DATE");
    const AdiField* mode = record.find("MODE");
    if (call == nullptr || band == nullptr || date == nullptr || date->value.size() != 8 || !usable(call->value) ||
        !usable(band->value) || !usable(date->value) || (mode != nullptr && !usable(mode->value))) {
        return {};
    }
    const std::string_view d = date->value;
    return std::string(call->value) + "|000|" + std::string(d.substr(0, 4)) + "/" + std::string(d.substr(4, 2)) + "/" +
           std::string(d.substr(6, 2)) + "||" + std::string(mode != nullptr ? mode->value : "") + "|" +
           std::string(band->value) + "|" + (index % 2 == 0 ? "LoTW" : "QSL") + "|\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view log(reinterpret_cast<const char*>(data), size);
    std::string credits;
    AdiLayout layout;
    std::size_t expectedBegin = std::string_view::npos;
    std::size_t withFields = 0;
    try {
        readAdi(
            log,
            [&](const AdiRecord& record) {
                if (expectedBegin == std::string_view::npos) {
                    expectedBegin = record.begin;
                }
                require(record.begin == expectedBegin && record.begin <= record.eorBegin &&
                        record.eorBegin < record.end && record.end <= log.size());
                for (const AdiField& field : record.fields) {
                    require(field.tagBegin >= record.begin && field.valueEnd <= record.eorBegin);
                    require(field.value.data() >= log.data() &&
                            field.value.data() + field.value.size() <= log.data() + field.valueEnd);
                }
                expectedBegin = record.end;
                withFields += record.fields.empty() ? 0 : 1;
                if (record.number <= 4) {
                    credits += creditFor(record, record.number);
                }
                return true;
            },
            layout);
    } catch (const AdiError&) {
        return 0;
    }
    require(layout.headerEnd <= layout.tailBegin && layout.tailBegin <= log.size());
    if (withFields == 0) {
        return 0; // no QSO record: marking refuses it
    }
    if (notText(credits)) {
        return 0; // a call that begins like UTF-16 text makes records no reader takes for text
    }
    // A credit source whose one line is no credit (an empty one is refused): nothing is marked.
    const std::string noCredit = "no credit|\r\n";
    if (credits.empty()) {
        credits = noCredit; // none of the first QSOs can be credited in a record line
    }

    const MarkedLog unchanged = markContent(noCredit, log, false, "r", "l");
    require(joined(unchanged) == log);

    const MarkedLog once = markContent(credits, log, false, "r", "l");
    const std::string marked = joined(once);
    const MarkedLog twice = markContent(credits, marked, false, "r", "l");
    require(joined(twice) == marked);
    require(twice.summary.qsosMarked == 0);
    require(twice.summary.unmatched == once.summary.unmatched);
    markContent(credits, log, true, "r", "l");
    return 0;
}
