// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace awardsync {

// The one failure kind of the program: it carries the message that the log pane or the
// error box shows. Every failure is raised as this, never returned as a code.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace awardsync
