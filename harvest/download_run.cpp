// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/download_run.h"

#include "core/file_paths.h"
#include "core/text.h"
#include "harvest/award_ids.h"
#include "harvest/credit_list.h"
#include "harvest/credits_collector.h"
#include "harvest/qso_details.h"
#include "records/credit_record.h"
#include "records/credits_file.h"
#include "records/records_file.h"
#include "service/html_document.h"
#include "service/login.h"
#include "service/page_loader.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <vector>

namespace awardsync {

namespace {

constexpr auto CreditListPause = std::chrono::milliseconds(1000);
constexpr std::string_view CreditListMarker = "creditsTable";
constexpr std::string_view DetailMarker = "Worked Station";

std::string plural(int count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

} // namespace

// The signed-in state of this run: the login form as first posted (sent again unchanged), how
// often the password went out, and how many pages the session has served since.
struct DownloadRun::Session {
    std::string form;
    int posts = 0;
    int pages = 0;
    std::string lost; // why the session was given up; empty while it holds
};

// The credits file that this run is about to replace, when it belongs to the same service, user
// and account: what it read of each QSO, found by the detail page's address as the credit list
// compares addresses.
class DownloadRun::LastRun {
public:
    explicit LastRun(KnownCredits known) : collator_(makeListCollator()), credits_(std::move(known.credits)) {
        for (std::size_t i = 0; i < credits_.size(); ++i) {
            byAddress_.emplace(keyOf(credits_[i].address), i);
        }
    }

    const KnownCredit* find(std::string_view address) const {
        const auto at = byAddress_.find(keyOf(address));
        return at == byAddress_.end() ? nullptr : &credits_[at->second];
    }
    const std::vector<KnownCredit>& credits() const { return credits_; }

private:
    QCollatorSortKey keyOf(std::string_view text) const { return collator_.sortKey(toQt(text)); }

    QCollator collator_;
    std::vector<KnownCredit> credits_;
    std::map<QCollatorSortKey, std::size_t, SortKeyLess> byAddress_;
};

// What became of the credited QSOs, for the line that ends the run.
struct DownloadRun::Tally {
    int total = 0;
    int read = 0;
    int kept = 0;    // from the last run
    int missing = 0; // failed, and the last run did not have them either
    int notRead = 0; // left by an Abort
    int failedCategories = 0;

