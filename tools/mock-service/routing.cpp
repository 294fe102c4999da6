// SPDX-License-Identifier: GPL-3.0-or-later
#include "routing.h"

#include "core/text.h"
#include "form.h"
#include "harvest/award_ids.h"
#include "pages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <openssl/rand.h>
#include <optional>
#include <stdexcept>
#include <thread>

namespace mock {

namespace {

std::atomic<bool> g_stopping{false};

// Sleeps in short steps so that a stop request is never held up by a long delay or stall.
void sleepUnlessStopping(long ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!g_stopping && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(20), end - std::chrono::steady_clock::now()));
    }
}

Answer htmlAnswer(std::string body, int status = 200) {
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

void send(const Answer& answer, httplib::Response& response) {
    response.status = answer.status;
    for (const auto& [name, value] : answer.headers) {
        response.set_header(name, value);
    }
    if (answer.contentType.empty()) {
        // The server library adds "text/plain" to a body without a type; an empty one stays.
        response.set_header("Content-Type", "");
        response.body = answer.body;
    } else {
        response.set_content(answer.body, answer.contentType);
    }
}

const std::string& filler() {
    static const std::string text = [] {
        std::string block;
        while (block.size() < 64 * 1024) {
            block += "<p>padding padding padding padding padding padding padding padding</p>\n";
        }
        return block;
    }();
    return text;
}

void sendFaulty(const Fault& fault, const httplib::Request& request, Answer answer, httplib::Response& response) {
    switch (fault.kind) {
    case FaultKind::Delay:
        send(answer, response);
        return;
    case FaultKind::Status: {
        Answer failed =
            htmlAnswer(fault.body ? *fault.body : statusPage(fault.status, "Internal Server Error"), fault.status);
        if (fault.retryAfter) {
            failed.headers.emplace_back("Retry-After", *fault.retryAfter);
        }
        send(failed, response);
        return;
    }
    case FaultKind::NonHtml:
    case FaultKind::Content: {
        // The default body holds every page marker, so only the type can tell it from a page.
        Answer plain;
        plain.body = fault.body ? *fault.body : "Your QSOs\ncreditsTable\nWorked Station\n";
        plain.contentType = fault.contentType;
        send(plain, response);
        return;
    }
    case FaultKind::Redirect:
        response.set_redirect(fault.location, fault.status);
        response.set_content(statusPage(fault.status, "Found"), "text/html; charset=utf-8");
        return;
    case FaultKind::RedirectLoop:
        response.set_redirect(request.target, 302);
        response.set_content(statusPage(302, "Found"), "text/html; charset=utf-8");
        return;
    case FaultKind::CloseMidBody: {
        // Padded so that the half that is sent is never empty; the announced length is the whole.
        auto body = std::make_shared<std::string>(std::move(answer.body));
        body->append(filler(), 0, 8192);
        response.status = answer.status;
        response.set_content_provider(body->size(), answer.contentType,
                                      [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          const std::size_t half = body->size() / 2;
                                          if (offset < half) {
                                              sink.write(body->data() + offset, half - offset);
                                          }
                                          return false; // the library closes the connection
                                      });
        return;
    }
    case FaultKind::Stall: {
        auto body = std::make_shared<std::string>(std::move(answer.body));
        const long stallMs = fault.stallMs;
        response.status = answer.status;
        response.set_content_provider(body->size() + 64 * 1024, answer.contentType,
                                      [body, stallMs](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          if (offset == 0) {
                                              sink.write(body->data(), std::min<std::size_t>(body->size(), 64));
                                          }
                                          sleepUnlessStopping(stallMs);
                                          return false;
                                      });
        return;
    }
    case FaultKind::Oversized: {
        const auto total = static_cast<std::size_t>(std::max(0LL, fault.bytes));
        response.status = 200;
        if (fault.chunked) {
            response.set_chunked_content_provider(
                "text/html; charset=utf-8", [total](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= total) {
                        sink.done();
                        return true;
                    }
                    return sink.write(filler().data(), std::min(filler().size(), total - offset));
                });
        } else {
            response.set_content_provider(total, "text/html; charset=utf-8",
                                          [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                              return sink.write(filler().data(), std::min(filler().size(), length));
                                          });
        }
        return;
    }
    }
}

} // namespace

Sessions::Sessions(const std::vector<std::string>& preset, long pagesPerSession) : pagesPerSession_(pagesPerSession) {
    for (const std::string& token : preset) {
        pagesLeft_[token] = -1;
    }
}

std::string Sessions::create() {
    unsigned char random[16];
    if (RAND_bytes(random, sizeof random) != 1) {
        throw std::runtime_error("no random bytes for a session");
    }
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char byte : random) {
        token += kHex[byte >> 4];
        token += kHex[byte & 15];
    }
    std::lock_guard lock(mutex_);
    pagesLeft_[token] = pagesPerSession_ > 0 ? pagesPerSession_ : -1;
    return token;
}

bool Sessions::valid(const std::string& token) {
    std::lock_guard lock(mutex_);
    return pagesLeft_.contains(token);
}

bool Sessions::takePage(const std::string& token) {
    // One lock for the test and the count, so that parallel requests never get more pages than
    // the session has.
    std::lock_guard lock(mutex_);
    const auto it = pagesLeft_.find(token);
    if (it == pagesLeft_.end()) {
        return false;
    }
    if (it->second > 0 && --it->second == 0) {
        pagesLeft_.erase(it);
    }
    return true;
}

