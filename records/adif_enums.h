// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program knows of the ADIF standard's enumerations (version 3.1.4): the mode groups the
// service credits by, the Mode enumeration, the Band enumeration's frequency ranges, and the Credit and
// QSL Medium enumerations that a CREDIT_GRANTED list is made of. Both
// programs and the stand-in service read them from here.
#include <optional>
#include <string_view>

namespace awardsync {

// Mode groups as the service groups modes; a mode may belong to more than one.
enum ModeGroup : unsigned { GroupCw = 1, GroupPhone = 2, GroupImage = 4, GroupData = 8, AnyGroup = 15 };

// The groups of a mode word, from a record or from a QSO's MODE: CW; PHONE (SSB, AM, FM and the words
// PHONE, USB, LSB); IMAGE (SSTV, FAX, ATV and the word IMAGE); DATA (every other mode, the words DATA
// and RTTY among them); DIGITALVOICE in both PHONE and DATA. An empty word matches any group.
unsigned modeGroupsOf(std::string_view mode);
// The name of the first group in `groups` (CW, PHONE, IMAGE, DATA), or "any".
std::string_view groupName(unsigned groups);

// Whether `mode` (any letter case, blanks around it ignored) is a mode of the standard's Mode
// enumeration, the import-only ones left out: SSB and RTTY are, PHONE and DATA are not.
bool isAdifMode(std::string_view mode);

// Whether `name` (any letter case) is a value of the standard's Credit enumeration (DXCC, DXCC_BAND, WAS...).
bool isAdifCredit(std::string_view name);
// Whether `medium` (any letter case) is a value of the standard's QSL Medium enumeration: CARD, EQSL, LOTW.
bool isAdifQslMedium(std::string_view medium);

// The entity number of a DXCC value (digits only, at most six of them), or nothing.
std::optional<int> entityNumber(std::string_view dxcc);

// The band of the standard's Band enumeration that holds `megahertz` (upper case, "20M"), or nothing.
std::optional<std::string_view> bandOfFrequency(double megahertz);
// The same for a FREQ value as the standard writes it (megahertz, "14.074"); nothing when it is not a
// number or lies in no band.
std::optional<std::string_view> bandOfFrequency(std::string_view megahertz);

} // namespace awardsync
