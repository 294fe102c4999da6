// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "request_log.h"
#include "scenario.h"

#include <httplib.h>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace mock {

// The session tokens handed out at sign-in, plus the preset ones of the scenario.
class Sessions {
public:
    explicit Sessions(const std::vector<std::string>& preset) : tokens_(preset.begin(), preset.end()) {}

    std::string create();
    bool valid(const std::string& token);

private:
    std::mutex mutex_;
    std::set<std::string> tokens_;
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
        : scenario_(scenario), log_(log), sessions_(scenario.login.presetSessions) {}

    void handle(const httplib::Request& request, httplib::Response& response);

    // From now on delays and stalls end at once, so that no request holds up the server's stop.
    static void stopping();

private:
    bool hasSession(const httplib::Request& request);
    Answer route(const httplib::Request& request, bool cookie);
    Answer login(const httplib::Request& request);
    Answer creditList(const httplib::Request& request);

    Scenario& scenario_;
    RequestLog& log_;
    Sessions sessions_;
};

} // namespace mock
