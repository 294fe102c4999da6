#pragma once

#include "core/string_list.h"

#include <string>

namespace awardsync {

// The record line of one credited QSO from the fields of its detail page: call, three-digit DXCC
// entity number, date, time, mode, band and confirmation kind, each followed by "|". Missing or
// malformed fields never fail: they give empty parts (000 for the entity number). With
// `phoneToSsb` the mode "PHONE" (exactly that) is written as "SSB".
std::string buildRecordLine(const NameValueList& fields, bool phoneToSsb);

} // namespace awardsync
