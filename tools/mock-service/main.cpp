// A stand-in for the award service, for tests, bench programs and the demo: HTTPS on the loopback
// interface only, with a certificate made at start, serving the sign-in form, credit lists and QSO
// detail pages from a scenario file, and faults on request. See README.md.
#include "certificate.h"
#include "core/text.h"
#include "pages.h"
#include "scenario.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <httplib.h>
#include <mutex>
#include <openssl/rand.h>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace mock {
namespace {

struct Options {
    std::string scenarioFile;
    std::string certOut;
    std::string logFile;
    std::vector<std::string> certHosts;
    int port = 0;
    int threads = 16;
    bool exitOnStdinEof = false;
};

const char kUsage[] =
    "usage: awardsync-mock-service [--scenario FILE] [--port N] [--cert-out FILE] [--cert-host NAME]...\n"
    "                              [--log FILE] [--threads N] [--exit-on-stdin-eof]\n"
    "Listens on 127.0.0.1 only and prints \"PORT n\" as its first line of output.\n";

std::atomic<bool> g_stopping{false};

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Sleeps in short steps so that a stop request is never held up by a long delay or stall.
void sleepUnlessStopping(long ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!g_stopping && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(20), end - std::chrono::steady_clock::now()));
    }
}

// Form decoding: "+" is a blank, "%XY" a byte; a broken escape stays as it is.
std::string formDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && awardsync::hexDigitValue(text[i + 1]) >= 0 &&
                   awardsync::hexDigitValue(text[i + 2]) >= 0) {
            out +=
                static_cast<char>(awardsync::hexDigitValue(text[i + 1]) * 16 + awardsync::hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseForm(std::string_view body) {
    std::vector<std::pair<std::string, std::string>> fields;
    while (!body.empty()) {
        const std::size_t end = std::min(body.find('&'), body.size());
        const std::string_view pair = body.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            fields.emplace_back(formDecode(pair), "");
        } else {
            fields.emplace_back(formDecode(pair.substr(0, equals)), formDecode(pair.substr(equals + 1)));
        }
        body.remove_prefix(std::min(end + 1, body.size()));
    }
    return fields;
}

std::string formValue(const std::vector<std::pair<std::string, std::string>>& fields, const std::string& name,
                      bool& found) {
    for (const auto& [key, value] : fields) {
        if (key == name) {
            found = true;
            return value;
        }
    }
    found = false;
    return {};
}

QString jsonText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class RequestLog {
public:
    explicit RequestLog(const std::string& path) {
        if (!path.empty()) {
            file_ = std::fopen(path.c_str(), "w");
            if (file_ == nullptr) {
                throw std::runtime_error("cannot open the log file " + path);
            }
        }
    }
    ~RequestLog() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    void write(const httplib::Request& request, bool cookie, bool loginForm) {
        if (file_ == nullptr) {
            return;
        }
        QJsonObject entry;
        entry["t_ms"] = monotonicMs();
        entry["method"] = jsonText(request.method);
        entry["target"] = jsonText(request.target);
        entry["cookie"] = cookie;
        entry["body"] = jsonText(request.body);
        if (!QByteArray::fromStdString(request.body).isValidUtf8()) {
            entry["body_base64"] = QString::fromLatin1(QByteArray::fromStdString(request.body).toBase64());
        }
        entry["remote_port"] = request.remote_port;
        QJsonObject headers;
        for (const auto& [name, value] : request.headers) {
            if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") {
                continue; // added by the server library, not sent by the client
            }
            const QString key = jsonText(name);
            headers[key] = headers.contains(key) ? headers[key].toString() + ", " + jsonText(value) : jsonText(value);
        }
        entry["headers"] = headers;
        if (loginForm) {
            QJsonObject form;
            for (const auto& [key, value] : parseForm(request.body)) {
                form[jsonText(key)] = jsonText(value);
            }
            entry["form"] = form;
        }
        const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
        std::lock_guard lock(mutex_);
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), file_);
        std::fflush(file_);
    }

    void flush() {
        std::lock_guard lock(mutex_);
        if (file_ != nullptr) {
            std::fflush(file_);
        }
    }

private:
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
};

