#include "tests/support/relay.h"

#include <QHostAddress>
#include <gtest/gtest.h>
#include <utility>

namespace awardsync::testing {

Relay::Relay(quint16 servicePort) : servicePort_(servicePort), target_(servicePort) {
    connect(&server_, &QTcpServer::newConnection, this, [this] { accept(); });
    EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
    port_ = server_.serverPort();
}

Relay::~Relay() {
    for (const auto& link : links_) {
        for (QTcpSocket* socket : {link->client.data(), link->service.data()}) {
            if (socket != nullptr) {
                socket->disconnect(this);
                socket->abort();
            }
        }
    }
}

void Relay::refuse() {
    server_.close();
    dropAll();
}

void Relay::divertTo(quint16 port) {
    dropAll();
    target_ = port;
}

void Relay::restore() {
    target_ = servicePort_;
    if (!server_.isListening()) {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, port_)) << "port " << port_ << " was taken";
    }
    release();
}

void Relay::hold(std::function<void()> onHeld) {
    holding_ = true;
    onHeld_ = std::move(onHeld);
}

void Relay::release() {
    holding_ = false;
    onHeld_ = nullptr;
    for (const auto& link : links_) {
        flushToClient(*link);
    }
}

void Relay::accept() {
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

void Relay::fromService(Link& link) {
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

void Relay::flushToClient(Link& link) {
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

void Relay::dropAll() {
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

} // namespace awardsync::testing
