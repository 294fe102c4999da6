// SPDX-License-Identifier: GPL-3.0-or-later
#include "pending_removal.h"

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace awardsync {

namespace {

// A few files are written at a time (the marked log and the unmatched credits); more than this
// many pending at once are simply not protected.
constexpr int Slots = 16;

struct Slot {
    std::atomic<bool> used{false};
    char path[PATH_MAX]{};
};

std::array<Slot, Slots> slots;
std::mutex claiming;

extern "C" void removePendingAndDie(int signal) {
    for (Slot& slot : slots) {
        if (slot.used.load(std::memory_order_acquire)) {
            ::unlink(slot.path);
        }
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);
}

void installHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (const int signal : {SIGINT, SIGTERM}) {
            struct sigaction previous {};
            ::sigaction(signal, nullptr, &previous);
            if (previous.sa_handler != SIG_DFL) {
                continue; // ignored, or someone else's: left alone
            }
            struct sigaction action {};
            action.sa_handler = removePendingAndDie;
            ::sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

} // namespace

PendingRemoval::PendingRemoval(const char* path) {
    if (std::strlen(path) >= PATH_MAX) {
        return;
    }
    installHandlers();
    const std::lock_guard lock(claiming);
    for (int i = 0; i < Slots; ++i) {
        Slot& slot = slots[static_cast<std::size_t>(i)];
        if (!slot.used.load(std::memory_order_relaxed)) {
            std::strcpy(slot.path, path);
            slot.used.store(true, std::memory_order_release);
            slot_ = i;
            return;
        }
    }
}

PendingRemoval::PendingRemoval(PendingRemoval&& other) noexcept : slot_(other.slot_) {
    other.slot_ = -1;
}

PendingRemoval& PendingRemoval::operator=(PendingRemoval&& other) noexcept {
    if (this != &other) {
        release();
        slot_ = other.slot_;
        other.slot_ = -1;
    }
    return *this;
}

PendingRemoval::~PendingRemoval() {
    release();
}

void PendingRemoval::release() {
    if (slot_ >= 0) {
        slots[static_cast<std::size_t>(slot_)].used.store(false, std::memory_order_release);
        slot_ = -1;
    }
}

} // namespace awardsync
