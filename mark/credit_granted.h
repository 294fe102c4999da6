// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace awardsync::mark {

// The value of CREDIT_GRANTED with `credit` granted through `medium` added, in the ADIF standard's
// credit list form: items separated by ",", each a credit name optionally followed by ":" and media
// separated by "&" (IOTA,WAS:LOTW&CARD,DXCC:CARD); names compare without regard to letter case.
// - an item of that credit that lacks the medium gains it at the end of its media (DXCC:CARD gives
//   DXCC:CARD&LOTW), and loses its empty media on the way (DXCC:CARD& gives DXCC:CARD&LOTW);
// - an item of that credit without media counts as holding the credit already;
// - without an item of that credit, a new one goes at the end (WAS:LOTW gives WAS:LOTW,DXCC:LOTW).
// Every other byte stays as it was. Returns nothing when the list already holds the credit and medium.
std::optional<std::string> addCreditMedium(std::string_view list, std::string_view credit, std::string_view medium);

} // namespace awardsync::mark
