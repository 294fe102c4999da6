// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <httplib.h>
#include <mutex>
#include <string>

namespace mock {

// The request log: one JSON object a line for every request, flushed line by line (see README.md).
class RequestLog {
public:
    // No log when `path` is empty. Throws std::runtime_error when the file cannot be opened.
    explicit RequestLog(const std::string& path);
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    // `cookie`: the request came with a valid session; `loginForm`: its body is the sign-in form,
    // whose decoded fields are logged too.
    void write(const httplib::Request& request, bool cookie, bool loginForm);
    void flush();

private:
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
};

} // namespace mock
