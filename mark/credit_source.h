// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The credits awardsync-mark puts into a log, read from one of the forms it knows: a records file
// (one line per credited QSO), or an ADI file whose records carry CREDIT_GRANTED (our credits file,
// the service's DXCC QSL Card Report).
#include "records/adif_enums.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync::mark {

// One item of a CREDIT_GRANTED list: the credit and the media that confirm it.
struct CreditItem {
    std::string name;               // upper case: DXCC, DXCC_BAND, DXCC_MODE, DXCC_SATELLITE, or another credit
    std::vector<std::string> media; // upper case: LOTW, CARD, EQSL...; empty when the source gives none
};

// How a records-file line is confirmed; an ADI credit takes LoTW when an item names it, else card
// when one names that, else Unstated (the QSL Card Report gives no media).
enum class CreditKind : std::uint8_t { Lotw, Card, Unstated };

// One credited QSO of the source and what it grants, in 48 bytes: a records file may hold millions of lines.
// The call, band and mode are read from the line itself where their bytes stand there; what a line cannot
// give (an upper-case copy, a problem, an ADI record's description and items) is kept beside it, for the few
// credits that have it. The views point into the bytes given to readCreditSource.
class Credit {
public:
    Credit() = default;
    Credit(const Credit& other);
    Credit& operator=(const Credit& other);
    Credit(Credit&&) noexcept = default;
    Credit& operator=(Credit&&) noexcept = default;
    ~Credit();

    std::int64_t day = 0;         // days since 1970
    std::uint32_t lineNumber = 0; // records file: the line; ADI: the record's number
    std::int32_t dxcc = 0;        // 0: unknown
    std::uint8_t groups = AnyGroup;
    CreditKind kind = CreditKind::Lotw;

    // Records file: the line without its end; ADI: the record's bytes as written.
    std::string_view line() const { return {line_, lineSize_}; }
    void setLine(std::string_view line);
    std::string_view call() const; // trimmed, upper case
    std::string_view band() const; // trimmed, upper case
    std::string_view mode() const; // the mode or mode group as the source gives it
    // Sets the three texts; those whose bytes the line holds are kept as places in it.
    void setTexts(std::string_view call, std::string_view band, std::string_view mode);
    // Seconds since 1970, when the source has a time.
    std::optional<std::int64_t> start() const {
        return seconds_ < 0 ? std::nullopt : std::optional(day * 86400 + seconds_);
    }
    void setSecondsOfDay(std::int32_t seconds) { seconds_ = seconds; }

    // Why the credit cannot be used; empty when it can.
    const std::string& problem() const;
    void setProblem(std::string problem);
    // ADI: how the report names it (call, date, time, band and mode); else empty.
    const std::string& described() const;
    void setDescribed(std::string described);
    // ADI: the record's items; a records-file line: empty (see granted()).
    const std::vector<CreditItem>& items() const;
    void setItems(std::vector<CreditItem> items);

    // How the report names the credit: a records-file line by itself.
    std::string_view name() const { return described().empty() ? line() : std::string_view(described()); }
    // What the credit grants: a readable records-file line one item DXCC with LOTW or CARD.
    const std::vector<CreditItem>& granted() const;

private:
    struct Beside;
    Beside& beside();

    // In this order beside the public members, so that nothing is padded. Where call, band and mode stand in
    // the line, when they are kept there.
    std::uint8_t callAt_ = 0, callSize_ = 0, bandAt_ = 0, bandSize_ = 0, modeAt_ = 0, modeSize_ = 0;
    std::uint32_t lineSize_ = 0;
    std::int32_t seconds_ = -1; // of the day; -1: no time
    const char* line_ = nullptr;
    std::unique_ptr<Beside> beside_; // null for a readable records-file line of upper-case texts
};

static_assert(sizeof(Credit) <= 48, "a records file's credit costs its bytes millions of times over");

enum class CreditSourceKind { RecordsFile, Adi };

// The credits in source order. The views point into the bytes given to readCreditSource.
struct CreditSource {
    CreditSourceKind kind = CreditSourceKind::RecordsFile;
    std::vector<Credit> credits;
    std::string_view header; // ADI: the bytes before the first record (the header); empty for a records file
    std::string_view tail;   // ADI: the bytes after the last record (line end, trailer)
    // ADI: the header's CREATED_TIMESTAMP as written ("YYYYMMDD HHMMSS" in our credits file); empty when the
    // header has none, and for a records file, which has no header.
    std::string_view created;
    // ADI: "NAME: record N: ..." for each record that is not used because its lengths cannot be trusted.
    std::vector<std::string> warnings;
};

// The value of the header field `name` (letter case ignored) in an ADI header, or empty.
std::string_view adiHeaderValue(std::string_view header, std::string_view name);

// Which form `bytes` has, by content: a records file when a line reads as a record line, ADI when
// it holds an <EOR> tag, else a records file when a line holds a "|" or nothing but blank lines is
// there, else nothing.
std::optional<CreditSourceKind> creditSourceKindOf(std::string_view bytes);

// Reads the credits of a records file or of an ADI credit source; `name` names the file in errors.
// Raises Error for anything else (an empty file, or one of only blanks, line ends or a byte-order mark,
// among it), saying which forms are read, and for ADI that cannot be read.
CreditSource readCreditSource(std::string_view bytes, const std::string& name);

// Calls `each(line)` for every line of a records file's bytes, without its end: LF, CR LF and a lone CR each
// end one.
void forEachRecordsLine(std::string_view text, const std::function<void(std::string_view)>& each);

// The items of a CREDIT_GRANTED value, names and media upper case, empty names and media left out.
std::vector<CreditItem> creditItemsOf(std::string_view list);

} // namespace awardsync::mark
