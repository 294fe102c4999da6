// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/mock_service.h"

#include "service/page_loader.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace awardsync::testing {

namespace {

using Clock = std::chrono::steady_clock;

// A sanitizer build of the mock starts slowly on a busy machine; this bounds a broken one.
constexpr auto StartDeadline = std::chrono::seconds(30);
constexpr auto StopDeadline = std::chrono::seconds(10);

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

void writeFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string mockBinary(const MockOptions& options) {
    if (!options.binary.empty()) {
        return options.binary;
    }
    const char* fromEnvironment = std::getenv("AWARDSYNC_MOCK");
    if (fromEnvironment == nullptr || *fromEnvironment == '\0') {
        throw std::runtime_error("AWARDSYNC_MOCK is not set: it names the awardsync-mock-service executable");
    }
    return fromEnvironment;
}

// Waits for the child to end until the deadline; true when it has ended (and is reaped).
bool waitForExit(pid_t pid, Clock::time_point deadline) {
    while (true) {
        int status = 0;
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result == pid || (result < 0 && errno == ECHILD)) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

std::string MockRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0) {
            return value;
        }
    }
    return {};
}

MockService::MockService(std::string_view scenarioJson, MockOptions options) {
    std::string pattern = (std::filesystem::temp_directory_path() / "awardsync-mock-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    folder_ = pattern;
    try {
        const std::string scenarioFile = folder_ + "/scenario.json";
        certFile_ = folder_ + "/cert.pem";
        logFile_ = folder_ + "/requests.log";
        writeFile(scenarioFile, scenarioJson);

        int inPipe[2];
        int outPipe[2];
        if (::pipe2(inPipe, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        Fd childIn(inPipe[0]);
        Fd parentIn(inPipe[1]);
        if (::pipe2(outPipe, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        Fd parentOut(outPipe[0]);
        Fd childOut(outPipe[1]);

        const std::string binary = mockBinary(options);
        std::vector<std::string> args = {binary,    "--scenario", scenarioFile, "--cert-out",
                                         certFile_, "--log",      logFile_,     "--exit-on-stdin-eof"};
        if (!options.certHost.empty()) {
            args.insert(args.end(), {"--cert-host", options.certHost});
        }
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, childIn.get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, childOut.get(), STDOUT_FILENO);
        const int spawned = ::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + binary + ": " + std::strerror(spawned));
        }
        stdinFd_ = parentIn.release();
        childIn.reset();
        childOut.reset();

        // The first line of its output is "PORT n"; the certificate is written before it.
        std::string output;
        const auto deadline = Clock::now() + StartDeadline;
        while (output.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                throw std::runtime_error("the mock service did not report its port in time");
            }
            pollfd readable{parentOut.get(), POLLIN, 0};
            if (::poll(&readable, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
                throw std::runtime_error("cannot wait for the mock service");
            }
            char buffer[256];
            const ssize_t n = ::read(parentOut.get(), buffer, sizeof buffer);
            if (n == 0) {
                throw std::runtime_error("the mock service ended at start (see its message above)");
            }
            if (n > 0) {
                output.append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (std::sscanf(output.c_str(), "PORT %d", &port_) != 1 || port_ <= 0) {
            throw std::runtime_error("unexpected first line from the mock service: " + output);
        }
        endpoint_ = "https://127.0.0.1:" + std::to_string(port_);
    } catch (...) {
        stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        throw;
    }
}

MockService::~MockService() {
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void MockService::stop() {
    if (stdinFd_ >= 0) {
        ::close(stdinFd_);
        stdinFd_ = -1;
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!waitForExit(pid_, Clock::now() + StopDeadline)) {
            ::kill(pid_, SIGKILL);
            waitForExit(pid_, Clock::now() + StopDeadline);
        }
        pid_ = -1;
    }
}

std::vector<MockRequest> MockService::requests() const {
    std::vector<MockRequest> result;
    std::ifstream in(logFile_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) {
            break; // a line still being written
        }
        const QJsonObject entry = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        MockRequest request;
        request.timeMs = entry.value("t_ms").toDouble();
        request.method = entry.value("method").toString().toStdString();
        request.target = entry.value("target").toString().toStdString();
        request.body = entry.contains("body_base64")
                           ? QByteArray::fromBase64(entry.value("body_base64").toString().toLatin1()).toStdString()
                           : entry.value("body").toString().toStdString();
        request.cookie = entry.value("cookie").toBool();
        request.remotePort = entry.value("remote_port").toInt();
        const QJsonObject headers = entry.value("headers").toObject();
        for (auto it = headers.begin(); it != headers.end(); ++it) {
            request.headers[it.key().toStdString()] = it.value().toString().toStdString();
        }
        const QJsonObject form = entry.value("form").toObject();
        for (auto it = form.begin(); it != form.end(); ++it) {
            request.form[it.key().toStdString()] = it.value().toString().toStdString();
        }
        result.push_back(std::move(request));
    }
    return result;
}

void trustMockCertificate(const MockService& mock) {
    PageLoader::configureTls(mock.certFile());
}

void pumpForTests() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

int runTestsWithCoreApplication(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace awardsync::testing
