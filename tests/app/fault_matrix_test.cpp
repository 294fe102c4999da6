// SPDX-License-Identifier: GPL-3.0-or-later
// The download run against a service that fails in every way we know of, at the login, at one
// credit-list page and at one QSO detail page. Each fault must give one clear log line, the run
// must go on where it should, the window must keep handling input while the faulty page is
// pending, and the records file must end up either untouched or complete.

#include "harvest/credit_list.h"
#include "service/page_loader.h"
#include "tests/support/files.h"
#include "tests/support/relay.h"
#include "tests/support/window_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrlQuery>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using awardsync::AwardIds;
using awardsync::testing::isIdle;
using awardsync::testing::logLines;
using awardsync::testing::MockOptions;
using awardsync::testing::MockRequest;
using awardsync::testing::MockService;
using awardsync::testing::readBytes;
using awardsync::testing::Relay;
using awardsync::testing::WindowRun;
using awardsync::testing::writeBytes;
using namespace std::chrono_literals;
using namespace std::string_literals;

// ---------------------------------------------------------------------------------------------
// The scenario: four credited QSOs, each row of the matrix loses at most one of them.

// A raw string with a delimiter of its own, since the modes hold ")" followed by a quote.
const char* const ScenarioStart = R"json({
  "login": {"user": "Q1ABC", "password": "matrix-pw"},
  "qsos": {
    "1001": {"call": "Q2AA", "datetime": "2009-07-14 18:05:00", "mode": "CW (CW)", "dxcc": "EXAMPLE ISLAND (1)",
             "band": "20M", "qsl": "Yes"},
    "1002": {"call": "Q3BB", "datetime": "2010-01-02 03:04:05", "mode": "PHONE (SSB)", "dxcc": "SOMEWHERE (291)",
             "band": "40M"},
    "1003": {"call": "Q4CC", "datetime": "2011-11-11 11:11:00", "mode": "DATA (FT8)", "dxcc": "ELSEWHERE (150)",
             "band": "6M", "qsl": "Yes"},
    "1004": {"call": "Q5DD", "datetime": "2012-12-24 23:59:59", "mode": "CW (CW)", "dxcc": "FARAWAY (9)",
             "band": "160M", "qsl": "Yes"}
  },
  "accounts": {"1": {"DXCC-M": [1001], "DXCC-CW": [1002], "DXCC-PH": [1003], "DXCC-20": [1001],
                     "DXCC-SAT": [1003, 1004]}},
  "faults": [)json";

// The record line of each QSO, in the records file's order.
const std::vector<std::pair<std::string, std::string>> RecordOf = {
    {"Q2AA", "Q2AA|001|2009/07/14|18:05:00|CW|20M|LoTW|"},
    {"Q3BB", "Q3BB|291|2010/01/02|03:04:05|SSB|40M|QSL|"},
    {"Q4CC", "Q4CC|150|2011/11/11|11:11:00|DATA|6M|LoTW|"},
    {"Q5DD", "Q5DD|009|2012/12/24|23:59:59|CW|160M|LoTW|"},
};

const char* const OldRecords = "Q0OLD|001|2000/01/01|00:00:00|CW|20M|LoTW|\r\n";

// ---------------------------------------------------------------------------------------------
// The matrix.

enum class Target { Login, CreditList, Detail };
enum class Fault {
    ConnectionRefused,
    ClosedMidBody,
    Http500,
    Stall,
    CertificateForAnotherHost,
    RedirectLoop,
    NonHtmlBody,
    OversizedBody,
    MalformedHtml
};

struct Row {
    Target target;
    Fault fault;
    // The fault's log line after "  Login failed: " or "  Error: ", as a regular expression in
    // which {url} stands for the faulty page's address.
    std::string expected;
};

