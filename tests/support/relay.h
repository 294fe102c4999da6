#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <list>
#include <memory>
#include <string>

namespace awardsync::testing {

// A TCP relay between the program and the mock service on 127.0.0.1. It passes connections
// through byte for byte (TLS is between the program and the service behind it). It can refuse new
// connections, divert them to another service, and hold the services' answers back: a held page
// stays pending for as long as the test needs, whatever its fault.
class Relay : public QObject {
public:
    explicit Relay(quint16 servicePort);
    ~Relay() override;
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    std::string endpoint() const { return "https://127.0.0.1:" + std::to_string(port_); }

    // Nothing listens any more, so a new connection is refused; open ones are cut, so that the
    // program cannot go on with a connection it already has.
    void refuse();
    // New connections go to the service at `port`; open ones are cut.
    void divertTo(quint16 port);
    // Back to normal: listening, new connections to the mock service, nothing held.
    void restore();

    // From now on the services' answers are kept back; `onHeld` runs once, when the first bytes
    // of an answer arrive.
    void hold(std::function<void()> onHeld);
    void release();

private:
    struct Link {
        QPointer<QTcpSocket> client;
        QPointer<QTcpSocket> service;
        QByteArray toService; // what the program sent before the service's connection was up
        QByteArray toClient;  // held back
        bool serviceClosed = false;
    };

    void accept();
    void fromService(Link& link);
    static void flushToClient(Link& link);
    void dropAll();

    std::list<std::unique_ptr<Link>> links_;
    QTcpServer server_;
    quint16 servicePort_;
    quint16 target_;
    quint16 port_ = 0;
    bool holding_ = false;
    std::function<void()> onHeld_;
};

} // namespace awardsync::testing