class Sessions {
public:
    explicit Sessions(const std::vector<std::string>& preset) : tokens_(preset.begin(), preset.end()) {}

    std::string create() {
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
        tokens_.insert(token);
        return token;
    }

    bool valid(const std::string& token) {
        std::lock_guard lock(mutex_);
        return tokens_.contains(token);
    }

private:
    std::mutex mutex_;
    std::set<std::string> tokens_;
};

struct Answer {
    int status = 200;
    std::string body;
    std::string contentType = "text/html; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;
};

Answer htmlAnswer(std::string body, int status = 200) {
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

class Service {
public:
    Service(Scenario& scenario, RequestLog& log)
        : scenario_(scenario), log_(log), sessions_(scenario.login.presetSessions) {}

    void handle(const httplib::Request& request, httplib::Response& response) {
        const bool cookie = hasSession(request);
        const bool loginForm = request.method == "POST" && request.path == "/lotwuser/default";
        log_.write(request, cookie, loginForm);

        Fault* fault = nullptr;
        for (Fault& candidate : scenario_.faults) {
            if (candidate.matches(request.method, request.target) && candidate.take()) {
                fault = &candidate;
                break;
            }
        }
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

private:
    bool hasSession(const httplib::Request& request) {
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
                if (pair.size() > name.size() && pair.compare(0, name.size(), name) == 0 && pair[name.size()] == '=' &&
                    sessions_.valid(std::string(pair.substr(name.size() + 1)))) {
                    return true;
                }
                cookies.remove_prefix(std::min(end + 1, cookies.size()));
            }
        }
        return false;
    }

    Answer route(const httplib::Request& request, bool cookie) {
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
        if (const auto it = scenario_.qsoIdByPath.find(request.target); it != scenario_.qsoIdByPath.end()) {
            return htmlAnswer(cookie ? detailPage(scenario_.qsos.at(it->second)) : loginPage(""));
        }
        return htmlAnswer(statusPage(404, "Not Found"), 404);
    }

    Answer login(const httplib::Request& request) {
        const Login& expected = scenario_.login;
        // Only a real form post is understood; anything else gets the plain form back.
        if (!awardsync::startsWithIgnoreAsciiCase(request.get_header_value("Content-Type"),
                                                  "application/x-www-form-urlencoded")) {
            return htmlAnswer(loginPage(""));
        }
        const auto fields = parseForm(request.body);
        bool hasUser = false;
        bool hasPassword = false;
        const std::string user = formValue(fields, "login", hasUser);
        const std::string password = formValue(fields, "password", hasPassword);
        if (!hasUser || !hasPassword || user != expected.user || password != expected.password) {
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

    Answer creditList(const httplib::Request& request) {
        const std::string account = request.get_param_value("ac_acct");
        const std::string award = request.get_param_value("aw_id");
        const bool known = request.get_param_value("awg_id") == "DXCC" &&
                           request.get_param_value("ac_view") == "allc" && request.get_param_value("ac_order") == "1" &&
                           !account.empty() &&
                           std::all_of(account.begin(), account.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                           std::find(kAwardIds.begin(), kAwardIds.end(), award) != kAwardIds.end();
        if (!known) {
            return htmlAnswer(statusPage(200, "No such award account"));
        }
        return htmlAnswer(creditListPage(scenario_, account, award, "https://" + request.get_header_value("Host")));
    }

    static void send(const Answer& answer, httplib::Response& response) {
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

    static const std::string& filler() {
        static const std::string text = [] {
            std::string block;
            while (block.size() < 64 * 1024) {
                block += "<p>padding padding padding padding padding padding padding padding</p>\n";
            }
            return block;
        }();
        return text;
    }

    static void sendFaulty(const Fault& fault, const httplib::Request& request, Answer answer,
                           httplib::Response& response) {
        switch (fault.kind) {
        case FaultKind::Delay:
            send(answer, response);
            return;
        case FaultKind::Status:
            send(htmlAnswer(fault.body ? *fault.body : statusPage(fault.status, "Internal Server Error"), fault.status),
                 response);
            return;
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

    Scenario& scenario_;
    RequestLog& log_;
    Sessions sessions_;
};

Options parseOptions(int argc, char** argv) {
    Options options;
    auto valueOf = [&](int& i) -> std::string {
        if (i + 1 >= argc) {
            throw std::runtime_error(std::string(argv[i]) + " needs a value");
        }
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scenario") {
            options.scenarioFile = valueOf(i);
        } else if (arg == "--port") {
            options.port = std::stoi(valueOf(i));
        } else if (arg == "--cert-out") {
            options.certOut = valueOf(i);
        } else if (arg == "--cert-host") {
            options.certHosts.push_back(valueOf(i));
        } else if (arg == "--log") {
            options.logFile = valueOf(i);
        } else if (arg == "--threads") {
            options.threads = std::max(2, std::stoi(valueOf(i)));
        } else if (arg == "--exit-on-stdin-eof") {
            options.exitOnStdinEof = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            throw std::runtime_error("unknown option " + arg);
        }
    }
    if (options.certHosts.empty()) {
        options.certHosts = {"127.0.0.1", "localhost"};
    }
    return options;
}

void writeFileAtomically(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + temporary);
    }
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

// Stops the server; when the server's workers do not finish in time (a client holding a
// keep-alive connection open), the process ends anyway: the log is flushed line by line.
class Stopper {
public:
    Stopper(httplib::Server& server, RequestLog& log) : server_(server), log_(log) {}

    void stop() {
        g_stopping = true;
        server_.stop();
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, std::chrono::milliseconds(500), [this] { return finished_; })) {
            log_.flush();
            std::fflush(stdout);
            std::_Exit(0);
        }
    }

    void finished() {
        std::lock_guard lock(mutex_);
        finished_ = true;
        cv_.notify_all();
    }

private:
    httplib::Server& server_;
    RequestLog& log_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool finished_ = false;
};

int run(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);

    // Termination signals are taken by one thread with sigwait; every other thread blocks them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Scenario scenario;
    if (!options.scenarioFile.empty()) {
        QFile file(QString::fromStdString(options.scenarioFile));
        if (!file.open(QIODevice::ReadOnly)) {
            throw std::runtime_error("cannot read the scenario " + options.scenarioFile);
        }
        loadScenario(file.readAll(), scenario);
    }

    const SelfSignedCertificate certificate = makeSelfSignedCertificate(options.certHosts);
    if (!options.certOut.empty()) {
        writeFileAtomically(options.certOut, certificate.pem);
    }
    RequestLog log(options.logFile);

    httplib::SSLServer server(certificate.certificate.get(), certificate.key.get());
    if (!server.is_valid()) {
        throw std::runtime_error("cannot set up TLS");
    }
    const int threads = options.threads;
    // The server takes ownership of the queue it is handed.
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
    server.set_keep_alive_max_count(1000000);
    server.set_keep_alive_timeout(10);
    server.set_tcp_nodelay(true);
    server.set_payload_max_length(1024 * 1024);

    Service service(scenario, log);
    auto handler = [&service](const httplib::Request& request, httplib::Response& response) {
        service.handle(request, response);
    };
    server.Get(".*", handler);
    server.Post(".*", handler);
    server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        std::fprintf(stderr, "awardsync-mock-service: %s\n", what.c_str());
        response.status = 500;
        response.set_content(statusPage(500, "Internal Server Error"), "text/html; charset=utf-8");
    });

    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
        if (port <= 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
    } else if (!server.bind_to_port("127.0.0.1", port)) {
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
    }
    std::printf("PORT %d\n", port);
    std::fflush(stdout);

    Stopper stopper(server, log);
    std::thread([&stopper, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        stopper.stop();
    }).detach();
    if (options.exitOnStdinEof) {
        std::thread([&stopper] {
            char buffer[256];
            while (true) {
                const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
                if (n == 0 || (n < 0 && errno != EINTR)) {
                    break;
                }
            }
            stopper.stop();
        }).detach();
    }

    server.listen_after_bind();
    log.flush();
    std::fflush(stdout);
    stopper.finished();
    // Threads still parked in sigwait or read must not see objects being destroyed.
    std::_Exit(0);
}

} // namespace
} // namespace mock

int main(int argc, char** argv) {
    try {
        return mock::run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "awardsync-mock-service: %s\n", e.what());
        return 1;
    }
}