// The faulty pages: the login, the credit list of DXCC-CW (whose only QSO is Q3BB) and the detail
// page of Q4CC (read between Q3BB and Q5DD).
const char* const CreditListPath =
    "/lotwuser/accountcredits?awg_id=DXCC&ac_acct=1&ac_view=allc&aw_id=DXCC-CW&ac_order=1";
const char* const DetailPath = "/lotwuser/qsodetail?qso=1003";

std::string faultyPath(Target target) {
    switch (target) {
    case Target::Login:
        return "/lotwuser/default";
    case Target::CreditList:
        return CreditListPath;
    case Target::Detail:
        return DetailPath;
    }
    return {};
}

// The last log line before the faulty page is requested.
std::string lineBeforeFaultyPage(Target target) {
    switch (target) {
    case Target::Login:
        return "Logging in to LotW...";
    case Target::CreditList:
        return "  DXCC-CW";
    case Target::Detail:
        return "    Q3BB";
    }
    return {};
}

bool isConnectionFault(Fault fault) {
    return fault == Fault::ConnectionRefused || fault == Fault::CertificateForAnotherHost;
}

// Broken markup that mentions the page's marker only where it does not count: in the head, a
// comment, an attribute or a near miss of the marker row; with a NUL and bytes that are not UTF-8.
std::string malformedBody(Target target) {
    switch (target) {
    case Target::Login:
        return "<!DOCTYPE html><html><head><title>Your QSOs</title><script>document.write('Your QSOs')"
               "</script></head><body <div title=\"Your QSOs\"><p>Your <!-- QSOs --><table><tr><td>Q<<S>Os"
               "</td\x00><b><i>Sign \xC3\x28in</b></i><form method=post><input name=login value=\"Your QSOs\""s;
    case Target::CreditList:
        return "<html><body><h2>DXCC-CW credits</h2><!-- creditsTable --><table id=\"credits Table\" "
               "class=creditsTable><tr><td><a href=\"/lotwuser/qsodetail?qso=1002\"><b>Q3BB</a><td>\xFF\xFE<tr><td>"
               "<a href="s;
    case Target::Detail:
        return "<html><body><table><tr><td colspan=3><b>Worked Station:</b><tr><td>Worked<td>:<td>Q9ZZ<tr><td>DXCC"
               "<td>:<td>NOWHERE (999)<tr><td>Date/Time<td>:<td>2001-01-01 00:00:00<tr><td>Mode<td>:<td>CW (\xFF"s;
    }
    return {};
}

// The mock's fault for the row, or "" for faults of the connection, which the relay makes.
std::string faultJson(Fault fault, Target target) {
    const std::string start = R"({"path": ")" + faultyPath(target) + R"(", )";
    switch (fault) {
    case Fault::ConnectionRefused:
    case Fault::CertificateForAnotherHost:
        return "";
    case Fault::ClosedMidBody:
        return start + R"("kind": "close_mid_body"})";
    case Fault::Http500:
        return start + R"("kind": "status", "status": 500})";
    case Fault::Stall:
        return start + R"("kind": "stall", "ms": 60000})";
    case Fault::RedirectLoop:
        return start + R"("kind": "redirect_loop"})";
    case Fault::NonHtmlBody:
        return start + R"("kind": "non_html"})";
    case Fault::OversizedBody:
        // The login's answer announces its length; the other two come in chunks of unknown total.
        return start + R"("kind": "oversized", "bytes": 4194304, "chunked": )" +
               (target == Target::Login ? "false}" : "true}");
    case Fault::MalformedHtml:
        return start + R"("kind": "content", "body_base64": ")" +
               QByteArray::fromStdString(malformedBody(target)).toBase64().toStdString() + R"("})";
    }
    return "";
}

// The test names' parts, in the order of the enums.
const char* const TargetNames[] = {"Login", "CreditList", "Detail"};
const char* const FaultNames[] = {
    "ConnectionRefused", "ClosedMidBody", "Http500",       "Stall",        "CertificateForAnotherHost",
    "RedirectLoop",      "NonHtmlBody",   "OversizedBody", "MalformedHtml"};

