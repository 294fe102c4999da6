// SPDX-License-Identifier: GPL-3.0-or-later
#include "report.h"

#include "core/text.h"

#include <algorithm>

namespace awardsync::mark {

namespace {

std::string dateOf(std::string_view date) {
    if (date.size() == 8) {
        return std::string(date.substr(0, 4)) + "-" + std::string(date.substr(4, 2)) + "-" +
               std::string(date.substr(6, 2));
    }
    return date.empty() ? "(no date)" : echoed(date);
}

std::string timeOf(std::string_view time) {
    if (time.size() == 4 || time.size() == 6) {
        return std::string(time.substr(0, 2)) + ":" + std::string(time.substr(2, 2)) +
               (time.size() == 6 ? ":" + std::string(time.substr(4, 2)) : std::string());
    }
    return time.empty() ? "(no time)" : echoed(time);
}

std::string describeQso(const LogQso& qso, const ShownQso& named, bool withDxcc) {
    const QsoDetail& d = named.detail;
    std::string text = describeQsoValues(d.call, d.date, d.time, d.band, d.mode, false);
    if (withDxcc) {
        text += " DXCC " + std::to_string(qso.dxcc);
    }
    return text + " (log line " + std::to_string(named.line) + ")";
}

std::string howFar(const Credit& credit, const LogQso& qso) {
    if (!qso.has(LogQso::HasDay) || (credit.start() && !qso.has(LogQso::HasStart))) {
        return "the nearest QSO has no valid QSO_DATE or TIME_ON";
    }
    const std::int64_t seconds = distance(credit, qso);
    if (!credit.start() || seconds >= 86400) {
        return "the nearest QSO is on another date";
    }
    const std::int64_t minutes = (seconds + 59) / 60;
    std::string text = "the nearest QSO is ";
    text += std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
    return text + (qso.key() < *credit.start() ? " earlier" : " later");
}

std::string reasonFor(const Credit& credit, const Match& match, const QsoList& qsos, std::string& link) {
    const std::string call = echoed(credit.call());
    const std::string band = echoed(credit.band());
    switch (match.outcome) {
    case Outcome::Unreadable:
        return credit.problem();
    case Outcome::NoCall:
        return "no QSO with " + call + " in the log";
    case Outcome::OtherBand:
        link = "; nearest: ";
        return call + " is in the log, but not on " + band;
    case Outcome::OtherMode:
        link = "; nearest: ";
        return call + " is in the log on " + band + ", but not in the " + std::string(groupName(credit.groups)) +
               " mode group";
    case Outcome::OtherDxcc:
        return "DXCC differs: the credit has " + std::to_string(credit.dxcc) + ", the nearest QSO " +
               std::to_string(qsos[match.qsos[0]].dxcc);
    case Outcome::TooFar:
        return howFar(credit, qsos[match.qsos[0]]);
    case Outcome::Ambiguous:
        return "ambiguous, " + std::to_string(match.count) +
               (credit.start() ? " QSOs equally near" : " QSOs on that date and the credit has no time");
    case Outcome::Unmarkable:
        return "the QSO's CREDIT_GRANTED is not a credit list (fix it in the logbook)";
    case Outcome::TwoCreditFields:
        return "the QSO has two CREDIT_GRANTED fields (fix it in the logbook)";
    case Outcome::Matched:
        break;
    }
    return {};
}

} // namespace

std::string echoed(std::string_view text) {
    if (text.size() <= EchoLimit) {
        return std::string(text);
    }
    std::size_t cut = EchoLimit;
    while (cut > 0 && isUtf8Continuation(text[cut])) {
        --cut; // never inside a character
    }
    return std::string(text.substr(0, cut)) + "...";
}

std::string describeQsoValues(std::string_view call, std::string_view date, std::string_view time,
                              std::string_view band, std::string_view mode, bool timeOptional) {
    std::string text = echoed(call) + ' ' + dateOf(date);
    if (!timeOptional || !time.empty()) {
        text += ' ' + timeOf(time);
    }
    text += ' ' + (band.empty() ? std::string("(no band)") : echoed(band));
    return text + ' ' + (mode.empty() ? std::string("(no mode)") : echoed(mode));
}

UnmatchedCredit explainUnmatched(const Credit& credit, const Match& match, const QsoList& qsos, const ShownQsos& named,
                                 bool adiRecord) {
    UnmatchedCredit result{credit.lineNumber, echoed(credit.name()), {}, {}, ": ", adiRecord};
    const bool withDxcc = match.outcome == Outcome::OtherDxcc;
    for (std::size_t index : match.qsos) {
        result.nearest += (result.nearest.empty() ? "" : "; ") + describeQso(qsos[index], named.at(index), withDxcc);
    }
    if (match.count > match.qsos.size()) {
        result.nearest += " and " + std::to_string(match.count - match.qsos.size()) + " more";
    }
    result.reason = reasonFor(credit, match, qsos, result.link);
    return result;
}

std::string reportLine(const UnmatchedCredit& credit) {
    std::string text = (credit.adiRecord ? "record " : "line ") + std::to_string(credit.lineNumber) + " " +
                       credit.line + ": " + credit.reason;
    if (!credit.nearest.empty()) {
        text += credit.link + credit.nearest;
    }
    return text;
}

UnmatchedCredits::Entry UnmatchedCredits::entryOf(std::size_t credit, const Match& match) {
    Entry entry;
    entry.credit = static_cast<std::uint32_t>(credit);
    entry.outcome = match.outcome;
    entry.count = static_cast<std::uint32_t>(match.count);
    entry.named = static_cast<std::uint8_t>(std::min(match.qsos.size(), NamedQsos));
    for (std::size_t i = 0; i < entry.named; ++i) {
        entry.qsos[i] = static_cast<std::uint32_t>(match.qsos[i]);
    }
    return entry;
}

const std::vector<Credit>& UnmatchedCredits::credits() const {
    static const std::vector<Credit> None;
    return sources_ ? sources_->credits : None;
}

UnmatchedCredit UnmatchedCredits::operator[](std::size_t i) const {
    const Entry& entry = sources_->entries[i];
    Match match{entry.outcome, std::vector<std::size_t>(entry.qsos.begin(), entry.qsos.begin() + entry.named),
                entry.count};
    return explainUnmatched(sources_->credits[entry.credit], match, sources_->qsos, sources_->named,
                            sources_->adiRecords);
}

} // namespace awardsync::mark
