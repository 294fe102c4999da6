// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/page_loader.h"

#include <QDateTime>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace awardsync {

// How a run meets a slow, overloaded service that answers 503, drops connections, stalls and ends
// sessions: which failed page loads are tried again, how long the run waits first, and how often it
// signs in again. The numbers are the program's; tests make the waits short.
struct RetryPolicy {
    int tries = 3; // the first try and two more
    // The wait before each further try; the last one stands for any try after it.
    std::vector<std::chrono::milliseconds> waits = {std::chrono::seconds(2), std::chrono::seconds(8)};
    // A page that never answers costs at most this many time-outs.
    int timeoutTries = 2;
    // A Retry-After the service sends is waited for, up to this long.
    std::chrono::milliseconds longestRetryAfter = std::chrono::seconds(60);
    // The password is posted at most this many times in one run, tries of the first sign-in included.
    int signInPosts = 4;
    // A session that ends again after fewer pages than this is not signed in again.
    int pagesPerSession = 5;
};

// Why a load that failed is worth another try, as the retry line names it ("HTTP 503", "timed
// out", "connection closed"); empty for a fault that another try cannot mend (certificates, other
// statuses, redirect loops, oversized or non-HTML pages). `httpStatus` is that of a page that came.
std::string transientReason(PageLoader::Failure failure, int httpStatus);

// The wait before try `retry` + 1 (`retry` 1 is the first retry): the policy's own, or as long as
// the service's Retry-After asks (seconds, or an HTTP date measured from `now`) when that is
// longer, but never longer than longestRetryAfter.
std::chrono::milliseconds retryWait(const RetryPolicy& policy, int retry, std::string_view retryAfter,
                                    const QDateTime& now);

} // namespace awardsync