const std::string Refused = "Could not load {url}: Connection refused";
const std::string Closed = "Could not load {url}: Connection closed";
const std::string Stalled = "Timed out loading {url}: nothing received for 2 s";
const std::string WrongHost =
    "Could not load {url}: SSL handshake failed: The host name did not match any of the valid hosts for this "
    "certificate";
const std::string Looped = "Could not load {url}: Too many redirects";
const std::string NotHtml = "Interface not supported";
const std::string TooLarge = "Could not load {url}: the page is larger than 1 MiB";

// A refused connection and a certificate for another host belong to a connection, not to a page.
// The relay still aims them at the one faulty page: just before it is asked for, the relay cuts
// the open connections and refuses (or diverts to a service with such a certificate) the new one;
// once the program has logged the fault, connections are served normally again.
const std::vector<Row> Matrix = {
    {Target::Login, Fault::ConnectionRefused, Refused},
    {Target::Login, Fault::ClosedMidBody, Closed},
    {Target::Login, Fault::Http500, "Page download failed"},
    {Target::Login, Fault::Stall, Stalled},
    {Target::Login, Fault::CertificateForAnotherHost, WrongHost},
    {Target::Login, Fault::RedirectLoop, Looped},
    {Target::Login, Fault::NonHtmlBody, NotHtml},
    {Target::Login, Fault::OversizedBody, TooLarge},
    {Target::Login, Fault::MalformedHtml, "Page download failed"},

    {Target::CreditList, Fault::ConnectionRefused, Refused},
    {Target::CreditList, Fault::ClosedMidBody, Closed},
    {Target::CreditList, Fault::Http500, "    Page download failed"},
    {Target::CreditList, Fault::Stall, Stalled},
    {Target::CreditList, Fault::CertificateForAnotherHost, WrongHost},
    {Target::CreditList, Fault::RedirectLoop, Looped},
    {Target::CreditList, Fault::NonHtmlBody, NotHtml},
    {Target::CreditList, Fault::OversizedBody, TooLarge},
    {Target::CreditList, Fault::MalformedHtml, "    Page download failed"},

    {Target::Detail, Fault::ConnectionRefused, Refused},
    {Target::Detail, Fault::ClosedMidBody, Closed},
    {Target::Detail, Fault::Http500, "   Page download failed\\. URL: {url}"},
    {Target::Detail, Fault::Stall, Stalled},
    {Target::Detail, Fault::CertificateForAnotherHost, WrongHost},
    {Target::Detail, Fault::RedirectLoop, Looped},
    {Target::Detail, Fault::NonHtmlBody, NotHtml},
    {Target::Detail, Fault::OversizedBody, TooLarge},
    {Target::Detail, Fault::MalformedHtml, "   Page download failed\\. URL: {url}"},
};

// ---------------------------------------------------------------------------------------------
// Helpers.

