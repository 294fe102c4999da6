// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace awardsync::testing {

// One request as the mock service logged it.
struct MockRequest {
    double timeMs = 0;                          // monotonic clock of the machine, in milliseconds
    std::string method;                         // "GET", "POST"
    std::string target;                         // path and query as sent
    std::string body;                           // exact bytes
    bool cookie = false;                        // whether a valid session cookie came with it
    int remotePort = 0;                         // the client's port: equal ports mean one connection
    std::map<std::string, std::string> headers; // names exactly as the client sent them
    std::map<std::string, std::string> form;    // decoded fields of a login form post

    // The value of a header, its name compared without regard to case; "" when absent.
    std::string header(std::string_view name) const;
};

struct MockOptions {
    // Make the certificate for this host name instead of 127.0.0.1 and localhost.
    std::string certHost;
    // The mock service's executable; empty: the AWARDSYNC_MOCK environment variable.
    std::string binary;
};

// Runs awardsync-mock-service as a child process for the lifetime of the object, in a temporary
// folder of its own that holds the scenario, the certificate and the request log. The child ends
// when the object is destroyed, and also when this process dies (it watches its stdin).
class MockService {
public:
    // `scenarioJson` is the scenario itself (see tools/mock-service/README.md).
    explicit MockService(std::string_view scenarioJson, MockOptions options = {});
    ~MockService();
    MockService(const MockService&) = delete;
    MockService& operator=(const MockService&) = delete;

    const std::string& endpoint() const { return endpoint_; } // "https://127.0.0.1:PORT"
    int port() const { return port_; }
    const std::string& certFile() const { return certFile_; }
    const std::string& folder() const { return folder_; }

    // Every request logged so far, in arrival order.
    std::vector<MockRequest> requests() const;

    // Ends the child now (the destructor does it otherwise). Its port is then closed.
    void stop();

private:
    std::string folder_;
    std::string certFile_;
    std::string logFile_;
    std::string endpoint_;
    int port_ = 0;
    pid_t pid_ = -1;
    int stdinFd_ = -1;
};

// Makes the page loader trust the mock's certificate (and the system's), for every connection
// made afterwards.
void trustMockCertificate(const MockService& mock);

// The pump for page waits in tests: blocks until an event arrives, then processes what is there.
void pumpForTests();

// A main for test programs that need a QCoreApplication: creates it and runs every test.
int runTestsWithCoreApplication(int argc, char** argv);

} // namespace awardsync::testing
