// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "service/html_document.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace awardsync {

// "60 s" or "250 ms": waits and limits are whole seconds in the program and shorter in tests.
std::string describeDuration(std::chrono::milliseconds duration);

// Loads the service's pages one at a time and hands out the loaded document. It keeps the
// signed-in state (cookies, in memory only) from one page to the next.
class PageLoader : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned ReadyStateComplete = 4;

    // `pump` is called between passes of WaitForPage; it must block until something happens
    // (process events with WaitForMoreEvents) so that a wait never burns a core.
    explicit PageLoader(std::function<void()> pump, QObject* parent = nullptr);
    ~PageLoader() override;

    // Starts a plain page request. Only https addresses are accepted; anything else raises Error.
    void Navigate(const std::string& url);
    // Starts a form post with exactly `postData` as its body and `headers` ("Name: value" lines,
    // each ended by CR LF) as additional request headers.
    void Navigate(const std::string& url, const std::string& postData, const std::string& headers);
    // Below 4 while a page loads, 4 once it is complete (also when it failed).
    unsigned ReadyState() const;
    // Returns once the page is complete. Raises Error when it failed: network failure (with its
    // reason), timeout, a body over the size limit.
    void WaitForPage();
    // The loaded page. Raises Error("Interface not supported") when it is not an HTML page, and
    // Error when nothing was loaded.
    const HtmlDocument& Document() const;

    // How the last load failed, for telling a passing fault of an overloaded service from one that
    // a second try cannot mend. A page that arrived, whatever its status, is no failure.
    enum class Failure { None, TimedOut, ConnectionLost, Other };
    Failure failure() const;
    // The HTTP status of the last page that arrived; 0 when none did.
    int httpStatus() const;
    // The last page's Retry-After header as sent; empty when it had none.
    const std::string& retryAfter() const;

    // Limits; the defaults are the program's own, tests shorten them.
    void setIdleTimeout(std::chrono::milliseconds timeout);
    void setTotalTimeout(std::chrono::milliseconds timeout);
    void setMaxBodySize(std::int64_t bytes);

    // Trust the system's certificates plus those in the PEM file `caFile` (none when empty) for
    // every connection made afterwards. Raises Error when the file cannot be read.
    static void configureTls(const std::string& caFile);

private:
    void start(const std::string& url, const std::string* postData, const std::string* headers);
    // Reply handlers: they record what happened and never throw.
    void onMetaData(QNetworkReply* reply) noexcept;
    void onReadyRead(QNetworkReply* reply) noexcept;
    void onFinished(QNetworkReply* reply) noexcept;

    struct State;
    std::unique_ptr<State> state_;
};

} // namespace awardsync