void Service::handle(const httplib::Request& request, httplib::Response& response) {
    const bool loginForm = request.method == "POST" && request.path == "/lotwuser/default";

    Fault* fault = nullptr;
    for (Fault& candidate : scenario_.faults) {
        if (candidate.matches(request.method, request.target) && candidate.take()) {
            fault = &candidate;
            break;
        }
    }
    // Only a detail page that goes out whole counts against its session (a delay still sends it
    // whole). Counting before the log line keeps the line's "cookie" true to the answer.
    const std::optional<std::string> token = sessionToken(request);
    bool cookie = token.has_value();
    if (cookie && detailQso(request) != nullptr && (fault == nullptr || fault->kind == FaultKind::Delay)) {
        cookie = sessions_.takePage(*token);
    }
    log_.write(request, cookie, loginForm);

    if (fault != nullptr && fault->delayMs > 0) {
        sleepUnlessStopping(fault->delayMs);
    }
    Answer answer = route(request, cookie);
    if (fault == nullptr || fault->kind == FaultKind::Delay) {
        send(answer, response);
    } else {
        sendFaulty(*fault, request, std::move(answer), response);
    }
}

void Service::stopping() {
    g_stopping = true;
}

std::optional<std::string> Service::sessionToken(const httplib::Request& request) {
    const std::string& name = scenario_.login.cookieName;
    for (std::size_t i = 0, n = request.get_header_value_count("Cookie"); i < n; ++i) {
        const std::string header = request.get_header_value("Cookie", i);
        std::string_view cookies = header;
        while (!cookies.empty()) {
            const std::size_t end = std::min(cookies.find(';'), cookies.size());
            std::string_view pair = cookies.substr(0, end);
            while (!pair.empty() && pair.front() == ' ') {
                pair.remove_prefix(1);
            }
            if (pair.size() > name.size() && pair.compare(0, name.size(), name) == 0 && pair[name.size()] == '=') {
                std::string token(pair.substr(name.size() + 1));
                if (sessions_.valid(token)) {
                    return token;
                }
            }
            cookies.remove_prefix(std::min(end + 1, cookies.size()));
        }
    }
    return std::nullopt;
}

const std::string* Service::detailQso(const httplib::Request& request) const {
    const std::string& path = request.path;
    if (request.method != "GET" || path == "/lotwuser/default" || path == "/lotwuser/home" ||
        path == "/lotwuser/accountcredits") {
        return nullptr;
    }
    const auto it = scenario_.qsoIdByPath.find(request.target);
    return it == scenario_.qsoIdByPath.end() ? nullptr : &it->second;
}

Answer Service::route(const httplib::Request& request, bool cookie) {
    const std::string& path = request.path;
    if (path == "/lotwuser/default" && request.method == "POST") {
        return login(request);
    }
    if (request.method != "GET") {
        return htmlAnswer(statusPage(405, "Method Not Allowed"), 405);
    }
    if (path == "/lotwuser/default" || path == "/lotwuser/home") {
        return htmlAnswer(cookie ? homePage(scenario_.login) : loginPage(""));
    }
    if (path == "/lotwuser/accountcredits") {
        return cookie ? creditList(request) : htmlAnswer(loginPage(""));
    }
    if (const std::string* id = detailQso(request)) {
        return htmlAnswer(cookie ? detailPage(scenario_.qsos.at(*id)) : loginPage(""));
    }
    return htmlAnswer(statusPage(404, "Not Found"), 404);
}

Answer Service::login(const httplib::Request& request) {
    const Login& expected = scenario_.login;
    // Only a real form post is understood; anything else gets the plain form back.
    if (!awardsync::startsWithIgnoreAsciiCase(request.get_header_value("Content-Type"),
                                              "application/x-www-form-urlencoded")) {
        return htmlAnswer(loginPage(""));
    }
    const FormFields fields = parseForm(request.body);
    const std::optional<std::string> user = formValue(fields, "login");
    const std::optional<std::string> password = formValue(fields, "password");
    if (user != expected.user || password != expected.password) {
        return htmlAnswer(expected.failurePage ? *expected.failurePage : loginPage("Username/password incorrect"));
    }
    Answer answer;
    answer.headers.emplace_back("Set-Cookie",
                                expected.cookieName + "=" + sessions_.create() + "; Path=/; Secure; HttpOnly");
    if (expected.redirect) {
        answer.status = expected.redirectStatus;
        answer.headers.emplace_back("Location", "/lotwuser/home");
        answer.body = statusPage(expected.redirectStatus, "See Other");
    } else {
        answer.body = homePage(expected);
    }
    return answer;
}

Answer Service::creditList(const httplib::Request& request) {
    const std::string account = request.get_param_value("ac_acct");
    const std::string award = request.get_param_value("aw_id");
    const bool known =
        request.get_param_value("awg_id") == "DXCC" && request.get_param_value("ac_view") == "allc" &&
        request.get_param_value("ac_order") == "1" && !account.empty() &&
        std::all_of(account.begin(), account.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        std::find(awardsync::AwardIds.begin(), awardsync::AwardIds.end(), award) != awardsync::AwardIds.end();
    if (!known) {
        return htmlAnswer(statusPage(200, "No such award account"));
    }
    return htmlAnswer(creditListPage(scenario_, account, award, "https://" + request.get_header_value("Host")));
}

} // namespace mock
