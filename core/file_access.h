#pragma once

#include <QString>

namespace awardsync {

// Why a file may not be saved at `path` by writing a temporary file beside it and renaming it
// over the old one: a system error code (EISDIR, ENOTDIR, ENOENT, EACCES, ...), or 0 when
// nothing stands in the way. A file or folder without any write permission bit counts as
// read-only for the superuser too, since the rename would otherwise silently replace it.
int saveRefusal(const QString& path);

} // namespace awardsync
