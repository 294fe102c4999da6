// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/error.h"
#include "core/string_list.h"
#include "harvest/retry_policy.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace awardsync {

class CreditsCollector;
class PageLoader;
struct KnownCredit;

// What a download run needs of the window (or of a test): the inputs as they stand when the run
// reads them, where its messages and its progress go, whether the user asked it to stop, and
// its waits, which keep the window alive.
class RunHost {
public:
    virtual ~RunHost() = default;

    virtual std::string user() const = 0;        // read once, by the sign-in
    virtual std::string password() const = 0;    // read once, by the sign-in
    virtual int account() const = 0;             // read by each credit-list page
    virtual bool phoneToSsb() const = 0;         // read by each record
    virtual bool onlyNew() const = 0;            // read when the QSO pages begin
    virtual std::string recordsPath() const = 0; // read for the last run's files and when saving

    virtual void log(const std::string& text) = 0;
    // Abort, or the window closing.
    virtual bool cancelled() const = 0;
    // The pause after each credit-list page, so that a busy service is not hammered. A cancel does
    // not end it.
    virtual void pause(std::chrono::milliseconds duration) = 0;
    // The wait before a page is tried again; a cancel ends it at once.
    virtual void waitBeforeRetry(std::chrono::milliseconds duration) = 0;
    // The QSO pages begin (`pages` to load), one more is done, the files are saved.
    virtual void startProgress(int pages) = 0;
    virtual void stepProgress() = 0;
    virtual void resetProgress() = 0;
    // What the run lacks, said where the user looks last; empty when every credit is there.
    virtual void showShortfall(const std::string& text) = 0;
};

// The lists a run fills, owned by the window for its whole life.
struct RunLists {
    SortedStringList& creditUrls;
    NameValueList& qsoFields;
    SortedStringList& records;
    CreditsCollector& credits;
};

// The session could not be kept: signing in again failed, or the session keeps ending. The run
// reads no further page.
class SessionLost : public Error {
public:
    using Error::Error;
};

// A whole harvest: the sign-in, the credit lists of the award categories, the detail page of every
// credited QSO, and the records file with the credits file beside it. Transient faults of the
// service are tried again and an ended session is signed in again (RetryPolicy); a QSO or a
// category that still fails is taken from the last run's credits file when that holds it, so a run
// never keeps less than the run before.
class DownloadRun {
public:
    DownloadRun(PageLoader& ie, RunHost& host, RunLists lists, RetryPolicy policy = {});
    ~DownloadRun();
    DownloadRun(const DownloadRun&) = delete;
    DownloadRun& operator=(const DownloadRun&) = delete;

    // The service's scheme and host, without a trailing slash.
    void setEndpoint(std::string endpoint) { endpoint_ = std::move(endpoint); }
    const std::string& endpoint() const { return endpoint_; }

    // The whole run. Every error of the sign-in, of a category or of a QSO is logged; only an
    // error while saving passes out.
    void run();

    // Its steps, each raising Error with the message the run logs.
    // Posts the login form and judges the answer; the session lasts for the pages that follow.
    void login();
    // Adds the detail addresses of category `index` (0 to 16) to the credit list.
    void readCreditList(int index);
    // Reads the QSO at position `index` of the credit list into the fields and adds its record.
    void readQsoDetails(int index);
    // The record of the fields last read.
    void addCreditRecord();

private:
    struct Session;
    class LastRun;
    struct Tally;

    void signIn();
    void signInAgain();
    [[noreturn]] void loseSession(const std::string& why);
    // Loads `url` (a form post when `form` is given), trying transient faults again.
    void fetch(const std::string& url, const std::string* form);
    // Loads a credit-list or detail page; one that comes back as the sign-in form signs in again.
    void loadPage(const std::string& url, std::string_view marker);
    bool signedOut(std::string_view marker) const;

    void readLastRun();
    void takeListedFromLastRun(int index);
    // The QSO's record line as the last run's file gives it (`credit`, or none), added to the records; empty
    // when the file does not hold the QSO.
    std::string keepFromLastRun(const KnownCredit* credit, const std::string& address);
    void readQsos(Tally& tally, bool sessionLost);
    void save();

    PageLoader& ie_;
    RunHost& host_;
    RunLists lists_;
    RetryPolicy policy_;
    std::string endpoint_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<LastRun> lastRun_;
    std::string user_;          // whose credits the files hold
    int account_ = 0;           // the account whose credit lists were read
    std::string detailAddress_; // the detail page whose fields the next record is built from
};

} // namespace awardsync
