// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace awardsync {

// The form encoding of a login value, byte by byte on the UTF-8 text: "*", "-", ".", "@", "_" and
// the ASCII letters stay, a blank becomes "+", every other byte (digits included) becomes "%XX"
// with capital hexadecimal digits. A zero byte ends the text.
std::string UrlEncode(std::string_view text);

} // namespace awardsync
