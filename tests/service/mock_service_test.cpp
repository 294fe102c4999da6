// SPDX-License-Identifier: GPL-3.0-or-later
// The mock service is the stand-in for the award service in every end-to-end test, the bench
// programs and the demo; these tests pin down the behaviour those rely on.
#include "core/error.h"
#include "harvest/award_ids.h"
#include "scenario.h"
#include "service/login.h"
#include "service/page_loader.h"
#include "tests/support/mock_service.h"

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

std::string creditListUrl(const MockService& mock, const std::string& award, int account = 1) {
    return mock.endpoint() + "/lotwuser/accountcredits?awg_id=DXCC&ac_acct=" + std::to_string(account) +
           "&ac_view=allc&aw_id=" + award + "&ac_order=1";
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

TEST(MockService, RefusesAScenarioItCannotServe) {
    for (const std::string scenario : {R"({"acounts": {}})", R"({"accounts": {"1": {"DXCC-CW": [99]}}})",
                                       R"({"faults": [{"path": "/x", "kind": "explode"}]})", "not json"}) {
        SCOPED_TRACE(scenario);
        EXPECT_THROW(MockService{scenario}, std::runtime_error);
    }
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runTestsWithCoreApplication(argc, argv);
}
