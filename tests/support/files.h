// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace awardsync::testing {

// The file's bytes, or "<missing>" when it cannot be read.
std::string readBytes(const QString& path);

// Replaces the file's content with exactly these bytes (a failed write fails the test).
void writeBytes(const QString& path, std::string_view bytes);

} // namespace awardsync::testing
