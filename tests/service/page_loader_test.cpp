// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/error.h"
#include "service/page_loader.h"
#include "tests/support/mock_service.h"

#include <QByteArray>
#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using awardsync::Error;
using awardsync::PageLoader;
using awardsync::testing::MockOptions;
using awardsync::testing::MockService;
using awardsync::testing::pumpForTests;
using awardsync::testing::trustMockCertificate;
using namespace std::chrono_literals;

namespace {

// Loads the page and returns the error that the wait raised, or "" when it loaded.
std::string loadError(PageLoader& loader, const std::string& url) {
    try {
        loader.Navigate(url);
        loader.WaitForPage();
    } catch (const Error& error) {
        return error.what();
    }
    return {};
}

std::string documentError(const PageLoader& loader) {
    try {
        loader.Document();
    } catch (const Error& error) {
        return error.what();
    }
    return {};
}

std::string base64(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toBase64().toStdString();
}

// Pages that need no session: every one of them is a fault or a body of its own.
const char* const FaultScenario = R"({
  "faults": [
    {"path": "/stall", "kind": "stall", "ms": 20000},
    {"path": "/half", "kind": "close_mid_body"},
    {"path": "/loop", "kind": "redirect_loop"},
    {"path": "/to-http", "kind": "redirect", "location": "http://127.0.0.1:9/lotwuser/default"},
    {"path": "/big", "kind": "oversized"},
    {"path": "/big-chunked", "kind": "oversized", "chunked": true, "bytes": 3000000},
    {"path": "/huge-chunked", "kind": "oversized", "chunked": true},
    {"path": "/error", "kind": "status", "status": 500},
    {"path": "/text", "kind": "non_html"},
    {"path": "/binary", "kind": "non_html", "content_type": "application/octet-stream"},
    {"path": "/slow", "kind": "delay", "ms": 20000}
  ]
})";

class PageLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { trustMockCertificate(mock); }

    MockService mock{FaultScenario};
    std::unique_ptr<PageLoader> loader = std::make_unique<PageLoader>(pumpForTests);
};

TEST_F(PageLoaderTest, RefusesAddressesThatAreNotHttps) {
    const std::string plain = "http://127.0.0.1:" + std::to_string(mock.port()) + "/lotwuser/default";
    for (const std::string& url : {plain, std::string("ftp://127.0.0.1/x"), std::string("file:///etc/passwd"),
                                   std::string("lotw.example.org/lotwuser/default"), std::string()}) {
        SCOPED_TRACE(url);
        const std::string expected = "Refused to load \"" + url + "\": only https addresses are loaded";
        EXPECT_EQ(loadError(*loader, url), expected);
        EXPECT_EQ(loader->ReadyState(), PageLoader::ReadyStateComplete);
        // The refusal stays the outcome of this navigation; no earlier page shows through.
        try {
            loader->WaitForPage();
            ADD_FAILURE() << "the wait did not raise";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()), expected);
        }
        EXPECT_NE(documentError(*loader), "");
    }
    EXPECT_TRUE(mock.requests().empty());
}

