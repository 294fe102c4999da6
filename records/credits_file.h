// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync {

// The ADIF standard's version the credits file follows.
inline constexpr std::string_view CreditsAdifVersion = "3.1.4";

// One QSO of the credits file: its record line and what the categories that listed it grant.
struct CreditsRecord {
    std::string_view line;
    std::vector<std::string_view> credits; // names of the standard's Credit enumeration, in writing order
    std::vector<std::string_view> awards;  // the categories' award ids, in table order
    std::string_view address = {};         // the QSO's detail page
    std::string_view pageLine = {};        // the line as the page gave it, PHONE not yet written as SSB
};

// Whose credits the file holds: the next run takes QSOs from it only for the same service, user
// and account.
struct CreditsOwner {
    std::string service; // the service's scheme and host
    std::string user;
    int account = 0;
};

struct CreditsHeader {
    CreditsOwner owner;
    std::string_view programVersion;
    QDateTime created;
};

// What a later run takes from a credits file: a QSO's detail page address, its line as the page
// gave it and the award ids of the categories that listed it.
struct KnownCredit {
    std::string address;
    std::string pageLine;
    std::vector<std::string> awards;
};

struct KnownCredits {
    CreditsOwner owner;
    std::vector<KnownCredit> credits; // only records with an address and a line
};

// Reads what creditsFileContent wrote; records of an earlier version (without an address or a
// line) and anything that is not a field are passed over.
KnownCredits readKnownCredits(std::string_view bytes);

// The credits file as ADI bytes, CR LF line ends: a line of free text, the header fields, then one
// record per QSO: CALL, QSO_DATE, TIME_ON, BAND, MODE (only a mode of the standard's Mode
// enumeration), APP_AWARDSYNC_MODEGROUP, DXCC (without leading zeros), CREDIT_GRANTED (each credit
// with the line's medium, LOTW or CARD), APP_AWARDSYNC_AWARDS, APP_AWARDSYNC_QSO_URL and
// APP_AWARDSYNC_RECORD (the address and the page's line, for the next run). A field whose value the line does
// not give in a readable form (no time, entity 000, a date that is not YYYY/MM/DD) is left out; a
// line that is not a record line gives no record. Lengths count bytes.
std::string creditsFileContent(const CreditsHeader& header, const std::vector<CreditsRecord>& records);

// The credits file beside a records file: "awardsync.txt" gives "awardsync-credits.adi".
std::string creditsFilePath(const std::string& recordsPath);

// Saves the credits file as saveLinesToFile saves the records file, with the same errors.
void saveCreditsFile(const CreditsHeader& header, const std::vector<CreditsRecord>& records, const std::string& path);

} // namespace awardsync
