// SPDX-License-Identifier: GPL-3.0-or-later
// 2,000 small detail pages fetched and read one after another by the page loader (over one kept-alive
// connection), against curl fetching the same 2,000 addresses in one process with keep-alive, both
// measured in the same run against the same mock service. Reading a page means what the detail-page
// step does: find the "Worked Station" row and read the three-cell rows after it.
// Usage: bench_page_fetch [runs]
#include "bench_support.h"
#include "core/error.h"
#include "service/login.h"
#include "service/page_loader.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

constexpr int PageCount = 2000;
constexpr const char* Session = "bench-session";

std::string detailUrl(const awardsync::testing::MockService& mock, int index) {
    return mock.endpoint() + "/lotwuser/qsodetail?qso=" + std::to_string(index + 1);
}

// The fields of a detail page, as the detail-page step reads them; returns how many were found.
int readFields(const awardsync::HtmlDocument& document) {
    const awardsync::HtmlElement body = document.body();
    if (body.innerHTML().find("Worked Station") == std::string::npos) {
        throw awardsync::Error("not a detail page");
    }
    const auto rows = body.getElementsByTagName("TR");
    int fields = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].innerText() != "Worked Station") {
            continue;
        }
        for (std::size_t j = i + 1; j < rows.size(); ++j) {
            const auto cells = rows[j].getElementsByTagName("TD");
            if (cells.size() == 3 && !cells[0].innerText().empty() && !cells[2].innerText().empty()) {
                ++fields;
            }
        }
        break;
    }
    return fields;
}

struct Result {
    double msPerPage;
    std::size_t connections;
    std::size_t signedInRequests;
};

Result summarize(const awardsync::testing::MockService& mock, std::size_t firstRequest, double seconds) {
    const auto requests = mock.requests();
    std::set<int> ports;
    std::size_t signedIn = 0;
    for (std::size_t i = firstRequest; i < requests.size(); ++i) {
        ports.insert(requests[i].remotePort);
        signedIn += requests[i].cookie ? 1 : 0;
    }
    return {seconds * 1000.0 / PageCount, ports.size(), signedIn};
}

Result runLoader(const awardsync::testing::MockService& mock) {
    awardsync::PageLoader loader(
        [] { QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents); });
    awardsync::loginToService(loader, mock.endpoint(), "TEST", "test");
    const std::size_t firstRequest = mock.requests().size();
    int fields = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < PageCount; ++i) {
        loader.Navigate(detailUrl(mock, i));
        loader.WaitForPage();
        fields += readFields(loader.Document());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (fields < PageCount * 5) {
        throw awardsync::Error("the pages did not hold their fields");
    }
    return summarize(mock, firstRequest, seconds);
}

Result runCurl(const awardsync::testing::MockService& mock, bool compressed) {
    const std::string config = mock.folder() + "/curl-urls.conf";
    {
        std::ofstream out(config);
        for (int i = 0; i < PageCount; ++i) {
            out << "url = \"" << detailUrl(mock, i) << "\"\noutput = \"/dev/null\"\n";
        }
    }
    const std::string command = "curl --noproxy '*' --silent --show-error --cacert '" + mock.certFile() +
                                "' --cookie 'lotw_session=" + Session + "'" + (compressed ? " --compressed" : "") +
                                " --config '" + config + "'";
    const std::size_t firstRequest = mock.requests().size();
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        throw awardsync::Error("curl failed: " + command);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summarize(mock, firstRequest, seconds);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = bench::runsFromArguments(argc, argv, 5);
    try {
        awardsync::testing::MockService mock(R"({"login": {"preset_sessions": [")" + std::string(Session) +
                                                 R"("]}, "generate": {"count": )" + std::to_string(PageCount) + "}}",
                                             bench::mockOptions());
        awardsync::testing::trustMockCertificate(mock);

        // Ask curl for compressed pages exactly when the loader does, so both fetch the same bytes.
        runLoader(mock);
        const auto requests = mock.requests();
        const std::string encoding = requests.back().header("Accept-Encoding");
        const bool compressed = !encoding.empty();
        std::printf("loader sends Accept-Encoding: \"%s\"; curl %s\n", encoding.c_str(),
                    compressed ? "uses --compressed" : "asks for plain bodies");

        std::vector<double> loaderMs;
        std::vector<double> curlMs;
        std::vector<double> ratios;
        for (int run = 0; run < runs; ++run) {
            const Result loader = runLoader(mock);
            const Result curl = runCurl(mock, compressed);
            std::printf("run %d: loader %.3f ms/page (%zu connection(s), %zu signed-in pages); curl %.3f ms/page "
                        "(%zu connection(s), %zu signed-in pages); ratio %.2f\n",
                        run + 1, loader.msPerPage, loader.connections, loader.signedInRequests, curl.msPerPage,
                        curl.connections, curl.signedInRequests, loader.msPerPage / curl.msPerPage);
            loaderMs.push_back(loader.msPerPage);
            curlMs.push_back(curl.msPerPage);
            ratios.push_back(loader.msPerPage / curl.msPerPage);
        }
        std::printf("median of %d runs, %d pages each: loader %.3f ms/page, curl %.3f ms/page, ratio %.2f\n", runs,
                    PageCount, bench::median(loaderMs), bench::median(curlMs), bench::median(ratios));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_page_fetch: %s\n", error.what());
        return 1;
    }
    return 0;
}
