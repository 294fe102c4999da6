// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace awardsync {

// The caption of error boxes: the executable's file name without its folder, cut at its first
// ".", with every letter after the first in lower case.
std::string errorCaption(std::string_view executablePath);

// The text an error box shows: the message, with a full stop added when its last character
// comes after "." in character order.
std::string errorBoxText(std::string_view message);

// The records-file path as the chooser leaves it: ".txt" appended when the last path component
// has no "." at all (a name ending in "." keeps that as its extension).
std::string withRecordsExtension(std::string_view path);

// The About box text; it ends without a line feed.
std::string aboutText();

} // namespace awardsync
