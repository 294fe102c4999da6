// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The DXCC entities by number, as the ADIF standard's DXCC_Entity_Code enumeration names them.
#include <span>
#include <string>
#include <string_view>

namespace awardsync::mark {

struct DxccEntity {
    int code = 0;
    std::string_view name; // as the standard spells it: "FEDERAL REPUBLIC OF GERMANY"
    bool deleted = false;
};

// The entity of that number, or nullptr for a number the enumeration does not hold.
const DxccEntity* dxccEntity(int code);

// How many entities the enumeration holds (deleted ones included).
int dxccEntityCount();

// How many of them are current: what every DXCC total counts against (340 in version 3.1.6).
int currentDxccEntityCount();

// The whole enumeration, in code order.
std::span<const DxccEntity> dxccEntities();

// The entity's name for a table row: "FEDERAL REPUBLIC OF GERMANY", "GERMANY (deleted)", or
// "entity 999 (not in the ADIF standard)".
std::string dxccEntityLabel(int code);

} // namespace awardsync::mark
