// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/retry_policy.h"

#include "core/text.h"

#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <array>

namespace awardsync {

namespace {

// Statuses of a service that is busy or whose gateway gave up: the same request may get the page later.
constexpr std::array<int, 6> TransientStatuses = {500, 502, 503, 504, 408, 429};

// Retry-After as seconds from `now`: "120", or an HTTP date such as "Wed, 09 Dec 2026 16:00:00 GMT".
std::optional<std::chrono::milliseconds> retryAfterDelay(std::string_view text, const QDateTime& now) {
    text = trimBlanks(text);
    if (text.empty()) {
        return std::nullopt;
    }
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Anything of more than six digits is past the longest wait anyway.
        return text.size() > 6 ? std::chrono::milliseconds::max() : std::chrono::seconds(std::stol(std::string(text)));
    }
    QDateTime when = QLocale::c().toDateTime(toQt(text), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!when.isValid()) {
        return std::nullopt;
    }
    when.setTimeZone(QTimeZone::utc());
    return std::chrono::seconds(std::max<qint64>(0, now.secsTo(when)));
}

} // namespace

std::string transientReason(PageLoader::Failure failure, int httpStatus) {
    switch (failure) {
    case PageLoader::Failure::TimedOut:
        return "timed out";
    case PageLoader::Failure::ConnectionLost:
        return "connection closed";
    case PageLoader::Failure::Other:
        return {};
    case PageLoader::Failure::None:
        break;
    }
    const bool transient =
        std::find(TransientStatuses.begin(), TransientStatuses.end(), httpStatus) != TransientStatuses.end();
    return transient ? "HTTP " + std::to_string(httpStatus) : std::string();
}

std::chrono::milliseconds retryWait(const RetryPolicy& policy, int retry, std::string_view retryAfter,
                                    const QDateTime& now) {
    std::chrono::milliseconds wait{0};
    if (!policy.waits.empty()) {
        wait =
            policy
                .waits[static_cast<std::size_t>(std::clamp<int>(retry, 1, static_cast<int>(policy.waits.size())) - 1)];
    }
    if (const auto asked = retryAfterDelay(retryAfter, now)) {
        wait = std::max(wait, std::min(*asked, policy.longestRetryAfter));
    }
    return wait;
}

} // namespace awardsync
