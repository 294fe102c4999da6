// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/error.h"
#include "service/login.h"
#include "service/page_loader.h"
#include "tests/support/mock_service.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <string>
#include <strings.h>
#include <vector>

using awardsync::checkLoginAnswer;
using awardsync::Error;
using awardsync::loginFormBody;
using awardsync::LoginFormHeaders;
using awardsync::loginToService;
using awardsync::PageLoader;
using awardsync::testing::MockService;
using awardsync::testing::pumpForTests;
using awardsync::testing::trustMockCertificate;

namespace {

// The error a call raised, or "" when it returned normally.
template <typename F> std::string errorOf(F&& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return {};
}

std::string jsonString(const std::string& text) {
    const QJsonObject holder{{"v", QString::fromStdString(text)}};
    const std::string json = QJsonDocument(holder).toJson(QJsonDocument::Compact).toStdString();
    return json.substr(5, json.size() - 6); // the quoted value of {"v":...}
}

std::string scenarioFor(const std::string& user, const std::string& password, const std::string& extraLogin = "") {
    return R"({"login": {"user": )" + jsonString(user) + R"(, "password": )" + jsonString(password) + extraLogin +
           R"(}, "qsos": {"1": {"call": "Q1ABC", "band": "20M"}}})";
}

TEST(LoginAnswer, MarkerTestsInTheirOrderAndCaseSensitive) {
    struct Case {
        std::string page;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"Welcome\tYour QSOs\nYour Awards", ""},
        {"Sign in\nUsername/password incorrect", "Username/password incorrect"},
        {"Username/password incorrect Your QSOs", "Username/password incorrect"},
        {"Your QSOs ... Username/password incorrect", "Username/password incorrect"},
        {"your qsos", "Page download failed"},
        {"YOUR QSOS", "Page download failed"},
        {"username/password incorrect", "Page download failed"},
        {"Your  QSOs", "Page download failed"},
        {"", "Page download failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(errorOf([&] { checkLoginAnswer(c.page); }), c.expected);
    }
}

TEST(LoginForm, BodyEncodesOnlyTheTwoValues) {
    EXPECT_EQ(loginFormBody("", ""), "login=&password=");
    EXPECT_EQ(loginFormBody("", "").size(), 16u);
    EXPECT_EQ(loginFormBody("Q1 AB9", "a&b=c"), "login=Q%31+AB%39&password=a%26b%3Dc");
    EXPECT_EQ(LoginFormHeaders, "Content-type: application/x-www-form-urlencoded\r\n");
    EXPECT_EQ(LoginFormHeaders.size(), 49u);
}

TEST(LoginToService, OutcomeFollowsTheAnswerPage) {
    struct Case {
        std::string name;
        std::string loginOptions; // extra keys of the scenario's "login" object
        std::string password;     // the one typed
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"right credentials", "", "s3cret", ""},
        {"wrong password", "", "wrong", "Username/password incorrect"},
        {"both markers on the page", R"(, "success_page": "<p>Your QSOs</p><p>Username/password incorrect</p>")",
         "s3cret", "Username/password incorrect"},
        {"marker in small letters", R"(, "success_page": "<p>your qsos</p>")", "s3cret", "Page download failed"},
        {"empty page", R"(, "success_page": "")", "s3cret", "Page download failed"},
        {"answer without a redirect", R"(, "redirect": false)", "s3cret", ""},
        {"redirect with 302", R"(, "redirect_status": 302)", "s3cret", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MockService mock(scenarioFor("Q1ABC", "s3cret", c.loginOptions));
        trustMockCertificate(mock);
        PageLoader loader(pumpForTests);
        EXPECT_EQ(errorOf([&] { loginToService(loader, mock.endpoint(), "Q1ABC", c.password); }), c.expected);
    }
}

TEST(LoginToService, SendsTheFormBytesAndHeaderExactly) {
    const std::string user = "Q1 AB9&=\xC3\xA9"; // a blank, a digit, "&", "=" and a non-ASCII letter
    const std::string password = "p w0%+";
    MockService mock(scenarioFor(user, password));
    trustMockCertificate(mock);
    PageLoader loader(pumpForTests);
    loginToService(loader, mock.endpoint(), user, password);

    const auto requests = mock.requests();
    ASSERT_GE(requests.size(), 1u);
    const auto& post = requests.front();
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.target, "/lotwuser/default");
    EXPECT_EQ(post.body, "login=Q%31+AB%39%26%3D%C3%A9&password=p+w%30%25%2B");
    EXPECT_EQ(post.header("Content-Length"), std::to_string(post.body.size()));
    // The header goes out once, with the name as the program writes it.
    std::vector<std::string> contentTypeNames;
    for (const auto& [name, value] : post.headers) {
        if (strcasecmp(name.c_str(), "Content-Type") == 0) {
            contentTypeNames.push_back(name);
        }
    }
    EXPECT_EQ(contentTypeNames, std::vector<std::string>{"Content-type"});
    EXPECT_EQ(post.header("Content-Type"), "application/x-www-form-urlencoded");
    // The service read back exactly what was typed.
    EXPECT_EQ(post.form.at("login"), user);
    EXPECT_EQ(post.form.at("password"), password);
}

TEST(LoginToService, SessionCarriesToLaterPagesOfTheSameLoader) {
    MockService mock(scenarioFor("Q1ABC", "s3cret"));
    trustMockCertificate(mock);
    PageLoader loader(pumpForTests);
    loginToService(loader, mock.endpoint(), "Q1ABC", "s3cret");
    loader.Navigate(mock.endpoint() + "/lotwuser/qsodetail?qso=1");
    loader.WaitForPage();
    EXPECT_NE(loader.Document().body().innerText().find("Worked Station"), std::string::npos);

    // Cookies live in the loader's memory only: another loader is signed out.
    PageLoader other(pumpForTests);
    other.Navigate(mock.endpoint() + "/lotwuser/qsodetail?qso=1");
    other.WaitForPage();
    EXPECT_EQ(other.Document().body().innerText().find("Worked Station"), std::string::npos);

    const auto requests = mock.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].target, "/lotwuser/default");
    EXPECT_FALSE(requests[0].cookie);
    EXPECT_EQ(requests[1].target, "/lotwuser/home");
    EXPECT_TRUE(requests[1].cookie);
    EXPECT_EQ(requests[2].target, "/lotwuser/qsodetail?qso=1");
    EXPECT_TRUE(requests[2].cookie);
    EXPECT_FALSE(requests[3].cookie);
}

TEST(LoginToService, NetworkFailureIsRaisedAsIs) {
    const std::string endpoint = [] {
        MockService gone("{}");
        gone.stop();
        return gone.endpoint();
    }();
    PageLoader loader(pumpForTests);
    EXPECT_EQ(errorOf([&] { loginToService(loader, endpoint, "Q1ABC", "s3cret"); }),
              "Could not load " + endpoint + "/lotwuser/default: Connection refused");
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runTestsWithCoreApplication(argc, argv);
}
