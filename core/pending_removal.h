// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace awardsync {

// Named temporary files that must not outlive an interrupted program. While a path is registered, a
// SIGINT or SIGTERM removes it and then ends the program as the signal would have (the handler only
// calls unlink() on paths prepared here beforehand, which is safe inside a signal handler). A
// signal that was ignored when the first path was registered stays ignored.
class PendingRemoval {
public:
    PendingRemoval() = default;
    explicit PendingRemoval(const char* path); // registers a copy of `path`
    PendingRemoval(PendingRemoval&& other) noexcept;
    PendingRemoval& operator=(PendingRemoval&& other) noexcept;
    PendingRemoval(const PendingRemoval&) = delete;
    PendingRemoval& operator=(const PendingRemoval&) = delete;
    ~PendingRemoval(); // unregisters; the file itself stays

    // Unregisters without removing (the file was renamed or removed by its owner).
    void release();

private:
    int slot_ = -1;
};

} // namespace awardsync
