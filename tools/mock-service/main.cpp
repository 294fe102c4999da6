// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the award service, for tests, bench programs and the demo: HTTPS on the loopback
// interface only, with a certificate made at start, serving the sign-in form, credit lists and QSO
// detail pages from a scenario file, and faults on request. See README.md.
#include "certificate.h"
#include "core/atomic_save.h"
#include "core/text.h"
#include "pages.h"
#include "request_log.h"
#include "routing.h"
#include "scenario.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <httplib.h>
#include <mutex>
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

// Stops the server; when the server's workers do not finish in time (a client holding a
// keep-alive connection open), the process ends anyway: the log is flushed line by line.
class Stopper {
public:
    Stopper(httplib::Server& server, RequestLog& log) : server_(server), log_(log) {}

    void stop() {
        Service::stopping();
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
        awardsync::saveAtomically(awardsync::toQt(options.certOut), QByteArray::fromStdString(certificate.pem));
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
