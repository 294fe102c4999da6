// SPDX-License-Identifier: GPL-3.0-or-later
#include "matching.h"

#include "core/text.h"
#include "qso_time.h"

#include <algorithm>
#include <array>
#include <limits>

namespace awardsync::mark {

namespace {

constexpr std::int64_t Window = 30 * 60;
constexpr std::int64_t Unknown = std::numeric_limits<std::int64_t>::max() / 4;
constexpr std::int64_t NoDate = std::numeric_limits<std::int64_t>::max();

// The fields qsoOf reads, by the index fieldSlot gives.
enum Slot { SlotCall, SlotBand, SlotMode, SlotDxcc, SlotDate, SlotTime, SlotCredit, SlotFreq, SlotCount };

int fieldSlot(std::string_view name) {
    static constexpr std::array<std::string_view, SlotCount> names = {"CALL",     "BAND",    "MODE",           "DXCC",
                                                                      "QSO_DATE", "TIME_ON", "CREDIT_GRANTED", "FREQ"};
    for (std::size_t n = 0; n < names.size(); ++n) {
        if (name.size() == names[n].size() && asciiUpper(name[0]) == names[n][0] &&
            equalsIgnoreAsciiCase(name, names[n])) {
            return static_cast<int>(n);
        }
    }
    return -1;
}

// Where a QSO stands in its band's list: its start, or the start of its day when it has no time.
std::int64_t orderKey(const LogQso& qso) {
    return qso.has(LogQso::HasDay) ? qso.key : NoDate;
}

// The tests a QSO passes on its way to a match; the report names the first that no QSO passes.
bool passes(Outcome step, const Credit& c, const LogQso& q) {
    switch (step) {
    case Outcome::OtherMode:
        return (q.groups & c.groups) != 0;
    case Outcome::OtherDxcc:
        return q.dxcc < 0 || c.dxcc == 0 || q.dxcc == c.dxcc;
    default:
        return c.start ? distance(c, q) <= Window : q.day() == c.day;
    }
}

// The QSOs that fit every test: the nearest take the credit, or all of a date when the credit has no time.
Match decide(const Credit& credit, const QsoList& qsos, std::vector<std::size_t> fitting) {
    std::sort(fitting.begin(), fitting.end()); // log order
    if (credit.start) {
        std::int64_t best = Unknown;
        for (std::size_t index : fitting) {
            best = std::min(best, distance(credit, qsos[index]));
        }
        std::erase_if(fitting, [&](std::size_t index) { return distance(credit, qsos[index]) != best; });
    }
    Match match;
    match.count = fitting.size();
    fitting.resize(std::min(fitting.size(), NamedQsos));
    match.qsos = std::move(fitting);
    const LogQso& first = qsos[match.qsos[0]];
    match.outcome = match.count > 1                       ? Outcome::Ambiguous
                    : first.has(LogQso::CreditTwice)      ? Outcome::TwoCreditFields
                    : first.has(LogQso::CreditUnreadable) ? Outcome::Unmarkable
                                                          : Outcome::Matched;
    return match;
}

// The fitting QSOs of the credit's band, found by time.
std::vector<std::size_t> fittingInBand(const Credit& credit, const QsoList& qsos, const CallQsos& sameCall) {
    const auto band = std::find_if(sameCall.byBand.begin(), sameCall.byBand.end(),
                                   [&](const auto& entry) { return entry.first == credit.band; });
    if (band == sameCall.byBand.end()) {
        return {};
    }
    const std::vector<std::size_t>& list = band->second;
    const std::int64_t from = credit.start ? *credit.start - Window : credit.day * 86400;
    const std::int64_t to = credit.start ? *credit.start + Window : credit.day * 86400 + 86399;
    auto it = std::lower_bound(list.begin(), list.end(), from,
                               [&](std::size_t index, std::int64_t key) { return orderKey(qsos[index]) < key; });
    std::vector<std::size_t> fitting;
    for (; it != list.end() && orderKey(qsos[*it]) <= to; ++it) {
        const LogQso& qso = qsos[*it];
        if (passes(Outcome::OtherMode, credit, qso) && passes(Outcome::OtherDxcc, credit, qso) &&
            passes(Outcome::TooFar, credit, qso)) {
            fitting.push_back(*it);
        }
    }
    return fitting;
}

// A lower bound of a QSO's distance from the credit by its place in a band's list, never above the
// distance itself: the walk in nearestIn stops once it exceeds the best distance found.
std::int64_t keyDistance(const Credit& credit, std::int64_t key) {
    if (key == NoDate) {
        return NoDate;
    }
    if (credit.start) {
        return key > *credit.start ? key - *credit.start : *credit.start - key;
    }
    const std::int64_t day = key >= 0 ? key / 86400 : (key - 86399) / 86400;
    return (day > credit.day ? day - credit.day : credit.day - day) * 86400;
}

struct Nearest {
    std::size_t index = 0;
    std::int64_t distance = NoDate; // NoDate: none found
    void consider(std::size_t candidate, std::int64_t far) {
        if (far < distance || (far == distance && candidate < index)) {
            index = candidate;
            distance = far;
        }
    }
};

// The nearest QSO of a band's list that passes `test`, the first in log order among equally near ones,
// found by walking outward from the credit's time.
template <typename Test>
Nearest nearestIn(const Credit& credit, const QsoList& qsos, const std::vector<std::size_t>& list, Test test) {
    const std::int64_t key = credit.start ? *credit.start : credit.day * 86400;
    const auto begin = list.begin();
    auto right = std::lower_bound(begin, list.end(), key,
                                  [&](std::size_t index, std::int64_t k) { return orderKey(qsos[index]) < k; });
    auto left = right;
    Nearest best;
    while (left != begin || right != list.end()) {
        const std::int64_t leftFar = left != begin ? keyDistance(credit, orderKey(qsos[*(left - 1)])) : NoDate;
        const std::int64_t rightFar = right != list.end() ? keyDistance(credit, orderKey(qsos[*right])) : NoDate;
        const bool goLeft = left != begin && (right == list.end() || leftFar <= rightFar);
        if (std::min(leftFar, rightFar) > best.distance) {
            break;
        }
        const std::size_t index = goLeft ? *--left : *right++;
        if (test(qsos[index])) {
            best.consider(index, distance(credit, qsos[index]));
        }
    }
    return best;
}

Match missed(Outcome outcome, const Nearest& nearest) {
    return {outcome, {nearest.index}, 1};
}

// Why no QSO fits: the first test that none passes, and the nearest QSO that passed the tests before it.
Match explainMiss(const Credit& credit, const QsoList& qsos, const CallQsos& sameCall) {
    const auto all = [](const LogQso&) { return true; };
    const auto band = std::find_if(sameCall.byBand.begin(), sameCall.byBand.end(),
                                   [&](const auto& entry) { return entry.first == credit.band; });
    if (band == sameCall.byBand.end()) {
        Nearest nearest;
        for (const auto& [name, list] : sameCall.byBand) {
            const Nearest inBand = nearestIn(credit, qsos, list, all);
            nearest.consider(inBand.index, inBand.distance);
        }
        return missed(Outcome::OtherBand, nearest);
    }
    const auto mode = [&](const LogQso& q) { return passes(Outcome::OtherMode, credit, q); };
    const auto modeAndDxcc = [&](const LogQso& q) { return mode(q) && passes(Outcome::OtherDxcc, credit, q); };
    const Nearest withMode = nearestIn(credit, qsos, band->second, mode);
    if (withMode.distance == NoDate) {
        return missed(Outcome::OtherMode, nearestIn(credit, qsos, band->second, all));
    }
    const Nearest withDxcc = nearestIn(credit, qsos, band->second, modeAndDxcc);
    return withDxcc.distance == NoDate ? missed(Outcome::OtherDxcc, withMode) : missed(Outcome::TooFar, withDxcc);
}

} // namespace

const AdiFieldNames QsoFields = {"CALL", "BAND", "MODE", "DXCC", "QSO_DATE", "TIME_ON", "CREDIT_GRANTED", "FREQ"};

std::optional<std::int64_t> LogQso::day() const {
    if (!has(HasDay)) {
        return std::nullopt;
    }
    return key >= 0 ? key / 86400 : (key - 86399) / 86400;
}

std::int64_t distance(const Credit& credit, const LogQso& qso) {
    const std::optional<std::int64_t> start = qso.start();
    if (credit.start) {
        return start ? (*start > *credit.start ? *start - *credit.start : *credit.start - *start) : Unknown;
    }
    const std::optional<std::int64_t> day = qso.day();
    return day ? (*day > credit.day ? *day - credit.day : credit.day - *day) * 86400 : Unknown;
}

namespace {

// The texts of a record's QSO, the first field of each name counting, and what it says of its
// CREDIT_GRANTED fields: one pass over the fields, as this runs for every QSO whose call a credit names.
QsoDetail textsOf(const AdiRecord& record, std::string_view& dxcc, std::uint8_t& flags) {
    QsoDetail detail;
    detail.firstTag = record.fields.empty() ? record.eorBegin : record.fields.front().tagBegin;
    detail.eorBegin = record.eorBegin;
    std::array<std::string_view, SlotCount> values;
    std::array<bool, SlotCount> seen{};
    for (const AdiField& field : record.fields) {
        const int slot = fieldSlot(field.name);
        if (slot < 0) {
            continue;
        }
        if (slot == SlotCredit) {
            flags |= (flags & LogQso::HasCredit) != 0 ? LogQso::CreditTwice : 0;
            flags |= LogQso::HasCredit;
            detail.credit = field;
            // A credit list is ASCII; anything else is left for the user to fix, never rewritten.
            const bool unreadable = std::any_of(field.value.begin(), field.value.end(), [](char c) {
                return static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126;
            });
            flags = static_cast<std::uint8_t>(unreadable ? flags | LogQso::CreditUnreadable
                                                         : flags & ~LogQso::CreditUnreadable);
        } else if (!seen[static_cast<std::size_t>(slot)]) {
            seen[static_cast<std::size_t>(slot)] = true;
            values[static_cast<std::size_t>(slot)] = trimControl(field.value);
        }
    }
    detail.call = values[SlotCall];
    detail.band = values[SlotBand];
    detail.mode = values[SlotMode];
    detail.date = values[SlotDate];
    detail.time = values[SlotTime];
    if (detail.band.empty()) {
        detail.band = bandOfFrequency(values[SlotFreq]).value_or(std::string_view());
    }
    dxcc = values[SlotDxcc];
    return detail;
}

} // namespace

LogQso qsoOf(const AdiRecord& record, AdiLengthUnit unit, QsoDetail& detail) {
    LogQso qso;
    qso.begin = record.begin;
    qso.end = record.end;
    qso.flags = unit == AdiLengthUnit::Characters ? LogQso::ReadInCharacters : 0;
    std::string_view dxcc;
    detail = textsOf(record, dxcc, qso.flags);
    qso.groups = static_cast<std::uint8_t>(modeGroupsOf(detail.mode));
    if (const std::optional<int> number = entityNumber(dxcc)) {
        qso.dxcc = *number;
    }
    const std::optional<std::int64_t> day = daysOfAdifDate(detail.date);
    const std::optional<std::int64_t> seconds = secondsOfAdifTime(detail.time);
    if (day) {
        qso.flags |= LogQso::HasDay;
        qso.key = *day * 86400;
        if (seconds) {
            qso.flags |= LogQso::HasStart;
            qso.key += *seconds;
        }
    }
    return qso;
}

QsoDetail detailOf(const LogQso& qso, std::string_view log) {
    QsoDetail detail;
    const AdiLengthUnit unit = qso.has(LogQso::ReadInCharacters) ? AdiLengthUnit::Characters : AdiLengthUnit::Bytes;
    readAdiRecordAgain(
        log, qso.begin, unit,
        [&](const AdiRecord& record) {
            std::string_view dxcc;
            std::uint8_t flags = 0;
            detail = textsOf(record, dxcc, flags);
            return false;
        },
        QsoFields);
    return detail;
}

void addToBand(CallQsos& call, std::string_view band, std::size_t qso) {
    const std::string upper = asciiUpper(band);
    auto it =
        std::find_if(call.byBand.begin(), call.byBand.end(), [&](const auto& pair) { return pair.first == upper; });
    if (it == call.byBand.end()) {
        it = call.byBand.insert(call.byBand.end(), {upper, {}});
    }
    it->second.push_back(qso);
}

void sortByBandAndTime(QsoIndex& index, const QsoList& qsos) {
    for (auto& [call, entry] : index) {
        for (auto& [band, list] : entry.byBand) {
            // In log order already: the index breaks ties as a stable sort would, with no buffer.
            std::sort(list.begin(), list.end(), [&](std::size_t a, std::size_t b) {
                const std::int64_t keyA = orderKey(qsos[a]), keyB = orderKey(qsos[b]);
                return keyA != keyB ? keyA < keyB : a < b;
            });
        }
    }
}

Match matchCredit(const Credit& credit, const QsoList& qsos, const CallQsos* sameCall) {
    Match match;
    if (!credit.problem.empty()) {
        match.outcome = Outcome::Unreadable;
        return match;
    }
    if (sameCall == nullptr || sameCall->byBand.empty()) {
        match.outcome = Outcome::NoCall;
        return match;
    }
    std::vector<std::size_t> fitting = fittingInBand(credit, qsos, *sameCall);
    return fitting.empty() ? explainMiss(credit, qsos, *sameCall) : decide(credit, qsos, std::move(fitting));
}

} // namespace awardsync::mark
