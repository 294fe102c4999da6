// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <atomic>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mock {

// One row after the "Worked Station" row of a detail page: a field (three cells: name, ":",
// value) or, when `raw` is set, `html` inserted as it stands (rows of other shapes, nested tables).
struct DetailRow {
    bool raw = false;
    std::string name;
    std::string value;
    std::string html;
};

struct Qso {
    std::string id;
    std::string path;     // path and query the detail page is served at
    std::string href;     // the link target written on credit-list pages; empty: made from `path`
    std::string linkText; // the bold text of the link (normally the worked call sign)
    std::vector<DetailRow> rows;
    std::optional<std::string> html; // the whole detail page instead of the generated one

    // The value of the first field row of that name, or "".
    std::string field(const std::string& name) const;
};

struct Category {
    std::vector<std::string> credited;   // QSO ids, each written as a bold link (repeats allowed)
    std::vector<std::string> plainLinks; // QSO ids written as links without bold text
    std::string extraHtml;               // inserted inside the credits table after the rows
    std::optional<std::string> html;     // the whole page instead of the generated one
};

enum class LinkStyle { Absolute, Relative, PageRelative };

struct Login {
    std::string user = "TEST";
    std::string password = "test";
    bool redirect = true;
    int redirectStatus = 303;
    std::optional<std::string> successPage;
    std::optional<std::string> failurePage;
    std::vector<std::string> presetSessions;
    std::string cookieName = "lotw_session";
    // How many detail pages one sign-in's session serves before it ends; 0: no end.
    long sessionPages = 0;
};

enum class FaultKind { Delay, CloseMidBody, Status, Stall, NonHtml, Content, Oversized, RedirectLoop, Redirect };

struct Fault {
    std::string path; // exact path and query, or a prefix of it when `prefix` is set
    bool prefix = false;
    std::string method; // empty: any method
    FaultKind kind = FaultKind::Delay;
    long delayMs = 0;                       // before answering (any kind)
    long stallMs = 0;                       // Stall: how long nothing more is sent
    int status = 500;                       // Status
    std::string contentType = "text/plain"; // NonHtml, Content
    std::optional<std::string> body;        // NonHtml, Content, Status (bytes)
    std::optional<std::string> retryAfter;  // Status: the Retry-After header, verbatim
    long long bytes = 40LL * 1024 * 1024;   // Oversized
    bool chunked = false;                   // Oversized: no Content-Length
    std::string location;                   // Redirect: the Location header
    long count = -1;                        // applies to the first `count` matching requests; -1: all
    std::atomic<long> used{0};

    bool matches(const std::string& method, const std::string& target) const;
    // Counts this request against `count`; false once the fault is used up.
    bool take();
};

struct Scenario {
    Login login;
    LinkStyle links = LinkStyle::Relative;
    std::map<std::string, Qso> qsos;                                 // by id
    std::map<std::string, std::string> qsoIdByPath;                  // detail path -> id
    std::map<std::string, std::map<std::string, Category>> accounts; // account -> award id -> category
    std::deque<Fault> faults;
};

// Reads a scenario (see README.md). Throws std::runtime_error naming what is wrong.
void loadScenario(const QByteArray& json, Scenario& scenario);

} // namespace mock
