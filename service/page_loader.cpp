// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/page_loader.h"

#include "core/error.h"
#include "core/text.h"
#include "service/page_encoding.h"

#include <QByteArray>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <deque>
#include <utility>

namespace awardsync {

namespace {

constexpr unsigned ReadyStateUninitialized = 0;
constexpr unsigned ReadyStateLoading = 1;
constexpr unsigned ReadyStateInteractive = 3;

// How much of a body the network layer holds before it is read into the page.
constexpr qint64 ReadBufferSize = 1024 * 1024;

std::string describeSize(std::int64_t bytes) {
    constexpr std::int64_t MiB = 1024 * 1024;
    return bytes % MiB == 0 ? std::to_string(bytes / MiB) + " MiB" : std::to_string(bytes) + " bytes";
}

// A reason as the network layer words it, without trailing blanks, control characters or full stops.
std::string reasonText(const QString& text) {
    std::string reason = fromQt(text);
    while (!reason.empty() && (static_cast<unsigned char>(reason.back()) <= 32 || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason.empty() ? "unknown network error" : reason;
}

// Qt reports an HTTP error status as a reply error too, but such a reply still carries a whole
// page, which the callers judge by its text like any other page. The same errors under a status
// below 400 come from the body itself (one that could not be decompressed) and are failures.
bool isHttpStatusError(const QNetworkReply& reply) {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || status.toInt() < 400) {
        return false;
    }
    const int code = reply.error();
    return (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError) ||
           code == QNetworkReply::ProtocolInvalidOperationError ||
           (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError);
}

// A connection that the service (or the way to it) closed or reset before the page was whole: an
// overloaded service does that, and the next request may well get the page.
bool isConnectionLost(QNetworkReply::NetworkError error) {
    return error == QNetworkReply::RemoteHostClosedError || error == QNetworkReply::TemporaryNetworkFailureError ||
           error == QNetworkReply::NetworkSessionFailedError || error == QNetworkReply::ProxyConnectionClosedError;
}

} // namespace

std::string describeDuration(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

struct PageLoader::State {
    enum class AbortReason { None, TotalTimeout, TooLarge };

    std::function<void()> pump;
    std::unique_ptr<QNetworkAccessManager> manager = std::make_unique<QNetworkAccessManager>();
    QPointer<QNetworkReply> reply;
    QTimer totalTimer;

    std::chrono::milliseconds idleTimeout{60'000};
    std::chrono::milliseconds totalTimeout{300'000};
    std::int64_t maxBodySize = 32 * 1024 * 1024;

    unsigned readyState = ReadyStateUninitialized;
    std::string url; // as requested, for the messages
    // The body in the pieces it came in: one growing buffer would be copied as it grows, which
    // doubles the cost of a page near the size limit.
    std::deque<QByteArray> body;
    qint64 bodySize = 0;
    AbortReason abortReason = AbortReason::None;
    std::optional<std::string> failure;
    Failure failureKind = Failure::None;
    int httpStatus = 0;
    std::string retryAfter;
    std::optional<HtmlDocument> document;
    bool html = true;

    // Keeps what the reply holds. Returns false once the body is over the size limit (one byte over
    // is enough to know) or no memory is left for it.
    bool appendBody(QNetworkReply& from) noexcept {
        try {
            // Read into pieces of exactly the size read (QIODevice::read(n) hands back buffers with
            // room to spare), at most the read buffer's size at a time.
            qint64 wanted = 0;
            while (bodySize <= maxBodySize &&
                   (wanted = std::min({from.bytesAvailable(), maxBodySize + 1 - bodySize, ReadBufferSize})) > 0) {
                QByteArray piece(wanted, Qt::Uninitialized);
                const qint64 got = from.read(piece.data(), wanted);
                if (got <= 0) {
                    break;
                }
                piece.truncate(got);
                bodySize += got;
                body.push_back(std::move(piece));
            }
            return bodySize <= maxBodySize;
        } catch (...) {
            return false;
        }
    }

    // The whole body in one piece; the pieces are released as they are copied.
    QByteArray takeBody() {
        QByteArray whole;
        whole.reserve(bodySize);
        while (!body.empty()) {
            whole += body.front();
            body.pop_front();
        }
        bodySize = 0;
        return whole;
    }

    void dropBody() {
        body = {};
        bodySize = 0;
    }
};

PageLoader::PageLoader(std::function<void()> pump, QObject* parent)
    : QObject(parent), state_(std::make_unique<State>()) {
    state_->pump = std::move(pump);
    state_->totalTimer.setSingleShot(true);
    connect(&state_->totalTimer, &QTimer::timeout, this, [this] {
        if (state_->reply) {
            state_->abortReason = State::AbortReason::TotalTimeout;
            state_->reply->abort();
        }
    });
}

PageLoader::~PageLoader() {
    if (state_->reply) {
        disconnect(state_->reply, nullptr, this, nullptr);
        state_->reply->abort();
    }
    // The manager owns every reply, the ones still waiting for deleteLater included.
    state_->manager.reset();
}

void PageLoader::setIdleTimeout(std::chrono::milliseconds timeout) {
    state_->idleTimeout = timeout;
}
void PageLoader::setTotalTimeout(std::chrono::milliseconds timeout) {
    state_->totalTimeout = timeout;
}
void PageLoader::setMaxBodySize(std::int64_t bytes) {
    state_->maxBodySize = bytes;
}

void PageLoader::configureTls(const std::string& caFile) {
    QList<QSslCertificate> authorities = QSslConfiguration::systemCaCertificates();
    if (!caFile.empty()) {
        QFile file(toQt(caFile));
        if (!file.open(QIODevice::ReadOnly)) {
            throw Error("Cannot read the certificate file \"" + caFile + "\": " + fromQt(file.errorString()));
        }
        const QList<QSslCertificate> extra = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
        if (extra.isEmpty()) {
            throw Error("No certificate found in \"" + caFile + "\"");
        }
        authorities += extra;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(configuration);
}

void PageLoader::Navigate(const std::string& url) {
    start(url, nullptr, nullptr);
}

void PageLoader::Navigate(const std::string& url, const std::string& postData, const std::string& headers) {
    start(url, &postData, &headers);
}

void PageLoader::start(const std::string& url, const std::string* postData, const std::string* headers) {
    State& s = *state_;
    // Whatever happens below, the previous page is gone: a wait never returns it for this address.
    if (s.reply) {
        QNetworkReply* old = s.reply;
        disconnect(old, nullptr, this, nullptr);
        old->abort();
        old->deleteLater();
        s.reply = nullptr;
    }
    s.totalTimer.stop();
    s.url = url;
    s.dropBody();
    s.document.reset();
    s.html = true;
    s.abortReason = State::AbortReason::None;
    s.failure.reset();
    s.failureKind = Failure::None;
    s.httpStatus = 0;
    s.retryAfter.clear();
    s.readyState = ReadyStateLoading;

    auto refuse = [&s](const std::string& message) {
        s.failure = message;
        s.failureKind = Failure::Other;
        s.readyState = ReadyStateComplete;
        throw Error(message);
    };

    const QUrl address(toQt(url));
    if (!address.isValid() || address.scheme() != QLatin1String("https") || address.host().isEmpty()) {
        refuse("Refused to load \"" + url + "\": only https addresses are loaded");
    }
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(static_cast<int>(s.idleTimeout.count()));
    // Qt inflates a compressed body in whole batches ahead of any read, so a small compressed
    // stream can cost many times the size limit before the limit is seen. Asked for the body as it
    // is, the network layer holds no more than the read buffer beyond what is read.
    request.setRawHeader("Accept-Encoding", "identity");

    QNetworkReply* reply = nullptr;
    if (postData != nullptr) {
        for (const QByteArray& line : QByteArray::fromStdString(*headers).split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.isEmpty()) {
                continue;
            }
            const qsizetype colon = trimmed.indexOf(':');
            if (colon <= 0) {
                refuse("Bad request header line \"" + trimmed.toStdString() + "\"");
            }
            request.setRawHeader(trimmed.left(colon).trimmed(), trimmed.mid(colon + 1).trimmed());
        }
        reply = s.manager->post(request, QByteArray::fromStdString(*postData));
    } else {
        reply = s.manager->get(request);
    }
    s.reply = reply;
    // Without a bound Qt reads the whole body ahead of the reads below, so a page far over the size
    // limit would be held in full before it is refused.
    reply->setReadBufferSize(ReadBufferSize);

    // Slots must never throw into Qt's event dispatch; each one records its outcome instead.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { onMetaData(reply); });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { onReadyRead(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
    if (s.totalTimeout.count() > 0) {
        s.totalTimer.start(s.totalTimeout);
    }
}

void PageLoader::onMetaData(QNetworkReply* reply) noexcept {
    State& s = *state_;
    if (reply != s.reply) {
        return;
    }
    s.readyState = ReadyStateInteractive;
    // A declared length over the limit is refused before anything of it is read.
    bool known = false;
    const qlonglong length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && length > s.maxBodySize) {
        s.abortReason = State::AbortReason::TooLarge;
        reply->abort();
    }
}

void PageLoader::onReadyRead(QNetworkReply* reply) noexcept {
    State& s = *state_;
    if (reply != s.reply) {
        return;
    }
    if (!s.appendBody(*reply)) {
        s.abortReason = State::AbortReason::TooLarge;
        s.dropBody();
        reply->abort();
    }
}

void PageLoader::onFinished(QNetworkReply* reply) noexcept {
    State& s = *state_;
    if (reply != s.reply) {
        return;
    }
    s.totalTimer.stop();
    s.reply = nullptr;
    reply->deleteLater();
    try {
        if (s.abortReason == State::AbortReason::None && reply->error() != QNetworkReply::OperationCanceledError) {
            if (!s.appendBody(*reply) || reply->bytesAvailable() > 0) {
                s.abortReason = State::AbortReason::TooLarge;
            }
        }
        if (s.abortReason == State::AbortReason::TooLarge) {
            s.failure = "Could not load " + s.url + ": the page is larger than " + describeSize(s.maxBodySize);
        } else if (s.abortReason == State::AbortReason::TotalTimeout) {
            s.failure = "Timed out loading " + s.url + ": still loading after " + describeDuration(s.totalTimeout);
            s.failureKind = Failure::TimedOut;
        } else if (reply->error() == QNetworkReply::OperationCanceledError) {
            // Only Qt's transfer timeout cancels a reply without a reason of ours.
            s.failure = "Timed out loading " + s.url + ": nothing received for " + describeDuration(s.idleTimeout);
            s.failureKind = Failure::TimedOut;
        } else if (reply->error() != QNetworkReply::NoError && !isHttpStatusError(*reply)) {
            s.failure = "Could not load " + s.url + ": " + reasonText(reply->errorString());
            s.failureKind = isConnectionLost(reply->error()) ? Failure::ConnectionLost : Failure::Other;
        } else {
            s.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            s.retryAfter = reply->rawHeader("Retry-After").trimmed().toStdString();
            const ContentType type = parseContentType(reply->rawHeader("Content-Type"));
            s.html = isHtml(type);
            if (s.html) {
                s.document.emplace(toUtf8(s.takeBody(), type.charset),
                                   fromQt(reply->url().toString(QUrl::FullyEncoded)));
            }
        }
    } catch (const std::exception& error) {
        s.document.reset();
        s.failure = "Could not load " + s.url + ": " + error.what();
        s.failureKind = Failure::Other;
    } catch (...) {
        s.document.reset();
        s.failure = "Could not load " + s.url;
        s.failureKind = Failure::Other;
    }
    if (s.failure && s.failureKind == Failure::None) {
        s.failureKind = Failure::Other;
    }
    s.dropBody();
    s.readyState = ReadyStateComplete;
}

unsigned PageLoader::ReadyState() const {
    return state_->readyState;
}

void PageLoader::WaitForPage() {
    if (state_->readyState == ReadyStateUninitialized) {
        throw Error("No page has been requested");
    }
    while (state_->readyState < ReadyStateComplete) {
        state_->pump();
    }
    if (state_->failure) {
        throw Error(*state_->failure);
    }
}

const HtmlDocument& PageLoader::Document() const {
    const State& s = *state_;
    if (s.readyState < ReadyStateComplete) {
        throw Error(s.readyState == ReadyStateUninitialized ? "No page has been loaded" : "The page is still loading");
    }
    if (s.failure) {
        throw Error("No page has been loaded: " + *s.failure);
    }
    if (!s.html) {
        throw Error("Interface not supported");
    }
    if (!s.document) {
        throw Error("No page has been loaded");
    }
    return *s.document;
}

PageLoader::Failure PageLoader::failure() const {
    return state_->failureKind;
}

int PageLoader::httpStatus() const {
    return state_->httpStatus;
}

const std::string& PageLoader::retryAfter() const {
    return state_->retryAfter;
}

} // namespace awardsync