    // "  220 credited QSOs: 214 read, 4 kept from the last run, 2 missing (see the errors above); 1 category failed"
    std::string line() const {
        std::string text = "  " + std::to_string(total) + " credited QSOs: ";
        if (read == total) {
            text += "all read";
        } else {
            std::vector<std::string> parts = {std::to_string(read) + " read"};
            if (kept > 0) {
                parts.push_back(std::to_string(kept) + " kept from the last run");
            }
            if (missing > 0) {
                parts.push_back(std::to_string(missing) + " missing (see the errors above)");
            }
            if (notRead > 0) {
                parts.push_back(std::to_string(notRead) + " not read (aborted)");
            }
            for (std::size_t i = 0; i < parts.size(); ++i) {
                text += (i > 0 ? ", " : "") + parts[i];
            }
        }
        if (failedCategories > 0) {
            text += "; " + plural(failedCategories, "category failed", "categories failed");
        }
        return text;
    }
    bool lacksAny() const { return missing > 0 || notRead > 0 || failedCategories > 0; }
};

DownloadRun::DownloadRun(PageLoader& ie, RunHost& host, RunLists lists, RetryPolicy policy)
    : ie_(ie), host_(host), lists_(lists), policy_(std::move(policy)), session_(std::make_unique<Session>()) {}

DownloadRun::~DownloadRun() = default;

void DownloadRun::run() {
    // Nothing of the run outlives it: not the password in the login form, not the last run's file.
    struct Reset {
        DownloadRun& run;
        ~Reset() {
            *run.session_ = {};
            run.lastRun_.reset();
        }
    } reset{*this};
    *session_ = {};
    lastRun_.reset();
    lists_.records.clear();
    lists_.creditUrls.clear();
    lists_.credits.clear();

    host_.log("Logging in to LotW...");
    try {
        login();
    } catch (const std::exception& error) {
        host_.log(std::string("  Login failed: ") + error.what());
        return;
    }
    if (host_.cancelled()) {
        return;
    }
    host_.log("Logged in.");
    host_.log("\rDownloading credit lists");
    readLastRun();

    Tally tally;
    bool aborted = false;
    bool sessionLost = false;
    for (int i = 0; i < static_cast<int>(AwardIds.size()); ++i) {
        if (host_.cancelled()) {
            aborted = true;
            break;
        }
        host_.log(std::string("  ") + AwardIds[static_cast<std::size_t>(i)]);
        try {
            readCreditList(i);
        } catch (const SessionLost& lost) {
            host_.log(std::string("  ") + lost.what() + "; the credit lists and QSO pages left are not read");
            for (int left = i; left < static_cast<int>(AwardIds.size()); ++left) {
                takeListedFromLastRun(left);
                ++tally.failedCategories;
            }
            sessionLost = true;
            break;
        } catch (const std::exception& error) {
            host_.log(std::string("  Error: ") + error.what());
            takeListedFromLastRun(i);
            ++tally.failedCategories;
        }
    }
    host_.log("\r" + std::to_string(lists_.creditUrls.count()) + " credits found.\r\r");
    if (aborted || lists_.creditUrls.empty()) {
        return;
    }

    tally.total = static_cast<int>(lists_.creditUrls.count());
    readQsos(tally, sessionLost);

    host_.log(tally.line());
    host_.showShortfall(tally.lacksAny() ? std::string(trimBlanks(tally.line())) : std::string());
    host_.log("\rSaving records...");
    save();
    host_.log("Done");
    host_.resetProgress();
}

void DownloadRun::readQsos(Tally& tally, bool sessionLost) {
    const std::size_t count = lists_.creditUrls.count();
    // What the last run read of each address, looked up once.
    std::vector<const KnownCredit*> known(count, nullptr);
    for (std::size_t i = 0; lastRun_ && i < count; ++i) {
        known[i] = lastRun_->find(lists_.creditUrls[i]);
    }
    // Once the session is lost, or after an Abort, the QSOs left come from the last run if it had them.
    auto leave = [&](std::size_t from, int& unread) {
        for (std::size_t j = from; j < count; ++j) {
            if (!keepFromLastRun(known[j], lists_.creditUrls[j]).empty()) {
                ++tally.kept;
            } else {
                ++unread;
            }
        }
    };
    if (sessionLost) {
        leave(0, tally.missing);
        return;
    }

    host_.log("Downloading QSO data...\r");
    // With "Only new QSOs" the QSOs that the last run read are taken from its file, not loaded.
    const bool onlyNew = host_.onlyNew() && lastRun_;
    const auto held = static_cast<int>(std::count_if(known.begin(), known.end(), [](auto* k) { return k != nullptr; }));
    host_.startProgress(static_cast<int>(count) - (onlyNew ? held : 0));
    for (std::size_t i = 0; i < count; ++i) {
        const std::string address = lists_.creditUrls[i];
        if (onlyNew && known[i] != nullptr) {
            const std::string line = keepFromLastRun(known[i], address);
            ++tally.kept;
            host_.log("    " + line.substr(0, line.find('|')));
        } else {
            try {
                readQsoDetails(static_cast<int>(i));
                host_.log("    " + lists_.qsoFields.value("Worked"));
                ++tally.read;
            } catch (const SessionLost& lost) {
                host_.log(std::string("  ") + lost.what() + "; the QSO pages left are not read");
                host_.stepProgress();
                leave(i, tally.missing);
                return;
            } catch (const std::exception& error) {
                const bool kept = !keepFromLastRun(known[i], address).empty();
                host_.log(std::string("  Error: ") + error.what() + (kept ? " (kept from the last run)" : ""));
                ++(kept ? tally.kept : tally.missing);
            }
            host_.stepProgress();
        }
        if (host_.cancelled()) {
            leave(i + 1, tally.notRead);
            return;
        }
    }
}

void DownloadRun::login() {
    user_ = host_.user();
    session_->form = loginFormBody(user_, host_.password());
    signIn();
}

void DownloadRun::readCreditList(int index) {
    account_ = host_.account();
    const std::string url = creditListUrl(endpoint_, index, account_);
    loadPage(url, CreditListMarker);
    host_.pause(CreditListPause);
    collectCreditLinks(ie_.Document(), lists_.creditUrls, [this, index](const std::string& address) {
        lists_.credits.addListed(address, static_cast<std::size_t>(index));
    });
}

void DownloadRun::readQsoDetails(int index) {
    const std::string url = lists_.creditUrls[static_cast<std::size_t>(index)];
    loadPage(url, DetailMarker);
    readQsoFields(ie_.Document(), url, lists_.qsoFields);
    detailAddress_ = url;
    addCreditRecord();
}

void DownloadRun::addCreditRecord() {
    const std::string line = buildRecordLine(lists_.qsoFields, host_.phoneToSsb());
    lists_.records.add(line);
    lists_.credits.addLine(line, detailAddress_, buildRecordLine(lists_.qsoFields, false));
}

void DownloadRun::signIn() {
    fetch(endpoint_ + "/lotwuser/default", &session_->form);
    checkLoginAnswer(ie_.Document().body().innerText());
    session_->pages = 0;
}

void DownloadRun::signInAgain() {
    if (session_->pages < policy_.pagesPerSession) {
        loseSession("The session ended again after " + plural(session_->pages, "page", "pages"));
    }
    if (session_->posts >= policy_.signInPosts) {
        loseSession("The session ended again; the password is not sent more than " +
                    std::to_string(policy_.signInPosts) + " times in a run");
    }
    host_.log("  Session ended; signing in again");
    try {
        signIn();
    } catch (const std::exception& error) {
        loseSession(std::string("Signing in again failed: ") + error.what());
    }
}

void DownloadRun::loseSession(const std::string& why) {
    session_->lost = why;
    throw SessionLost(why);
}

void DownloadRun::fetch(const std::string& url, const std::string* form) {
    int timeouts = 0;
    for (int attempt = 1;; ++attempt) {
        std::exception_ptr failure;
        std::string reason;
        try {
            if (form != nullptr) {
                ++session_->posts;
                ie_.Navigate(url, *form, std::string(LoginFormHeaders));
            } else {
                ie_.Navigate(url);
            }
            ie_.WaitForPage();
            reason = transientReason(PageLoader::Failure::None, ie_.httpStatus());
        } catch (const Error&) {
            reason = transientReason(ie_.failure(), 0);
            if (reason.empty()) {
                throw;
            }
            failure = std::current_exception();
            timeouts += ie_.failure() == PageLoader::Failure::TimedOut ? 1 : 0;
        }
        // After an Abort nothing is tried again.
        const bool again = !reason.empty() && attempt < policy_.tries && timeouts < policy_.timeoutTries &&
                           (form == nullptr || session_->posts < policy_.signInPosts) && !host_.cancelled();
        if (again) {
            const auto wait = retryWait(policy_, attempt, failure ? std::string() : ie_.retryAfter(),
                                        QDateTime::currentDateTimeUtc());
            host_.log("  Retrying in " + describeDuration(wait) + " (" + reason + "): " + url);
            host_.waitBeforeRetry(wait);
            if (!host_.cancelled()) {
                continue;
            }
        }
        // The last try stands: its failure is raised, or its page is judged by the caller as any page.
        if (failure) {
            std::rethrow_exception(failure);
        }
        return;
    }
}

void DownloadRun::loadPage(const std::string& url, std::string_view marker) {
    if (!session_->lost.empty()) {
        throw SessionLost(session_->lost);
    }
    for (;;) {
        fetch(url, nullptr);
        if (!signedOut(marker)) {
            ++session_->pages;
            return;
        }
        signInAgain();
    }
}

bool DownloadRun::signedOut(std::string_view marker) const {
    try {
        return isSignInPage(ie_.Document(), marker);
    } catch (const Error&) {
        return false; // no page to judge: the caller reports it as it would any other
    }
}

void DownloadRun::readLastRun() {
    const std::string path = creditsFilePath(host_.recordsPath());
    if (host_.recordsPath().empty() || !QFileInfo::exists(QFile::decodeName(path.c_str()))) {
        return;
    }
    try {
        KnownCredits known = readKnownCredits(viewOf(readRegularFile(path, "the last run's credits file")));
        const CreditsOwner& owner = known.owner;
        if (owner.service == endpoint_ && equalsIgnoreAsciiCase(owner.user, user_) &&
            owner.account == host_.account()) {
            lastRun_ = std::make_unique<LastRun>(std::move(known));
        }
    } catch (const Error& error) {
        host_.log(std::string("  The last run's QSOs are not at hand: ") + error.what());
    }
}

void DownloadRun::takeListedFromLastRun(int index) {
    if (!lastRun_) {
        return;
    }
    const std::string_view award = AwardIds[static_cast<std::size_t>(index)];
    for (const KnownCredit& credit : lastRun_->credits()) {
        if (std::find(credit.awards.begin(), credit.awards.end(), award) != credit.awards.end()) {
            lists_.creditUrls.add(credit.address);
            lists_.credits.addListed(credit.address, static_cast<std::size_t>(index));
        }
    }
}

std::string DownloadRun::keepFromLastRun(const KnownCredit* credit, const std::string& address) {
    if (credit == nullptr) {
        return {};
    }
    std::string line = host_.phoneToSsb() ? withPhoneAsSsb(credit->pageLine) : credit->pageLine;
    lists_.records.add(line);
    lists_.credits.addLine(line, address, credit->pageLine);
    return line;
}

void DownloadRun::save() {
    const std::string recordsPath = host_.recordsPath();
    const std::vector<std::string> lines = lists_.records.lines();
    saveLinesToFile(lines, recordsPath);

    std::vector<CreditsCollector::LineCredits> credits;
    credits.reserve(lines.size());
    for (const std::string& line : lines) {
        credits.push_back(lists_.credits.creditsOfLine(line));
    }
    std::vector<CreditsRecord> records;
    records.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        records.push_back({.line = lines[i],
                           .credits = creditsGrantedBy(credits[i].awards),
                           .awards = awardIdsOf(credits[i].awards),
                           .address = credits[i].address,
                           .pageLine = credits[i].pageLine});
    }
    const CreditsHeader header{.owner = {.service = endpoint_, .user = user_, .account = account_},
                               .programVersion = AWARDSYNC_VERSION,
                               .created = QDateTime::currentDateTimeUtc()};
    saveCreditsFile(header, records, creditsFilePath(recordsPath));
}

} // namespace awardsync