TEST_F(PageLoaderTest, EachFaultEndsTheWaitWithOneClearError) {
    struct Case {
        std::string path;
        std::chrono::milliseconds idleTimeout;
        std::chrono::milliseconds totalTimeout;
        std::int64_t maxBodySize;
        std::string expectedStart; // after "<url>"
        std::string expectedWord;  // a word the network layer's reason must contain
    };
    const std::vector<Case> cases = {
        {"/stall", 300ms, 60s, 32 << 20, ": nothing received for 300 ms", ""},
        {"/stall", 60s, 400ms, 32 << 20, ": still loading after 400 ms", ""},
        {"/slow", 60s, 400ms, 32 << 20, ": still loading after 400 ms", ""},
        {"/big", 60s, 60s, 32 << 20, ": the page is larger than 32 MiB", ""},
        {"/big-chunked", 60s, 60s, 1 << 20, ": the page is larger than 1 MiB", ""},
        // 40 MiB of one repeated paragraph: the network layer must not take it in some other way.
        {"/huge-chunked", 60s, 60s, 32 << 20, ": the page is larger than 32 MiB", ""},
        {"/half", 60s, 60s, 32 << 20, ": ", "closed"},
        {"/loop", 60s, 60s, 32 << 20, ": ", "redirect"},
        {"/to-http", 60s, 60s, 32 << 20, ": ", "insecure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        loader->setIdleTimeout(c.idleTimeout);
        loader->setTotalTimeout(c.totalTimeout);
        loader->setMaxBodySize(c.maxBodySize);
        const std::string url = mock.endpoint() + c.path;
        const std::string message = loadError(*loader, url);
        const std::string prefix =
            (c.expectedStart.rfind(": still", 0) == 0 || c.expectedStart.rfind(": nothing", 0) == 0
                 ? "Timed out loading "
                 : "Could not load ") +
            url + c.expectedStart;
        EXPECT_EQ(message.substr(0, prefix.size()), prefix) << message;
        if (c.expectedWord.empty()) {
            EXPECT_EQ(message, prefix);
        } else {
            EXPECT_NE(
                QString::fromStdString(message).indexOf(QString::fromStdString(c.expectedWord), 0, Qt::CaseInsensitive),
                -1)
                << message;
        }
        EXPECT_EQ(loader->ReadyState(), PageLoader::ReadyStateComplete);
        EXPECT_NE(documentError(*loader), "");
    }
    // The loader is fine for the next page after all of that.
    loader->setIdleTimeout(60s);
    loader->setTotalTimeout(300s);
    EXPECT_EQ(loadError(*loader, mock.endpoint() + "/lotwuser/default"), "");
    EXPECT_NE(loader->Document().body().innerText().find("Sign in"), std::string::npos);
}

TEST_F(PageLoaderTest, AnHttpErrorStatusStillGivesAPage) {
    EXPECT_EQ(loadError(*loader, mock.endpoint() + "/error"), "");
    EXPECT_NE(loader->Document().body().innerText().find("500 Internal Server Error"), std::string::npos);
    EXPECT_EQ(loadError(*loader, mock.endpoint() + "/no/such/page"), "");
    EXPECT_NE(loader->Document().body().innerText().find("404 Not Found"), std::string::npos);
}

TEST_F(PageLoaderTest, ABodyThatIsNotHtmlIsNoDocument) {
    for (const std::string path : {"/text", "/binary"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(loadError(*loader, mock.endpoint() + path), "");
        EXPECT_EQ(documentError(*loader), "Interface not supported");
    }
}

TEST_F(PageLoaderTest, ConnectionFailuresNameTheAddressAndTheReason) {
    const std::string refusedUrl = [] {
        MockService gone("{}");
        const std::string url = gone.endpoint() + "/lotwuser/default";
        gone.stop();
        return url;
    }();
    EXPECT_EQ(loadError(*loader, refusedUrl), "Could not load " + refusedUrl + ": Connection refused");

    // Only the system's authorities: the mock's own certificate is not trusted.
    PageLoader::configureTls("");
    auto untrusted = std::make_unique<PageLoader>(pumpForTests);
    const std::string url = mock.endpoint() + "/lotwuser/default";
    const std::string message = loadError(*untrusted, url);
    EXPECT_EQ(message.rfind("Could not load " + url + ": SSL handshake failed", 0), 0u) << message;
    EXPECT_NE(message.find("certificate"), std::string::npos) << message;

    // A trusted certificate made for another host name.
    MockOptions options;
    options.certHost = "other.example";
    MockService otherHost("{}", options);
    trustMockCertificate(otherHost);
    auto mismatched = std::make_unique<PageLoader>(pumpForTests);
    const std::string otherUrl = otherHost.endpoint() + "/lotwuser/default";
    const std::string otherMessage = loadError(*mismatched, otherUrl);
    EXPECT_EQ(otherMessage.rfind("Could not load " + otherUrl + ": SSL handshake failed", 0), 0u) << otherMessage;
    EXPECT_NE(otherMessage.find("host name did not match"), std::string::npos) << otherMessage;
}

TEST(PageLoaderContent, BodiesAreReadInTheirCharset) {
    struct Case {
        std::string contentType;
        std::string body;
        std::string expectedText; // UTF-8
    };
    const std::vector<Case> cases = {
        {"text/html; charset=utf-8", "<p>Bj\xC3\xB6rn</p>", "Bj\xC3\xB6rn"},
        {"text/html; charset=ISO-8859-1", "<p>Bj\xF6rn</p>", "Bj\xC3\xB6rn"},
        {"text/html; charset=\"iso-8859-1\"", "<p>Bj\xF6rn</p>", "Bj\xC3\xB6rn"},
        {"text/html", "<meta charset=\"iso-8859-1\"><p>Bj\xF6rn</p>", "Bj\xC3\xB6rn"},
        {"text/html", "\xEF\xBB\xBF<p>Bj\xC3\xB6rn</p>", "Bj\xC3\xB6rn"},
        {"TEXT/HTML", "<p>plain</p>", "plain"},
        {"application/xhtml+xml", "<p>xhtml</p>", "xhtml"},
        {"", "<p>no type</p>", "no type"},
    };
    std::string faults;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        faults += std::string(i == 0 ? "" : ",") + R"({"path": "/page)" + std::to_string(i) +
                  R"(", "kind": "content", "content_type": ")" +
                  [&] {
                      std::string escaped;
                      for (char c : cases[i].contentType) {
                          escaped += c == '"' ? std::string("\\\"") : std::string(1, c);
                      }
                      return escaped;
                  }() +
                  R"(", "body_base64": ")" + base64(cases[i].body) + "\"}";
    }
    MockService mock(R"({"faults": [)" + faults + "]}");
    trustMockCertificate(mock);
    PageLoader loader(pumpForTests);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].contentType);
        EXPECT_EQ(loadError(loader, mock.endpoint() + "/page" + std::to_string(i)), "");
        EXPECT_EQ(loader.Document().body().innerText(), cases[i].expectedText);
    }
}