std::string escapeForRegex(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// The pages the mock served, by short name, repeats in a row counted once (a redirect loop asks
// for the same page many times): "login", "home", a category id, "qso=N".
std::vector<std::string> servedPages(const MockService& mock) {
    std::vector<std::string> pages;
    for (const MockRequest& request : mock.requests()) {
        const QUrl url(QString::fromStdString("https://host" + request.target));
        std::string name;
        if (url.path() == "/lotwuser/default") {
            name = "login";
        } else if (url.path() == "/lotwuser/home") {
            name = "home";
        } else if (url.path() == "/lotwuser/accountcredits") {
            name = QUrlQuery(url).queryItemValue("aw_id").toStdString();
        } else {
            name = url.query().toStdString();
        }
        if (pages.empty() || pages.back() != name) {
            pages.push_back(name);
        }
    }
    return pages;
}

// The scenario of a run whose one fault is `row`.
std::string scenarioFor(const Row& row) {
    return ScenarioStart + faultJson(row.fault, row.target) + "]}";
}

// One run of the window against the mock service behind the relay.
class MatrixRun : public WindowRun {
public:
    explicit MatrixRun(const Row& row) : WindowRun(scenarioFor(row)), row_(row) {
        relay_ = std::make_unique<Relay>(static_cast<quint16>(mock->port()));
        std::string certificates = readBytes(QString::fromStdString(mock->certFile()));
        if (row.fault == Fault::CertificateForAnotherHost) {
            MockOptions options;
            options.certHost = "other.example";
            otherHost_ = std::make_unique<MockService>(scenarioFor(row), options);
            // Trusted, but made out for another host than the one the program connects to.
            certificates += readBytes(QString::fromStdString(otherHost_->certFile()));
        }
        const QString caFile = dir.filePath("ca.pem");
        writeBytes(caFile, certificates);
        writeSettings("[Settings]\r\nCall=Q1ABC\r\nPassword=matrix-pw\r\nAccount=1\r\nSSB=1\r\n"
                      "[Service]\r\nEndpoint=" +
                      relay_->endpoint() + "\r\nCAFile=" + caFile.toStdString() + "\r\n");
        writeBytes(recordsPath(), OldRecords);
        onAbout = [this] { aboutShown(); };
        open();
        form->Ie->setIdleTimeout(row.fault == Fault::Stall ? 2s : 60s);
        form->Ie->setMaxBodySize(1024 * 1024);
        QObject::connect(form->RichEdit1, &QPlainTextEdit::textChanged, form.get(), [this] { onLogChanged(); });
    }

    ~MatrixRun() {
        form.reset(); // before the relay and the services it talks to
    }

    bool clickHandledWhilePending() const { return clickHandledWhilePending_; }

    // The address of the faulty page as the program asks for it.
    std::string faultyUrl() const { return relay_->endpoint() + faultyPath(row_.target); }

private:
    // Puts the fault in place just before the faulty page is requested, and takes it away again
    // once the program has logged it.
    void onLogChanged() {
        const QStringList lines = logLines(*form);
        if (!armed_ && lines.contains(QString::fromStdString(lineBeforeFaultyPage(row_.target)))) {
            armed_ = true;
            arm();
        }
        if (armed_ && !disarmed_ && std::any_of(lines.begin(), lines.end(), [](const QString& line) {
                return line.startsWith("  Error: ") || line.startsWith("  Login failed: ");
            })) {
            disarmed_ = true;
            relay_->restore();
        }
    }

    void arm() {
        if (row_.fault == Fault::ConnectionRefused) {
            relay_->refuse();
            // The connection fails at once: the click, sent before the page is asked for, must be
            // handled during the wait for it all the same.
            clickLogo();
            return;
        }
        if (row_.fault == Fault::CertificateForAnotherHost) {
            relay_->divertTo(static_cast<quint16>(otherHost_->port()));
        }
        // The faulty answer (or the other host's handshake) is held back until the window has
        // handled a click: the page is certainly pending then.
        relay_->hold([this] { clickLogo(); });
    }

    // Real input events through the event queue: a left click on the logo, which shows the About box.
    void clickLogo() {
        const QPointF where(5, 5);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
            // The event queue takes the event over.
            QCoreApplication::postEvent(form->Image1,
                                        std::make_unique<QMouseEvent>(type, where, form->Image1->mapToGlobal(where),
                                                                      Qt::LeftButton, held, Qt::NoModifier)
                                            .release());
        }
    }

    void aboutShown() {
        clickHandledWhilePending_ = form->Ie->ReadyState() < awardsync::PageLoader::ReadyStateComplete;
        relay_->release();
    }

    Row row_;
    std::unique_ptr<MockService> otherHost_;
    std::unique_ptr<Relay> relay_;
    bool armed_ = false;
    bool disarmed_ = false;
    bool clickHandledWhilePending_ = false;
};

