#pragma once

#include <QString>

namespace awardsync {

// Whether the file or folder at `path` may be written. A folder or file marked read-only stays
// read-only for the superuser too: replacing a file by rename would otherwise ignore the mark.
bool writeAllowed(const QString& path);

} // namespace awardsync