TEST_F(PageLoaderTest, ReadyStateFollowsTheNavigation) {
    EXPECT_EQ(loader->ReadyState(), 0u);
    EXPECT_THROW(loader->WaitForPage(), Error);
    EXPECT_THROW(loader->Document(), Error);

    int pumps = 0;
    PageLoader counted([&pumps] {
        ++pumps;
        pumpForTests();
    });
    counted.Navigate(mock.endpoint() + "/lotwuser/default");
    EXPECT_LT(counted.ReadyState(), PageLoader::ReadyStateComplete);
    EXPECT_THROW(counted.Document(), Error);
    counted.WaitForPage();
    EXPECT_EQ(counted.ReadyState(), PageLoader::ReadyStateComplete);
    EXPECT_GT(pumps, 0);
    // A page that is already complete is returned without pumping.
    const int before = pumps;
    counted.WaitForPage();
    EXPECT_EQ(pumps, before);
}

TEST_F(PageLoaderTest, ANewNavigationReplacesAPageStillLoading) {
    loader->Navigate(mock.endpoint() + "/slow");
    loader->Navigate(mock.endpoint() + "/lotwuser/default");
    loader->WaitForPage();
    EXPECT_NE(loader->Document().body().innerText().find("Sign in"), std::string::npos);
}

TEST_F(PageLoaderTest, DestroyingTheLoaderDuringALoadIsClean) {
    loader->Navigate(mock.endpoint() + "/slow");
    // Let the request reach the service before the loader goes away.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (mock.requests().empty() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(5ms);
    }
    loader.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(mock.requests().size(), 1u);
}

TEST_F(PageLoaderTest, LinksResolveAgainstTheAddressAfterRedirects) {
    const std::string scenario = R"({"login": {"user": "U", "password": "P"}})";
    MockService service(scenario);
    trustMockCertificate(service);
    PageLoader session(pumpForTests);
    session.Navigate(service.endpoint() + "/lotwuser/default", "login=U&password=P",
                     "Content-type: application/x-www-form-urlencoded\r\n");
    session.WaitForPage();
    EXPECT_EQ(session.Document().baseUrl(), service.endpoint() + "/lotwuser/home");
    const auto links = session.Document().body().getElementsByTagName("A");
    ASSERT_FALSE(links.empty());
    EXPECT_EQ(links.front().href(), service.endpoint() + "/lotwuser/default");
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runTestsWithCoreApplication(argc, argv);
}