// The lines of the tries again before a fault's error: a passing fault gets two, a page that never
// answers one (it costs two time-outs in all), any other fault none.
std::vector<std::string> retryLines(Fault fault, const std::string& url) {
    const char* reason = fault == Fault::ClosedMidBody ? "connection closed"
                         : fault == Fault::Http500     ? "HTTP 500"
                         : fault == Fault::Stall       ? "timed out"
                                                       : nullptr;
    if (reason == nullptr) {
        return {};
    }
    std::vector<std::string> lines = {"  Retrying in 1 ms \\(" + std::string(reason) + "\\): " + url};
    if (fault != Fault::Stall) {
        lines.push_back("  Retrying in 2 ms \\(" + std::string(reason) + "\\): " + url);
    }
    return lines;
}

// The whole log of a run whose one fault is `row`, with the fault's line as a regular expression.
std::vector<std::string> expectedLog(const Row& row, const std::string& faultyUrl) {
    std::string faultLine = row.expected;
    const std::string url = escapeForRegex(faultyUrl);
    const std::vector<std::string> retries = retryLines(row.fault, url);
    for (std::size_t at = faultLine.find("{url}"); at != std::string::npos; at = faultLine.find("{url}", at)) {
        faultLine.replace(at, 5, url);
        at += url.size();
    }
    std::vector<std::string> log = {escapeForRegex("Logging in to LotW...")};
    if (row.target == Target::Login) {
        log.insert(log.end(), retries.begin(), retries.end());
        log.push_back("  Login failed: " + faultLine);
        return log;
    }
    faultLine = "  Error: " + faultLine;
    log.insert(log.end(), {escapeForRegex("Logged in."), "", "Downloading credit lists"});
    for (const std::string category : AwardIds) {
        log.push_back("  " + category);
        if (row.target == Target::CreditList && category == "DXCC-CW") {
            log.insert(log.end(), retries.begin(), retries.end());
            log.push_back(faultLine);
        }
    }
    const bool withoutQ3BB = row.target == Target::CreditList;
    log.insert(log.end(), {"", std::string(withoutQ3BB ? "3" : "4") + " credits found\\.", "", "",
                           "Downloading QSO data\\.\\.\\.", ""});
    for (const auto& [call, record] : RecordOf) {
        if (call == "Q3BB" && withoutQ3BB) {
            continue;
        }
        if (row.target == Target::Detail && call == "Q4CC") {
            log.insert(log.end(), retries.begin(), retries.end());
            log.push_back(faultLine);
        } else {
            log.push_back("    " + call);
        }
    }
    log.push_back(withoutQ3BB ? "  3 credited QSOs: all read; 1 category failed"
                              : "  4 credited QSOs: 3 read, 1 missing \\(see the errors above\\)");
    log.insert(log.end(), {"", "Saving records\\.\\.\\.", "Done"});
    return log;
}

std::string expectedRecords(const Row& row) {
    if (row.target == Target::Login) {
        return OldRecords;
    }
    const std::string lost = row.target == Target::CreditList ? "Q3BB" : "Q4CC";
    std::string bytes;
    for (const auto& [call, record] : RecordOf) {
        if (call != lost) {
            bytes += record + "\r\n";
        }
    }
    return bytes;
}

