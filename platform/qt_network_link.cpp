#include "platform/qt_network_link.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTcpSocket>
#include <QTimer>

namespace platform {
namespace {

QString Host(const NetAddress& a) {
    return QString::fromStdString(a.host);
}

std::string Where(const NetAddress& a) {
    return a.host + ":" + std::to_string(a.port);
}

// The reason a connection failed, in the operator's words.
std::string Reason(const QTcpSocket& s, const NetAddress& a) {
    switch (s.error()) {
        case QAbstractSocket::ConnectionRefusedError:
            return "el servidor " + Where(a) + " rechazó la conexión";
        case QAbstractSocket::HostNotFoundError:
            return "no se encontró el servidor " + a.host;
        case QAbstractSocket::SocketTimeoutError:
            return "el servidor " + Where(a) + " no respondió";
        case QAbstractSocket::RemoteHostClosedError:
            return "el servidor " + Where(a) + " cerró la conexión";
        case QAbstractSocket::NetworkError:
            return "no se llega al servidor " + Where(a) + " (" + s.errorString().toStdString() +
                   ")";
        default:
            return "no se pudo conectar con " + Where(a) + " (" + s.errorString().toStdString() +
                   ")";
    }
}

}  // namespace

QtNetworkLink::QtNetworkLink(std::function<std::string(int)> resolver)
    : resolver_(std::move(resolver)), socket_(std::make_unique<QTcpSocket>()) {
    QObject::connect(socket_.get(), &QTcpSocket::readyRead, [this] { received(); });
    QObject::connect(socket_.get(), &QTcpSocket::disconnected, [this] { markLost(); });
    QObject::connect(socket_.get(), &QTcpSocket::errorOccurred, [this] { markLost(); });
}

QtNetworkLink::~QtNetworkLink() {
    close();
}

bool QtNetworkLink::open(std::string* reason) {
    close();
    lost_ = false;
    in_.clear();
    telnet_.reset();
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        socket_->abort();
        return false;
    };
    const std::string text = resolver_ ? resolver_(port_) : std::string();
    const auto address = ParseNetAddress(text);
    if (!address) return fail("la dirección de red no es válida: " + text);

    socket_->connectToHost(Host(*address), address->port);
    if (!socket_->waitForConnected(connectTimeoutMs)) return fail(Reason(*socket_, *address));
    // Each byte leaves on its own, without waiting for company.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    open_ = true;

    if (address->kind == NetAddress::Kind::Rfc2217) {
        telnet_.emplace(telnet::Codec::Role::Client);
        send(telnet_->greeting());
        const QDeadlineTimer deadline(settingsTimeoutMs);
        while (!telnet_->lineSettingsAcknowledged() && !lost_) {
            if (!socket_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
        }
        if (!telnet_->lineSettingsAcknowledged()) {
            open_ = false;
            return fail(lost_ ? Reason(*socket_, *address)
                              : "el servidor " + Where(*address) +
                                    " no aceptó la configuración del puerto (RFC 2217)");
        }
    }
    return true;
}

void QtNetworkLink::close() {
    // Closing by our own hand is no loss.
    open_ = false;
    if (socket_->state() != QAbstractSocket::UnconnectedState) socket_->abort();
}

void QtNetworkLink::markLost() {
    if (!open_ || lost_) return;
    lost_ = true;
    if (onReceive_) onReceive_();
}

void QtNetworkLink::send(const telnet::Bytes& bytes) {
    if (bytes.empty()) return;
    const qint64 n = socket_->write(reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<qint64>(bytes.size()));
    // Handed to the system at once, so that bytesToWrite() falls to 0 without a turn of the
    // event loop.
    if (n == static_cast<qint64>(bytes.size())) socket_->flush();
    if (n < 0) {
        // Reported from the event loop, where an exchange expects its wake-up.
        QMetaObject::invokeMethod(
            socket_.get(), [this] { markLost(); }, Qt::QueuedConnection);
    }
}

void QtNetworkLink::writeByte(std::uint8_t byte) {
    if (!open_ || lost_) return;
    telnet::Bytes out;
    if (telnet_) {
        telnet::Codec::encode(byte, out);
    } else {
        out.push_back(byte);
    }
    send(out);
}

int QtNetworkLink::bytesToWrite() const {
    // A dead connection has nothing more to send.
    return open_ && !lost_ ? static_cast<int>(socket_->bytesToWrite()) : 0;
}

int QtNetworkLink::readByte() {
    if (in_.empty()) return -1;
    const int b = in_.front();
    in_.pop_front();
    return b;
}

void QtNetworkLink::setReceiveHandler(std::function<void()> handler) {
    onReceive_ = std::move(handler);
}

void QtNetworkLink::received() {
    const QByteArray bytes = socket_->readAll();
    if (bytes.isEmpty()) return;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::size_t before = in_.size();
    if (telnet_) {
        telnet::Bytes data, answer;
        telnet_->decode(p, static_cast<std::size_t>(bytes.size()), data, answer);
        in_.insert(in_.end(), data.begin(), data.end());
        send(answer);
    } else {
        in_.insert(in_.end(), p, p + bytes.size());
    }
    if (in_.size() != before && onReceive_) onReceive_();
}

std::vector<bool> ConnectAll(const std::vector<NetAddress>& addresses, int waitMs,
                             const std::function<void()>& meanwhile) {
    const QDeadlineTimer deadline(waitMs);
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (const auto& a : addresses) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(Host(a), a.port);
    }
    auto all = [&](auto done) {
        for (const auto& s : sockets) {
            if (!done(s->state())) return false;
        }
        return true;
    };
    auto lookedUp = [](QAbstractSocket::SocketState st) {
        return st != QAbstractSocket::HostLookupState;
    };
    auto settled = [](QAbstractSocket::SocketState st) {
        return st == QAbstractSocket::ConnectedState || st == QAbstractSocket::UnconnectedState;
    };
    // Blocks on the sockets' events until `done` holds for every one or `ms` have passed.
    auto waitUntil = [&](auto done, qint64 ms) {
        if (all(done) || ms <= 0) return;
        QEventLoop loop;
        for (const auto& s : sockets) {
            QObject::connect(s.get(), &QTcpSocket::stateChanged, &loop, [&] {
                if (all(done)) loop.quit();
            });
        }
        QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
        // Start-up waits on the network only; the operator's input waits until it is over.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    };
    // Addresses given as numbers are looked up at once, and their connections then go on in
    // the system while the serial ports are tried; names are not waited for here.
    constexpr qint64 kLookupMs = 50;
    waitUntil(lookedUp, kLookupMs);
    if (meanwhile) meanwhile();
    // A connection the system made meanwhile is only noticed once the loop runs, however late.
    constexpr qint64 kNoticeMs = 100;
    waitUntil(settled, std::max<qint64>(deadline.remainingTime(), kNoticeMs));
    std::vector<bool> result;
    for (const auto& s : sockets) {
        result.push_back(s->state() == QAbstractSocket::ConnectedState);
        s->abort();
    }
    return result;
}

}  // namespace platform
