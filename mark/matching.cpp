// SPDX-License-Identifier: GPL-3.0-or-later
#include "matching.h"

#include "core/text.h"
#include "qso_time.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <map>
#include <tuple>

namespace awardsync::mark {

namespace {

constexpr std::int64_t Window = 30 * 60;
constexpr std::int64_t Unknown = std::numeric_limits<std::int64_t>::max() / 4;
constexpr std::int64_t NoDate = std::numeric_limits<std::int64_t>::max();

// The fields qsoOf reads, by their index in SlotNames.
enum Slot { SlotCall, SlotBand, SlotMode, SlotDxcc, SlotDate, SlotTime, SlotCredit, SlotFreq, SlotCount };
constexpr std::array<std::string_view, SlotCount> SlotNames = {"CALL",     "BAND",    "MODE",           "DXCC",
                                                               "QSO_DATE", "TIME_ON", "CREDIT_GRANTED", "FREQ"};

// The day of a time in seconds since 1970, rounded down.
std::int64_t dayOf(std::int64_t seconds) {
    return seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
}

// Where a QSO stands in its band's list: its start, or the start of its day when it has no time.
std::int64_t orderKey(const LogQso& qso) {
    return qso.has(LogQso::HasDay) ? qso.key() : NoDate;
}

// What matching sees of a QSO: its time (and whether it has one), mode groups and DXCC. A band's list is
// sorted by it, so QSOs alike stand together and a run of them is matched and explained as one.
std::tuple<std::int64_t, bool, std::uint8_t, std::int32_t> alikeKey(const LogQso& qso) {
    return {orderKey(qso), qso.has(LogQso::HasStart), qso.groups, qso.dxcc};
}

// How many of `count` QSOs in a row are alike the first (alikeAt(d): the one d places on is), galloping:
// a run of one costs one test, a run of thousands a few dozen.
template <typename AlikeAt> std::size_t runLength(std::size_t count, AlikeAt alikeAt) {
    std::size_t inside = 0, outside = count, step = 1; // alikeAt(inside); outside == count or !alikeAt(outside)
    while (inside + step < count) {
        if (!alikeAt(inside + step)) {
            outside = inside + step;
            break;
        }
        inside += step;
        step *= 2;
    }
    while (outside - inside > 1) {
        const std::size_t middle = inside + (outside - inside) / 2;
        (alikeAt(middle) ? inside : outside) = middle;
    }
    return outside;
}

// The QSOs a walk steps over, in the order of their band's list: all of the list, or one part of it (the
// QSOs of one kind, as offsets from the list's first).
struct Walk {
    std::size_t first = 0, size = 0;
    const std::uint32_t* offsets = nullptr; // none: every QSO of the list
    std::size_t operator[](std::size_t place) const { return first + (offsets != nullptr ? offsets[place] : place); }
};

Walk wholeList(const BandQsos& list) {
    return {list.first, list.last - list.first, nullptr};
}

// The end of the run of QSOs alike the one at `place`, at most `last`.
std::size_t runEnd(const QsoList& qsos, const Walk& walk, std::size_t place, std::size_t last) {
    const auto key = alikeKey(qsos[walk[place]]);
    return place + runLength(last - place, [&](std::size_t d) { return alikeKey(qsos[walk[place + d]]) == key; });
}

// The start of the run of QSOs alike the one at `place`, at least `first`.
std::size_t runStart(const QsoList& qsos, const Walk& walk, std::size_t place, std::size_t first) {
    const auto key = alikeKey(qsos[walk[place]]);
    return place + 1 -
           runLength(place - first + 1, [&](std::size_t d) { return alikeKey(qsos[walk[place - d]]) == key; });
}

// The list of a band that the call's credits name, or the list of the other bands.
std::vector<BandQsos>::const_iterator listOf(const CallQsos& call, std::string_view band) {
    const auto others = call.byBand.end() - 1;
    const auto it = std::lower_bound(call.byBand.begin(), others, band,
                                     [](const BandQsos& list, std::string_view b) { return list.band < b; });
    return it != others && it->band == band ? it : others;
}

// The QSOs of a credit's band, or nullptr when the log has none.
const BandQsos* bandOf(const CallQsos& call, std::string_view band) {
    const auto it = listOf(call, band);
    return it->band == band && it->list != BandQsos::NoList ? &*it : nullptr;
}

// Where the walk's QSOs from time `key` on begin: a place in the walk.
std::size_t firstFrom(const QsoList& qsos, const Walk& walk, std::int64_t key) {
    // A binary search by hand: clang's fuzzing build cannot compile this library's std::views::iota.
    std::size_t low = 0, high = walk.size;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (orderKey(qsos[walk[middle]]) < key) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// The tests a QSO passes on its way to a match; the report names the first that no QSO passes.
bool passes(Outcome step, const Credit& c, const LogQso& q) {
    switch (step) {
    case Outcome::OtherMode:
        return (q.groups & c.groups) != 0;
    case Outcome::OtherDxcc:
        return q.dxcc < 0 || c.dxcc == 0 || q.dxcc == c.dxcc;
    default:
        return c.start() ? distance(c, q) <= Window : q.day() == c.day;
    }
}

// The QSOs of the credit's band that fit every test, found by time: the nearest take the credit, or all
// of the date when the credit has no time. One pass that counts them and keeps the first NamedQsos in
// log order, so that thousands of equal QSOs cost neither a list nor a sort per credit.
Match fittingInBand(const Credit& credit, const QsoList& qsos, const CallQsos& sameCall) {
    Match match;
    const BandQsos* list = bandOf(sameCall, credit.band());
    if (list == nullptr) {
        return match;
    }
    const std::int64_t from = credit.start() ? *credit.start() - Window : credit.day * 86400;
    const std::int64_t to = credit.start() ? *credit.start() + Window : credit.day * 86400 + 86399;
    std::int64_t best = NoDate;
    std::vector<std::pair<std::uint64_t, std::size_t>> named; // the first in log order: place, index
    const Walk walk = wholeList(*list);
    for (std::size_t i = list->first + firstFrom(qsos, walk, from), end = 0; i < list->last && orderKey(qsos[i]) <= to;
         i = end) {
        end = list->first + runEnd(qsos, walk, i - list->first, walk.size);
        const LogQso& qso = qsos[i];
        if (!passes(Outcome::OtherMode, credit, qso) || !passes(Outcome::OtherDxcc, credit, qso) ||
            !passes(Outcome::TooFar, credit, qso)) {
            continue;
        }
        const std::int64_t far = credit.start() ? distance(credit, qso) : 0;
        if (far < best) {
            best = far;
            named.clear();
            match.count = 0;
        }
        if (far == best) {
            match.count += end - i;
            for (std::size_t j = i; j < std::min(end, i + NamedQsos); ++j) { // a run is in log order
                const std::pair place(qsos[j].begin(), j);
                if (named.size() < NamedQsos || place < named.back()) {
                    named.insert(std::upper_bound(named.begin(), named.end(), place), place);
                    named.resize(std::min(named.size(), NamedQsos));
                }
            }
        }
    }
    for (const auto& [place, index] : named) {
        match.qsos.push_back(index);
    }
    if (match.count > 0) {
        const LogQso& first = qsos[match.qsos[0]];
        match.outcome = match.count > 1                       ? Outcome::Ambiguous
                        : first.has(LogQso::CreditTwice)      ? Outcome::TwoCreditFields
                        : first.has(LogQso::CreditUnreadable) ? Outcome::Unmarkable
                                                              : Outcome::Matched;
    }
    return match;
}

// A lower bound of a QSO's distance from the credit by its place in a band's list, never above the
// distance itself: the walk in nearestIn stops once it exceeds the best distance found.
std::int64_t keyDistance(const Credit& credit, std::int64_t key) {
    if (key == NoDate) {
        return NoDate;
    }
    if (credit.start()) {
        return key > *credit.start() ? key - *credit.start() : *credit.start() - key;
    }
    const std::int64_t day = dayOf(key);
    return (day > credit.day ? day - credit.day : credit.day - day) * 86400;
}

struct Nearest {
    std::size_t index = 0;
    std::uint64_t begin = std::numeric_limits<std::uint64_t>::max(); // its place in the log
    std::int64_t distance = NoDate;                                  // NoDate: none found
    void consider(const Nearest& other) {
        if (other.distance < distance || (other.distance == distance && other.begin < begin)) {
            *this = other;
        }
    }
};

// The nearest QSO of the walk that passes `test`, the first in log order among equally near ones, found
// by walking outward from the credit's time.
template <typename Test> Nearest nearestIn(const Credit& credit, const QsoList& qsos, const Walk& walk, Test test) {
    std::size_t right = firstFrom(qsos, walk, credit.start() ? *credit.start() : credit.day * 86400);
    std::size_t left = right;
    Nearest best;
    while (left != 0 || right != walk.size) {
        const std::int64_t leftFar = left != 0 ? keyDistance(credit, orderKey(qsos[walk[left - 1]])) : NoDate;
        const std::int64_t rightFar = right != walk.size ? keyDistance(credit, orderKey(qsos[walk[right]])) : NoDate;
        const bool goLeft = left != 0 && (right == walk.size || leftFar <= rightFar);
        if (std::min(leftFar, rightFar) > best.distance) {
            break;
        }
        // A run of alike QSOs is tested once, by its first in log order.
        const std::size_t place = goLeft ? runStart(qsos, walk, left - 1, 0) : right;
        (goLeft ? left : right) = goLeft ? place : runEnd(qsos, walk, right, walk.size);
        const std::size_t index = walk[place];
        if (test(qsos[index])) {
            best.consider({index, qsos[index].begin(), distance(credit, qsos[index])});
        }
    }
    return best;
}

Match missed(Outcome outcome, const Nearest& nearest) {
    return {outcome, {nearest.index}, 1};
}

// Below this many QSOs a band's list is walked as it is; above it, split into kinds first.
constexpr std::size_t KindsFrom = 64;

// The nearest QSO of a band's list that passes a test of its mode groups and DXCC alone. A long list is
// walked kind by kind (QSOs of one mode groups and DXCC), and only the kinds that pass: a credit whose mode
// no QSO of 300,000 has costs a test per kind, not a walk over the 300,000.
template <typename Test>
Nearest nearestOfKind(const Credit& credit, const QsoList& qsos, const BandQsos& list, ExplainCache* cache, Test test) {
    if (cache == nullptr || list.last - list.first < KindsFrom) {
        return nearestIn(credit, qsos, wholeList(list), test);
    }
    Nearest best;
    for (const ExplainCache::Kind& kind : cache->kindsOf(list, qsos)) {
        if (test(qsos[list.first + kind.offsets.front()])) {
            best.consider(nearestIn(credit, qsos, {list.first, kind.offsets.size(), kind.offsets.data()},
                                    [](const LogQso&) { return true; }));
        }
    }
    return best;
}

// Why no QSO fits: the first test that none passes, and the nearest QSO that passed the tests before it.
Match explainMiss(const Credit& credit, const QsoList& qsos, const CallQsos& sameCall, ExplainCache* cache) {
    const auto all = [](const LogQso&) { return true; };
    const BandQsos* band = bandOf(sameCall, credit.band());
    if (band == nullptr) {
        Nearest nearest;
        for (const BandQsos& list : sameCall.byBand) {
            nearest.consider(nearestIn(credit, qsos, wholeList(list), all));
        }
        return missed(Outcome::OtherBand, nearest);
    }
    const auto mode = [&](const LogQso& q) { return passes(Outcome::OtherMode, credit, q); };
    const auto modeAndDxcc = [&](const LogQso& q) { return mode(q) && passes(Outcome::OtherDxcc, credit, q); };
    const Nearest withMode = nearestOfKind(credit, qsos, *band, cache, mode);
    if (withMode.distance == NoDate) {
        return missed(Outcome::OtherMode, nearestIn(credit, qsos, wholeList(*band), all));
    }
    const Nearest withDxcc = nearestOfKind(credit, qsos, *band, cache, modeAndDxcc);
    return withDxcc.distance == NoDate ? missed(Outcome::OtherDxcc, withMode) : missed(Outcome::TooFar, withDxcc);
}

} // namespace

const AdiFieldNames QsoFields(SlotNames.begin(), SlotNames.end());

std::optional<std::int64_t> LogQso::day() const {
    if (!has(HasDay)) {
        return std::nullopt;
    }
    return dayOf(key());
}

void LogQso::setBegin(std::uint64_t begin) {
    beginLow_ = static_cast<std::uint32_t>(begin);
    beginHigh_ = static_cast<std::uint8_t>(begin >> 32);
}

void LogQso::setKey(std::int64_t key) {
    keyLow_ = static_cast<std::uint32_t>(key);
    keyHigh_ = static_cast<std::int8_t>(key >> 32);
}

std::int64_t distance(const Credit& credit, const LogQso& qso) {
    const std::optional<std::int64_t> start = qso.start();
    if (credit.start()) {
        return start ? (*start > *credit.start() ? *start - *credit.start() : *credit.start() - *start) : Unknown;
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
    detail.end = record.end;
    std::array<std::string_view, SlotCount> values;
    std::array<bool, SlotCount> seen{};
    for (const AdiField& field : record.fields) {
        const int slot = fieldNameIndex(field.name, SlotNames);
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
    qso.setBegin(record.begin);
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
        qso.flags |= LogQso::HasDay | (seconds ? LogQso::HasStart : 0);
        qso.setKey(*day * 86400 + (seconds ? *seconds : 0));
    }
    return qso;
}

QsoDetail detailOf(const LogQso& qso, std::string_view log) {
    QsoDetail detail;
    const AdiLengthUnit unit = qso.has(LogQso::ReadInCharacters) ? AdiLengthUnit::Characters : AdiLengthUnit::Bytes;
    readAdiRecordAgain(
        log, qso.begin(), unit,
        [&](const AdiRecord& record) {
            std::string_view dxcc;
            std::uint8_t flags = 0;
            detail = textsOf(record, dxcc, flags);
            return false;
        },
        QsoFields);
    return detail;
}

namespace {

// A call's bands sorted, each once.
void sortBands(std::vector<BandQsos>& bands) {
    std::sort(bands.begin(), bands.end(), [](const BandQsos& a, const BandQsos& b) { return a.band < b.band; });
    bands.erase(
        std::unique(bands.begin(), bands.end(), [](const BandQsos& a, const BandQsos& b) { return a.band == b.band; }),
        bands.end());
}

} // namespace

QsoIndex indexOfCredits(const std::vector<Credit>& credits) {
    QsoIndex index;
    for (const Credit& credit : credits) {
        if (!credit.problem().empty()) {
            continue;
        }
        // Millions of credits name a few bands over and over: a full list is made unique before it grows, so
        // that it stays within twice the bands it names.
        std::vector<BandQsos>& bands = index.try_emplace(std::string(credit.call())).first->second.byBand;
        if (bands.size() == bands.capacity() && bands.size() >= 8) {
            sortBands(bands);
            if (bands.size() > bands.capacity() / 2) {
                bands.reserve(bands.capacity() * 2);
            }
        }
        bands.push_back({std::string(credit.band())});
    }
    for (auto& [call, entry] : index) {
        sortBands(entry.byBand);
        std::vector<BandQsos> bands;
        bands.reserve(entry.byBand.size() + 1);
        std::move(entry.byBand.begin(), entry.byBand.end(), std::back_inserter(bands));
        bands.push_back({}); // the other bands
        entry.byBand = std::move(bands);
    }
    return index;
}

void addToBand(CallQsos& call, std::string_view band, LogQso& qso, std::uint32_t& lists) {
    BandQsos& list = call.byBand[static_cast<std::size_t>(listOf(call, asciiUpper(band)) - call.byBand.begin())];
    if (list.list == BandQsos::NoList) {
        list.list = lists++;
    }
    call.anyQso = true;
    qso.list = list.list;
}

void sortIntoLists(QsoIndex& index, QsoList& qsos, std::uint32_t lists) {
    std::sort(qsos.begin(), qsos.end(), [](const LogQso& a, const LogQso& b) {
        if (a.list != b.list) {
            return a.list < b.list;
        }
        const auto keyA = alikeKey(a), keyB = alikeKey(b);
        return keyA != keyB ? keyA < keyB : a.begin() < b.begin();
    });
    // Every list holds a QSO, so list L runs from the first QSO of L to the first of L + 1.
    std::vector<std::size_t> firstOf(std::size_t{lists} + 1, qsos.size());
    for (std::size_t i = qsos.size(); i-- > 0;) {
        firstOf[qsos[i].list] = i;
    }
    for (auto& [call, entry] : index) {
        for (BandQsos& list : entry.byBand) {
            if (list.list != BandQsos::NoList) {
                list.first = firstOf[list.list];
                list.last = firstOf[list.list + 1];
            }
        }
    }
}

bool matchedAlike(const Credit& a, const Credit& b) {
    return a.problem().empty() && b.problem().empty() && a.call() == b.call() && a.band() == b.band() &&
           a.start() == b.start() && a.day == b.day && a.groups == b.groups && a.dxcc == b.dxcc;
}

const std::vector<ExplainCache::Kind>& ExplainCache::kindsOf(const BandQsos& list, const QsoList& qsos) {
    std::vector<Kind>& kinds = byList_[list.list];
    if (kinds.empty()) {
        std::map<std::pair<std::uint8_t, std::int32_t>, std::size_t> kindOf;
        for (std::size_t i = list.first; i < list.last; ++i) {
            const auto [it, added] = kindOf.try_emplace({qsos[i].groups, qsos[i].dxcc}, kinds.size());
            if (added) {
                kinds.emplace_back();
            }
            kinds[it->second].offsets.push_back(static_cast<std::uint32_t>(i - list.first));
        }
    }
    return kinds;
}

Match matchCredit(const Credit& credit, const QsoList& qsos, const CallQsos* sameCall, ExplainCache* cache) {
    Match match;
    if (!credit.problem().empty()) {
        match.outcome = Outcome::Unreadable;
        return match;
    }
    if (sameCall == nullptr || !sameCall->anyQso) {
        match.outcome = Outcome::NoCall;
        return match;
    }
    Match fitting = fittingInBand(credit, qsos, *sameCall);
    return fitting.count == 0 ? explainMiss(credit, qsos, *sameCall, cache) : fitting;
}

} // namespace awardsync::mark
