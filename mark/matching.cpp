#include "matching.h"

#include "core/text.h"
#include "qso_time.h"
#include "records/credit_record.h"

#include <algorithm>
#include <limits>

namespace awardsync::mark {

namespace {

constexpr std::int64_t Window = 30 * 60;
constexpr std::int64_t Unknown = std::numeric_limits<std::int64_t>::max() / 4;

std::string upperTrimmed(std::string_view text) {
    return asciiUpper(trimControl(text));
}

// How far a QSO lies from the credit: seconds with a credit time, whole days (in seconds) without.
std::int64_t distance(const Credit& credit, const LogQso& qso) {
    if (credit.start) {
        return qso.start ? (*qso.start > *credit.start ? *qso.start - *credit.start : *credit.start - *qso.start)
                         : Unknown;
    }
    return qso.day ? (*qso.day > credit.day ? *qso.day - credit.day : credit.day - *qso.day) * 86400 : Unknown;
}

std::size_t nearest(const Credit& credit, const QsoList& qsos, const std::vector<std::size_t>& among) {
    std::size_t best = among.front();
    for (std::size_t index : among) {
        if (distance(credit, qsos[index]) < distance(credit, qsos[best])) {
            best = index;
        }
    }
    return best;
}

template <typename Test>
std::vector<std::size_t> keep(const std::vector<std::size_t>& among, const QsoList& qsos, Test test) {
    std::vector<std::size_t> kept;
    for (std::size_t index : among) {
        if (test(qsos[index])) {
            kept.push_back(index);
        }
    }
    return kept;
}

// A QSO as the report names it: call, date, time, band, mode (and DXCC), and its line in the log.
std::string describeQso(const LogQso& qso, std::size_t line, bool withDxcc) {
    std::string text(qso.call);
    text += ' ';
    if (qso.date.size() == 8) {
        text += std::string(qso.date.substr(0, 4)) + "-" + std::string(qso.date.substr(4, 2)) + "-" +
                std::string(qso.date.substr(6, 2));
    } else {
        text += qso.date.empty() ? "(no date)" : std::string(qso.date);
    }
    text += ' ';
    if (qso.time.size() == 4 || qso.time.size() == 6) {
        text += std::string(qso.time.substr(0, 2)) + ":" + std::string(qso.time.substr(2, 2));
        if (qso.time.size() == 6) {
            text += ":" + std::string(qso.time.substr(4, 2));
        }
    } else {
        text += qso.time.empty() ? "(no time)" : std::string(qso.time);
    }
    text += ' ' + (qso.band.empty() ? std::string("(no band)") : std::string(qso.band));
    text += ' ' + (qso.mode.empty() ? std::string("(no mode)") : std::string(qso.mode));
    if (withDxcc) {
        text += " DXCC " + std::to_string(qso.dxcc);
    }
    return text + " (log line " + std::to_string(line) + ")";
}

std::string howFar(const Credit& credit, const LogQso& qso) {
    if (!qso.day || (credit.start && !qso.start)) {
        return "the nearest QSO has no valid QSO_DATE or TIME_ON";
    }
    if (!credit.start || *qso.day != credit.day) {
        const std::int64_t seconds = distance(credit, qso);
        if (!credit.start || seconds >= 86400) {
            return "the nearest QSO is on another date";
        }
    }
    const std::int64_t seconds = distance(credit, qso);
    const std::int64_t minutes = (seconds + 59) / 60;
    std::string text = "the nearest QSO is ";
    text += std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
    return text + (*qso.start < *credit.start ? " earlier" : " later");
}

} // namespace

std::vector<Credit> readCredits(std::string_view text) {
    std::vector<Credit> credits;
    std::size_t lineNumber = 0;
    // A byte-order mark, as an editor may add one, is no part of the first line.
    for (std::size_t begin = text.size() - withoutByteOrderMark(text).size(); begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(begin, end - begin);
        begin = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (trimControl(line).empty()) {
            continue;
        }
        Credit& credit = credits.emplace_back();
        credit.lineNumber = lineNumber;
        credit.line = line;
        const std::optional<RecordFields> fields = splitRecordLine(line);
        if (!fields) {
            credit.problem = "not a record line (it needs seven fields, each followed by \"|\")";
            continue;
        }
        credit.call = upperTrimmed((*fields)[RecordField::Call]);
        credit.band = upperTrimmed((*fields)[RecordField::Band]);
        credit.mode = trimControl((*fields)[RecordField::Mode]);
        credit.groups = modeGroupsOf(credit.mode);
        const std::string_view dxcc = trimControl((*fields)[RecordField::Dxcc]);
        const std::string_view date = trimControl((*fields)[RecordField::Date]);
        const std::string_view time = trimControl((*fields)[RecordField::Time]);
        const std::string_view kind = trimControl((*fields)[RecordField::Kind]);
        const std::optional<std::int64_t> day = daysOfRecordDate(date);
        const std::optional<std::int64_t> seconds = secondsOfRecordTime(time);
        if (credit.call.empty()) {
            credit.problem = "the call is empty";
        } else if (dxcc.size() != 3 ||
                   !std::all_of(dxcc.begin(), dxcc.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            credit.problem = "the DXCC number \"" + std::string(dxcc) + "\" is not three digits";
        } else if (!day) {
            credit.problem = "the date \"" + std::string(date) + "\" is not a date (YYYY/MM/DD)";
        } else if (!time.empty() && !seconds) {
            credit.problem = "the time \"" + std::string(time) + "\" is not a time (HH:MM:SS or HH:MM)";
        } else if (!equalsIgnoreAsciiCase(kind, RecordKindLotw) && !equalsIgnoreAsciiCase(kind, RecordKindQsl)) {
            credit.problem = "the confirmation \"" + std::string(kind) + "\" is neither LoTW nor QSL";
        } else if (credit.band.empty()) {
            credit.problem = "the band is empty";
        }
        if (!credit.problem.empty()) {
            continue;
        }
        credit.dxcc = (dxcc[0] - '0') * 100 + (dxcc[1] - '0') * 10 + (dxcc[2] - '0');
        credit.day = *day;
        if (seconds) {
            credit.start = *day * 86400 + *seconds;
        }
        credit.kind = equalsIgnoreAsciiCase(kind, RecordKindLotw) ? CreditKind::Lotw : CreditKind::Card;
    }
    return credits;
}

LogQso qsoOf(const AdiRecord& record) {
    LogQso qso;
    qso.number = record.number;
    qso.begin = record.begin;
    qso.firstTag = record.fields.empty() ? record.eorBegin : record.fields.front().tagBegin;
    qso.eorBegin = record.eorBegin;
    qso.end = record.end;
    // One pass over the fields, the first of each name counting: this runs for every QSO whose call
    // a credit names.
    std::string_view dxcc;
    bool seen[7] = {};
    static constexpr std::string_view names[7] = {"CALL",     "BAND",    "MODE",          "DXCC",
                                                  "QSO_DATE", "TIME_ON", "CREDIT_GRANTED"};
    for (const AdiField& field : record.fields) {
        for (std::size_t n = 0; n < 7; ++n) {
            if (seen[n] || field.name.size() != names[n].size() || asciiUpper(field.name[0]) != names[n][0] ||
                !equalsIgnoreAsciiCase(field.name, names[n])) {
                continue;
            }
            seen[n] = true;
            const std::string_view value = trimControl(field.value);
            switch (n) {
            case 0:
                qso.call = value;
                break;
            case 1:
                qso.band = value;
                break;
            case 2:
                qso.mode = value;
                break;
            case 3:
                dxcc = value;
                break;
            case 4:
                qso.date = value;
                break;
            case 5:
                qso.time = value;
                break;
            default:
                qso.hasCredit = true;
                qso.credit = field;
                // A credit list is ASCII; anything else is left for the user to fix, never rewritten.
                qso.creditUnreadable = std::any_of(field.value.begin(), field.value.end(), [](char c) {
                    return static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126;
                });
            }
            break;
        }
    }
    qso.groups = modeGroupsOf(qso.mode);
    if (!dxcc.empty() && dxcc.size() <= 6 &&
        std::all_of(dxcc.begin(), dxcc.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        qso.dxcc = std::stoi(std::string(dxcc));
    }
    qso.day = daysOfAdifDate(qso.date);
    const std::optional<std::int64_t> seconds = secondsOfAdifTime(qso.time);
    if (qso.day && seconds) {
        qso.start = *qso.day * 86400 + *seconds;
    }
    return qso;
}

Match matchCredit(const Credit& credit, const QsoList& qsos, const std::vector<std::size_t>& sameCall) {
    Match match;
    if (!credit.problem.empty()) {
        match.outcome = Outcome::Unreadable;
        return match;
    }
    if (sameCall.empty()) {
        match.outcome = Outcome::NoCall;
        return match;
    }
    // Each test narrows the QSOs; the first that leaves none gives the reason, naming the nearest
    // QSO that passed the tests before it.
    struct Step {
        Outcome failure;
        bool (*test)(const Credit&, const LogQso&);
    };
    static const Step steps[] = {
        {Outcome::OtherBand, [](const Credit& c, const LogQso& q) { return equalsIgnoreAsciiCase(q.band, c.band); }},
        {Outcome::OtherMode, [](const Credit& c, const LogQso& q) { return (q.groups & c.groups) != 0; }},
        {Outcome::OtherDxcc,
         [](const Credit& c, const LogQso& q) { return q.dxcc < 0 || c.dxcc == 0 || q.dxcc == c.dxcc; }},
        {Outcome::TooFar,
         [](const Credit& c, const LogQso& q) { return c.start ? distance(c, q) <= Window : q.day == c.day; }},
    };
    std::vector<std::size_t> candidates = sameCall;
    for (const Step& step : steps) {
        std::vector<std::size_t> kept = keep(candidates, qsos, [&](const LogQso& q) { return step.test(credit, q); });
        if (kept.empty()) {
            match.outcome = step.failure;
            match.qsos = {nearest(credit, qsos, candidates)};
            return match;
        }
        candidates = std::move(kept);
    }
    const std::int64_t best = distance(credit, qsos[nearest(credit, qsos, candidates)]);
    match.qsos = credit.start ? keep(candidates, qsos, [&](const LogQso& q) { return distance(credit, q) == best; })
                              : candidates;
    match.outcome = match.qsos.size() > 1                  ? Outcome::Ambiguous
                    : qsos[match.qsos[0]].creditUnreadable ? Outcome::Unmarkable
                                                           : Outcome::Matched;
    return match;
}

UnmatchedCredit explainUnmatched(const Credit& credit, const Match& match, const QsoList& qsos,
                                 const std::vector<std::size_t>& qsoLines) {
    UnmatchedCredit result{credit.lineNumber, std::string(credit.line), {}, {}, ": "};
    const bool withDxcc = match.outcome == Outcome::OtherDxcc;
    for (std::size_t index : match.qsos) {
        result.nearest += (result.nearest.empty() ? "" : "; ") + describeQso(qsos[index], qsoLines[index], withDxcc);
    }
    const LogQso* first = match.qsos.empty() ? nullptr : &qsos[match.qsos[0]];
    std::string& reason = result.reason;
    switch (match.outcome) {
    case Outcome::Unreadable:
        reason = credit.problem;
        break;
    case Outcome::NoCall:
        reason = "no QSO with " + credit.call + " in the log";
        break;
    case Outcome::OtherBand:
        reason = credit.call + " is in the log, but not on " + credit.band;
        result.link = "; nearest: ";
        break;
    case Outcome::OtherMode:
        reason = credit.call + " is in the log on " + credit.band + ", but not in the " +
                 std::string(groupName(credit.groups)) + " mode group";
        result.link = "; nearest: ";
        break;
    case Outcome::OtherDxcc:
        reason = "DXCC differs: the credit has " + std::to_string(credit.dxcc) + ", the nearest QSO " +
                 std::to_string(first->dxcc);
        break;
    case Outcome::TooFar:
        reason = howFar(credit, *first);
        break;
    case Outcome::Ambiguous:
        reason = "ambiguous, " + std::to_string(match.qsos.size()) +
                 (credit.start ? " QSOs equally near" : " QSOs on that date and the credit has no time");
        break;
    case Outcome::Unmarkable:
        reason = "the QSO's CREDIT_GRANTED is not a credit list (fix it in the logbook)";
        break;
    case Outcome::Matched:
        break;
    }
    return result;
}

std::string reportLine(const UnmatchedCredit& credit) {
    std::string text = "line " + std::to_string(credit.lineNumber) + " " + credit.line + ": " + credit.reason;
    if (!credit.nearest.empty()) {
        text += credit.link + credit.nearest;
    }
    return text;
}

} // namespace awardsync::mark
