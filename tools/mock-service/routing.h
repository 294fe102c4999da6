// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "request_log.h"
#include "scenario.h"

#include <httplib.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mock {

// The session tokens handed out at sign-in, plus the preset ones of the scenario. A sign-in's
// session may end after a number of detail pages, as the service's own sessions end during a long
// run; the preset ones never end.
class Sessions {
public:
    Sessions(const std::vector<std::string>& preset, long pagesPerSession);

    std::string create();
    bool valid(const std::string& token);
    // Counts one detail page served under `token`; its last page ends the session. False when the
    // token is not (or no longer) valid, so that the page is answered as to a stranger.
    bool takePage(const std::string& token);

private:
    std::mutex mutex_;
    const long pagesPerSession_;            // 0: sessions do not end
    std::map<std::string, long> pagesLeft_; // by token; -1: no end
};

// What a page answers before any fault is applied to it.
struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "text/html; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;
};

// Answers every request: logs it, picks the page by path, session and scenario, and applies the
// first fault of the scenario that matches it.
class Service {
public:
    Service(Scenario& scenario, RequestLog& log)
        : scenario_(scenario), log_(log), sessions_(scenario.login.presetSessions, scenario.login.sessionPages) {}

    void handle(const httplib::Request& request, httplib::Response& response);

    // From now on delays and stalls end at once, so that no request holds up the server's stop.
    static void stopping();

private:
    // The first valid session token among the request's cookies.
    std::optional<std::string> sessionToken(const httplib::Request& request);
    // The id of the QSO whose detail page the request asks for; nullptr for every other page.
    const std::string* detailQso(const httplib::Request& request) const;
    Answer route(const httplib::Request& request, bool cookie);
    Answer login(const httplib::Request& request);
    Answer creditList(const httplib::Request& request);

    Scenario& scenario_;
    RequestLog& log_;
    Sessions sessions_;
};

} // namespace mock
