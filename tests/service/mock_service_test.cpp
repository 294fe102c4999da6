// SPDX-License-Identifier: GPL-3.0-or-later
// The mock service is the stand-in for the award service in every end-to-end test, the bench
// programs and the demo; these tests pin down the behaviour those rely on.
#include "core/error.h"
#include "harvest/award_ids.h"
#include "scenario.h"
#include "service/login.h"
#include "service/page_loader.h"
#include "tests/support/mock_service.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

using awardsync::AwardIds;
using awardsync::Error;
using awardsync::loginToService;
using awardsync::PageLoader;
using awardsync::testing::MockService;
using awardsync::testing::pumpForTests;
using awardsync::testing::trustMockCertificate;

namespace {

std::string creditListTarget(const std::string& award, int account = 1) {
    return "/lotwuser/accountcredits?awg_id=DXCC&ac_acct=" + std::to_string(account) + "&ac_view=allc&aw_id=" + award +
           "&ac_order=1";
}

std::string creditListUrl(const MockService& mock, const std::string& award, int account = 1) {
    return mock.endpoint() + creditListTarget(award, account);
}

std::string pageText(PageLoader& loader, const std::string& url) {
    loader.Navigate(url);
    loader.WaitForPage();
    return loader.Document().body().innerText();
}

// The resolved targets of the bold links in the credits table, in page order.
std::vector<std::string> creditedLinks(PageLoader& loader, const std::string& url) {
    loader.Navigate(url);
    loader.WaitForPage();
    std::vector<std::string> links;
    for (const auto& link : loader.Document().getElementById("creditsTable").getElementsByTagName("A")) {
        if (link.innerHTML().find("<B>") != std::string::npos) {
            links.push_back(link.href());
        }
    }
    return links;
}

bool hasMarker(const std::string& text) {
    for (const char* marker : {"Your QSOs", "creditsTable", "Worked Station"}) {
        if (text.find(marker) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// An answer as it arrived, with what the page loader does not show.
struct RawAnswer {
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    std::string contentType;
    std::string retryAfter;
    std::string body;

    bool isDetailPage() const {
        return error == QNetworkReply::NoError && status == 200 && contentType.starts_with("text/html") &&
               body.find("Worked Station") != std::string::npos;
    }
};

// Requests straight through Qt Network (redirects not followed), several in flight at once when
// asked; the cookie jar keeps the session of the last sign-in.
class RawClient {
public:
    explicit RawClient(const MockService& mock) : endpoint_(mock.endpoint()) {
        network_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }

    void signIn() {
        QNetworkRequest request(QUrl(QString::fromStdString(endpoint_ + "/lotwuser/default")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        QNetworkReply* reply = network_.post(request, "login=TEST&password=test");
        EXPECT_EQ(finish({reply}).front().status, 303);
    }

    // Sends every request at once and returns the answers in the same order.
    std::vector<RawAnswer> get(const std::vector<std::string>& targets) {
        std::vector<QNetworkReply*> replies;
        for (const std::string& target : targets) {
            replies.push_back(network_.get(QNetworkRequest(QUrl(QString::fromStdString(endpoint_ + target)))));
        }
        return finish(replies);
    }
    RawAnswer get(const std::string& target) { return get(std::vector{target}).front(); }

private:
    std::vector<RawAnswer> finish(const std::vector<QNetworkReply*>& replies) {
        QEventLoop loop;
        std::size_t left = replies.size();
        for (QNetworkReply* reply : replies) {
            QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
                if (--left == 0) {
                    loop.quit();
                }
            });
        }
        loop.exec();
        std::vector<RawAnswer> answers;
        for (QNetworkReply* reply : replies) {
            answers.push_back({reply->error(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                               reply->header(QNetworkRequest::ContentTypeHeader).toString().toStdString(),
                               reply->rawHeader("Retry-After").toStdString(), reply->readAll().toStdString()});
            reply->deleteLater();
        }
        return answers;
    }

    std::string endpoint_;
    QNetworkAccessManager network_;
};

TEST(MockService, ShowsNoDataWithoutTheSessionCookie) {
    MockService mock(R"({"qsos": {"7": {"call": "Q1ABC"}}, "accounts": {"1": {"DXCC-CW": [7]}}})");
    trustMockCertificate(mock);
    PageLoader loader(pumpForTests);
    const std::vector<std::string> pages = {mock.endpoint() + "/lotwuser/home", creditListUrl(mock, "DXCC-CW"),
                                            mock.endpoint() + "/lotwuser/qsodetail?qso=7"};
    for (const std::string& url : pages) {
        SCOPED_TRACE(url);
        loader.Navigate(url);
        loader.WaitForPage();
        EXPECT_FALSE(hasMarker(loader.Document().body().innerHTML()));
        EXPECT_NE(loader.Document().body().innerText().find("Sign in"), std::string::npos);
    }
    loginToService(loader, mock.endpoint(), "TEST", "test");
    for (const std::string& url : pages) {
        SCOPED_TRACE(url);
        loader.Navigate(url);
        loader.WaitForPage();
        EXPECT_TRUE(hasMarker(loader.Document().body().innerHTML()));
    }
}

TEST(MockService, GeneratedAccountsListEveryQsoAndAreReproducible) {
    const std::string scenario = R"({"generate": {"account": 3, "count": 60, "seed": 11, "first_id": 500}})";
    MockService mock(scenario);
    MockService twin(scenario);
    trustMockCertificate(mock);
    PageLoader loader(pumpForTests);
    loginToService(loader, mock.endpoint(), "TEST", "test");

    std::map<std::string, int> categoriesOf;
    for (const char* award : AwardIds) {
        for (const std::string& link : creditedLinks(loader, creditListUrl(mock, award, 3))) {
            ++categoriesOf[link];
        }
    }
    ASSERT_EQ(categoriesOf.size(), 60u);
    EXPECT_EQ(categoriesOf.begin()->first.rfind(mock.endpoint() + "/lotwuser/qsodetail?qso=", 0), 0u);
    // Another account of the same service has no credits.
    EXPECT_TRUE(creditedLinks(loader, creditListUrl(mock, "DXCC-M", 1)).empty());

    // A detail page carries the fields a record is built from.
    const std::string detail = pageText(loader, mock.endpoint() + "/lotwuser/qsodetail?qso=500");
    for (const char* field : {"Worked", "Date/Time", "Mode", "DXCC", "Band", "QSL"}) {
        EXPECT_NE(detail.find(field), std::string::npos) << field;
    }

    // The same seed gives the same account.
    trustMockCertificate(twin);
    PageLoader twinLoader(pumpForTests);
    loginToService(twinLoader, twin.endpoint(), "TEST", "test");
    EXPECT_EQ(pageText(twinLoader, twin.endpoint() + "/lotwuser/qsodetail?qso=500"), detail);
}

// As the service does: in each category one QSO per entity (the Challenge: per entity and band,
// 160M to 6M), so most QSOs hold a band or mode credit without their entity's mixed one.
TEST(MockService, GeneratedAccountsCreditOneQsoPerEntityInEachCategory) {
    for (const int count : {300, 5000}) {
        SCOPED_TRACE(count);
        mock::Scenario scenario;
        mock::loadScenario(QByteArray::fromStdString(R"({"generate": {"count": )" + std::to_string(count) + "}}"),
                           scenario);
        ASSERT_EQ(scenario.qsos.size(), static_cast<std::size_t>(count));
        std::set<std::string> listed;
        for (const char* award : AwardIds) {
            const std::string_view name = award;
            std::set<std::string> credits;
            for (const std::string& id : scenario.accounts["1"][award].credited) {
                const mock::Qso& qso = scenario.qsos.at(id);
                const std::string band = qso.field("Band");
                EXPECT_TRUE(credits.insert(qso.field("DXCC") + (name == "DXCC-CHAL" ? band : "")).second) << award;
                EXPECT_TRUE(name != "DXCC-CHAL" || (band != "2M" && band.back() == 'M')) << band;
                EXPECT_TRUE(name != "DXCC-SAT" || qso.field("Propagation Mode") == "SAT") << id;
                listed.insert(id);
            }
        }
        EXPECT_EQ(listed.size(), scenario.qsos.size()) << "every QSO holds some credit";
        const std::size_t mixed = scenario.accounts["1"]["DXCC-M"].credited.size();
        EXPECT_LT(mixed * 3, scenario.qsos.size()) << "most QSOs hold no mixed credit";
        EXPECT_FALSE(scenario.accounts["1"]["DXCC-SAT"].credited.empty());
    }
}

TEST(MockService, LinkStylesResolveToTheSameDetailAddress) {
    for (const std::string style : {"relative", "absolute", "page-relative"}) {
        SCOPED_TRACE(style);
        MockService mock(R"({"links": ")" + style + R"(", "qsos": {"7": {"call": "Q1ABC"}, "8": {"call": "Q2ABC"}},
                             "accounts": {"1": {"DXCC-CW": {"qsos": [7, 7], "plain_links": [8]}}}})");
        trustMockCertificate(mock);
        PageLoader loader(pumpForTests);
        loginToService(loader, mock.endpoint(), "TEST", "test");
        const std::string expected = mock.endpoint() + "/lotwuser/qsodetail?qso=7";
        EXPECT_EQ(creditedLinks(loader, creditListUrl(mock, "DXCC-CW")),
                  (std::vector<std::string>{expected, expected}));
    }
}

TEST(MockService, FaultsApplyToTheirPathAndTheFirstRequestsOnly) {
    MockService mock(R"({"qsos": {"7": {"call": "Q1ABC"}, "8": {"call": "Q2ABC"}},
                         "faults": [{"path": "/lotwuser/qsodetail?qso=7", "kind": "status", "status": 500, "count": 2},
                                    {"path": "/lotwuser/qsodetail", "prefix": true, "method": "POST", "kind": "status"}]})");
    trustMockCertificate(mock);
    PageLoader loader(pumpForTests);
    loginToService(loader, mock.endpoint(), "TEST", "test");
    const std::string faulty = mock.endpoint() + "/lotwuser/qsodetail?qso=7";
    EXPECT_NE(pageText(loader, faulty).find("500 Internal Server Error"), std::string::npos);
    EXPECT_NE(pageText(loader, mock.endpoint() + "/lotwuser/qsodetail?qso=8").find("Worked Station"),
              std::string::npos);
    EXPECT_NE(pageText(loader, faulty).find("500 Internal Server Error"), std::string::npos);
    EXPECT_NE(pageText(loader, faulty).find("Worked Station"), std::string::npos);
}

// Whatever its kind, a fault with a count happens that many times, and then the page is served:
// the passing faults a retry must get over.
TEST(MockService, EveryFaultKindPassesAfterItsCount) {
    const struct {
        const char* fault;
        int status; // of the faulty answers; 0: not checked (the connection breaks)
        const char* retryAfter;
    } cases[] = {
        {R"("kind": "status", "status": 503, "retry_after": "2")", 503, "2"},
        {R"("kind": "status", "status": 429, "retry_after": "Wed, 21 Oct 2015 07:28:00 GMT")", 429,
         "Wed, 21 Oct 2015 07:28:00 GMT"},
        {R"("kind": "status")", 500, ""},
        {R"("kind": "close_mid_body")", 0, ""},
        {R"("kind": "stall", "ms": 0)", 0, ""},
        {R"("kind": "non_html")", 200, ""},
        {R"("kind": "content", "body": "<html><body>busy</body></html>")", 200, ""},
        {R"("kind": "oversized", "bytes": 100000)", 200, ""},
        {R"("kind": "redirect_loop")", 302, ""},
        {R"("kind": "redirect", "location": "/lotwuser/home")", 302, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        MockService mock(std::string(R"({"qsos": {"7": {"call": "Q1ABC"}},
                                         "faults": [{"path": "/lotwuser/qsodetail?qso=7", "count": 2, )") +
                         c.fault + "}]}");
        trustMockCertificate(mock);
        RawClient client(mock);
        client.signIn();
        for (int time = 0; time < 2; ++time) {
            const RawAnswer faulty = client.get("/lotwuser/qsodetail?qso=7");
            EXPECT_FALSE(faulty.isDetailPage());
            EXPECT_TRUE(c.status == 0 || faulty.status == c.status) << faulty.status;
            EXPECT_EQ(faulty.retryAfter, c.retryAfter);
        }
        const RawAnswer page = client.get("/lotwuser/qsodetail?qso=7");
        EXPECT_TRUE(page.isDetailPage()) << page.status << " " << page.body;
        EXPECT_EQ(page.retryAfter, "");
    }
}

// A session ends after its detail pages, as the service's do during a long run: then every page
// answers as to a stranger until the next sign-in, whose session counts afresh. Credit lists and
// faulty answers do not count, and pages asked for at once get no more than the session has left.
TEST(MockService, ASessionEndsAfterItsDetailPages) {
    MockService mock(R"({"login": {"session_pages": 4}, "qsos": {"7": {"call": "Q1ABC"}},
                         "accounts": {"1": {"DXCC-CW": [7]}},
                         "faults": [{"path": "/lotwuser/qsodetail?qso=7", "kind": "status", "status": 503,
                                     "count": 1}]})");
    trustMockCertificate(mock);
    RawClient client(mock);
    RawClient stranger(mock);
    const std::string detail = "/lotwuser/qsodetail?qso=7";
    for (int session = 1; session <= 2; ++session) {
        SCOPED_TRACE(session);
        client.signIn();
        if (session == 1) {
            EXPECT_EQ(client.get(detail).status, 503);
            EXPECT_NE(client.get(creditListTarget("DXCC-CW")).body.find("creditsTable"), std::string::npos);
        }
        const std::vector<RawAnswer> answers = client.get(std::vector<std::string>(6, detail));
        EXPECT_EQ(std::count_if(answers.begin(), answers.end(), [](const RawAnswer& a) { return a.isDetailPage(); }),
                  4);
        for (const std::string& target : {detail, creditListTarget("DXCC-CW"), std::string("/lotwuser/home")}) {
            SCOPED_TRACE(target);
            const RawAnswer ended = client.get(target);
            EXPECT_EQ(ended.status, 200);
            EXPECT_EQ(ended.body, stranger.get(target).body);
            EXPECT_FALSE(hasMarker(ended.body));
        }
    }
}

TEST(MockService, RefusesAScenarioItCannotServe) {
    for (const std::string scenario : {R"({"acounts": {}})", R"({"accounts": {"1": {"DXCC-CW": [99]}}})",
                                       R"({"faults": [{"path": "/x", "kind": "explode"}]})", "not json",
                                       R"({"faults": [{"path": "/x", "kind": "stall", "retry_after": "2"}]})",
                                       R"({"faults": [{"path": "/x", "kind": "status", "retry_after": 2}]})",
                                       R"({"login": {"session_pages": 0}})", R"({"login": {"session_pages": "80"}})"}) {
        SCOPED_TRACE(scenario);
        EXPECT_THROW(MockService{scenario}, std::runtime_error);
    }
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runTestsWithCoreApplication(argc, argv);
}
