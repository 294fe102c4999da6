// SPDX-License-Identifier: GPL-3.0-or-later
#include "request_log.h"

#include "core/text.h"
#include "form.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <ctime>
#include <stdexcept>

namespace mock {

using awardsync::toQt;

namespace {

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace

RequestLog::RequestLog(const std::string& path) {
    if (!path.empty()) {
        file_ = std::fopen(path.c_str(), "w");
        if (file_ == nullptr) {
            throw std::runtime_error("cannot open the log file " + path);
        }
    }
}

RequestLog::~RequestLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void RequestLog::write(const httplib::Request& request, bool cookie, bool loginForm) {
    if (file_ == nullptr) {
        return;
    }
    QJsonObject entry;
    entry["t_ms"] = monotonicMs();
    entry["method"] = toQt(request.method);
    entry["target"] = toQt(request.target);
    entry["cookie"] = cookie;
    entry["body"] = toQt(request.body);
    if (!QByteArray::fromStdString(request.body).isValidUtf8()) {
        entry["body_base64"] = QString::fromLatin1(QByteArray::fromStdString(request.body).toBase64());
    }
    entry["remote_port"] = request.remote_port;
    QJsonObject headers;
    for (const auto& [name, value] : request.headers) {
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") {
            continue; // added by the server library, not sent by the client
        }
        const QString key = toQt(name);
        headers[key] = headers.contains(key) ? headers[key].toString() + ", " + toQt(value) : toQt(value);
    }
    entry["headers"] = headers;
    if (loginForm) {
        QJsonObject form;
        for (const auto& [key, value] : parseForm(request.body)) {
            form[toQt(key)] = toQt(value);
        }
        entry["form"] = form;
    }
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    std::lock_guard lock(mutex_);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), file_);
    std::fflush(file_);
}

void RequestLog::flush() {
    std::lock_guard lock(mutex_);
    if (file_ != nullptr) {
        std::fflush(file_);
    }
}

} // namespace mock
