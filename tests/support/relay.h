// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <gtest/gtest.h>
#include <list>
#include <memory>
#include <string>
#include <utility>

namespace awardsync::testing {

// A TCP relay between the program and the mock service on 127.0.0.1. It passes connections
// through byte for byte (TLS is between the program and the service behind it). It can refuse new
// connections, divert them to another service, and hold the services' answers back: a held page
// stays pending for as long as the test needs, whatever its fault.
class Relay : public QObject {
public:
    explicit Relay(quint16 servicePort) : servicePort_(servicePort), target_(servicePort) {
        connect(&server_, &QTcpServer::newConnection, this, [this] { accept(); });
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        port_ = server_.serverPort();
    }
    ~Relay() override {
        for (const auto& link : links_) {
            for (QTcpSocket* socket : {link->client.data(), link->service.data()}) {
                if (socket != nullptr) {
                    socket->disconnect(this);
                    socket->abort();
                }
            }
        }
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    std::string endpoint() const { return "https://127.0.0.1:" + std::to_string(port_); }

    // Nothing listens any more, so a new connection is refused; open ones are cut, so that the
    // program cannot go on with a connection it already has.
    void refuse() {
        server_.close();
        dropAll();
    }
    // New connections go to the service at `port`; open ones are cut.
    void divertTo(quint16 port) {
        dropAll();
        target_ = port;
    }
    // Back to normal: listening, new connections to the mock service, nothing held.
    void restore() {
        target_ = servicePort_;
        if (!server_.isListening()) {
            EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, port_)) << "port " << port_ << " was taken";
        }
        release();
    }

    // From now on the services' answers are kept back; `onHeld` runs once, when the first bytes
    // of an answer arrive.
    void hold(std::function<void()> onHeld) {
        holding_ = true;
        onHeld_ = std::move(onHeld);
    }
    void release() {
        holding_ = false;
        onHeld_ = nullptr;
        for (const auto& link : links_) {
            flushToClient(*link);
        }
    }

private:
    struct Link {
        QPointer<QTcpSocket> client;
        QPointer<QTcpSocket> service;
        QByteArray toService; // what the program sent before the service's connection was up
        QByteArray toClient;  // held back
        bool serviceClosed = false;
    };

    void accept() {
        while (QTcpSocket* client = server_.nextPendingConnection()) {
            Link* link = links_.emplace_back(std::make_unique<Link>()).get();
            link->client = client;
            auto* service = new QTcpSocket(this);
            link->service = service;
            connect(client, &QTcpSocket::readyRead, this, [link] {
                const QByteArray data = link->client->readAll();
                if (link->service && link->service->state() == QAbstractSocket::ConnectedState) {
                    link->service->write(data);
                } else {
                    link->toService += data;
                }
            });
            connect(client, &QTcpSocket::disconnected, this, [link] {
                if (link->service) {
                    link->service->abort();
                }
            });
            connect(service, &QTcpSocket::connected, this,
                    [link] { link->service->write(std::exchange(link->toService, {})); });
            connect(service, &QTcpSocket::readyRead, this, [this, link] { fromService(*link); });
            connect(service, &QTcpSocket::disconnected, this, [this, link] {
                link->serviceClosed = true;
                fromService(*link);
            });
            connect(service, &QTcpSocket::errorOccurred, this, [this, link] {
                if (link->service->state() == QAbstractSocket::UnconnectedState) {
                    link->serviceClosed = true;
                    fromService(*link);
                }
            });
            service->connectToHost(QHostAddress::LocalHost, target_);
        }
    }

    void fromService(Link& link) {
        // A connection that the service closed may be closed for reading too, with nothing left in it.
        if (link.service && link.service->isOpen()) {
            link.toClient += link.service->readAll();
        }
        if (holding_) {
            if (!link.toClient.isEmpty() && onHeld_) {
                std::exchange(onHeld_, nullptr)();
            }
            return;
        }
        flushToClient(link);
    }

    static void flushToClient(Link& link) {
        if (!link.client) {
            return;
        }
        if (!link.toClient.isEmpty()) {
            link.client->write(std::exchange(link.toClient, {}));
        }
        if (link.serviceClosed && link.client->state() == QAbstractSocket::ConnectedState) {
            link.client->disconnectFromHost(); // after what is still buffered has gone out
        }
    }

    void dropAll() {
        for (const auto& link : links_) {
            if (link->client) {
                link->client->abort();
            }
            if (link->service) {
                link->service->abort();
            }
            link->toClient.clear();
        }
    }

    std::list<std::unique_ptr<Link>> links_;
    QTcpServer server_;
    quint16 servicePort_;
    quint16 target_;
    quint16 port_ = 0;
    bool holding_ = false;
    std::function<void()> onHeld_;
};

} // namespace awardsync::testing