std::vector<std::string> expectedPages(const Row& row) {
    const bool faultyPageServed = !isConnectionFault(row.fault);
    if (row.target == Target::Login) {
        return faultyPageServed ? std::vector<std::string>{"login"} : std::vector<std::string>{};
    }
    std::vector<std::string> pages = {"login", "home"};
    for (const std::string category : AwardIds) {
        if (category != "DXCC-CW" || row.target != Target::CreditList || faultyPageServed) {
            pages.push_back(category);
        }
    }
    for (const std::string& qso : std::vector<std::string>{"qso=1001", "qso=1002", "qso=1003", "qso=1004"}) {
        const bool lostWithItsList = row.target == Target::CreditList && qso == "qso=1002";
        const bool faultyDetail = row.target == Target::Detail && qso == "qso=1003";
        if (!lostWithItsList && (!faultyDetail || faultyPageServed)) {
            pages.push_back(qso);
        }
    }
    return pages;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(FaultMatrix, OneLineForTheFaultAndTheRunGoesOnWhereItShould) {
    const Row& row = GetParam();
    MatrixRun run(row);
    TMainForm& form = *run.form;
    ASSERT_TRUE(form.BitBtn1->isEnabled());
    form.BitBtn1->click();

    // One line for the fault, every other line as in a run without it.
    const QStringList lines = logLines(form);
    const std::vector<std::string> expected = expectedLog(row, run.faultyUrl());
    EXPECT_EQ(static_cast<std::size_t>(lines.size()), expected.size()) << form.RichEdit1->toPlainText().toStdString();
    for (std::size_t i = 0; i < std::min(expected.size(), static_cast<std::size_t>(lines.size())); ++i) {
        const std::string line = lines[static_cast<qsizetype>(i)].toStdString();
        EXPECT_TRUE(std::regex_match(line, std::regex(expected[i])))
            << "line " << i << ": \"" << line << "\"\n expected: \"" << expected[i] << "\"";
    }

    // The pages that were asked for: nothing after a failed login, every later category after a
    // failed credit list, every other QSO after a failed detail page.
    EXPECT_EQ(servedPages(*run.mock), expectedPages(row));

    // A click that came while the faulty page was pending was handled at once.
    EXPECT_EQ(run.abouts.size(), 1u);
    EXPECT_TRUE(run.clickHandledWhilePending());

    // The records file is the old one or a complete new one, with nothing left beside it but the
    // credits file of a run that saved.
    EXPECT_EQ(readBytes(run.recordsPath()), expectedRecords(row));
    const QStringList saved = row.target == Target::Login
                                  ? QStringList{"awardsync.ini", "awardsync.txt"}
                                  : QStringList{"awardsync-credits.adi", "awardsync.ini", "awardsync.txt"};
    EXPECT_EQ(QDir(run.folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), saved);

    EXPECT_TRUE(run.errors.empty()) << run.errors.front().text.toStdString();
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    form.PumpMessages();
    EXPECT_TRUE(isIdle(form));
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(Matrix),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(TargetNames[static_cast<int>(info.param.target)]) + "_" +
                                    FaultNames[static_cast<int>(info.param.fault)];
                         });

// The same run without any fault, so that the matrix's expectations rest on a run that works.
TEST(FaultMatrixBaseline, RunWithoutFaultsReadsEveryQso) {
    WindowRun run(std::string(ScenarioStart) + "]}");
    Relay relay(static_cast<quint16>(run.mock->port()));
    run.writeSettings("[Settings]\r\nCall=Q1ABC\r\nPassword=matrix-pw\r\n" + run.serviceSection(relay.endpoint()));
    TMainForm& form = run.open();
    run.download();
    EXPECT_TRUE(form.RichEdit1->toPlainText().endsWith("4 credits found.\n\n\nDownloading QSO data...\n\n    Q2AA\n"
                                                       "    Q3BB\n    Q4CC\n    Q5DD\n  4 credited QSOs: all read\n\n"
                                                       "Saving records...\nDone"))
        << form.RichEdit1->toPlainText().toStdString();
    std::string all;
    for (const auto& [call, record] : RecordOf) {
        all += record + "\r\n";
    }
    EXPECT_EQ(readBytes(run.recordsPath()), all);
    EXPECT_FALSE(form.ProgressBar1->isTextVisible()) << "nothing is missing";
    run.form.reset(); // before the relay
}

} // namespace

int main(int argc, char** argv) {
    return awardsync::testing::runWindowTests(argc, argv);
}
