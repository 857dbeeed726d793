#include "platform/qt_network_link.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QMetaObject>
#include <QTcpSocket>

namespace platform {
namespace {

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

constexpr qint64 kReadBufferBytes = 64 * 1024;

}  // namespace

QtNetworkLink::QtNetworkLink(std::function<std::string(int)> resolver)
    : resolver_(std::move(resolver)), socket_(std::make_unique<QTcpSocket>()) {
    socket_->setReadBufferSize(kReadBufferBytes);
    QObject::connect(socket_.get(), &QTcpSocket::readyRead, &context_, [this] { received(); });
    QObject::connect(socket_.get(), &QTcpSocket::disconnected, &context_, [this] { markLost(); });
    QObject::connect(socket_.get(), &QTcpSocket::errorOccurred, &context_, [this] {
        markLost();
        wake();
    });
    QObject::connect(socket_.get(), &QTcpSocket::stateChanged, &context_, [this] { wake(); });
    QObject::connect(socket_.get(), &QTcpSocket::bytesWritten, &context_, [this] {
        if (socket_->bytesToWrite() == 0) drainTimer_.stop();
    });
    drainTimer_.setSingleShot(true);
    QObject::connect(&drainTimer_, &QTimer::timeout, &context_, [this] {
        // Output that cannot leave within an exchange's time is a server that stopped reading.
        if (open_ && socket_->bytesToWrite() > 0) markLost();
    });
}

QtNetworkLink::~QtNetworkLink() {
    close();
}

bool QtNetworkLink::waitFor(const std::function<bool()>& done, qint64 ms) {
    if (done()) return true;
    if (ms <= 0) return false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    waiting_ = &loop;
    waitDone_ = done;
    deadline.start(static_cast<int>(ms));
    loop.exec();
    waiting_ = nullptr;
    waitDone_ = nullptr;
    return done();
}

void QtNetworkLink::wake() {
    if (waiting_ && waitDone_ && waitDone_()) waiting_->quit();
}

bool QtNetworkLink::open(std::string* reason) {
    close();
    lost_ = false;
    outputRefused_ = false;
    in_.clear();
    telnet_.reset();
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        open_ = false;
        socket_->abort();
        return false;
    };
    const std::string text = resolver_ ? resolver_(port_) : std::string();
    const auto address = ParseNetAddress(text);
    if (!address) return fail("la dirección de red no es válida: " + text);

    const QDeadlineTimer connecting(connectTimeoutMs);
    QHostAddress target;
    if (!target.setAddress(QString::fromStdString(address->host))) {
        auto found = HostLookup::start(address->host, lookup, [this] {
            QMetaObject::invokeMethod(&context_, [this] { wake(); }, Qt::QueuedConnection);
        });
        const bool done = waitFor([&] { return found->done(); }, connecting.remainingTime());
        found->cancel();
        if (!done) return fail("no se encontró el servidor " + address->host + " a tiempo");
        const auto addresses = found->addresses();
        if (addresses.empty()) return fail("no se encontró el servidor " + address->host);
        target.setAddress(QString::fromStdString(addresses.front()));
    }
    socket_->connectToHost(target, address->port);
    const auto settled = [this] {
        return socket_->state() == QAbstractSocket::ConnectedState ||
               socket_->state() == QAbstractSocket::UnconnectedState;
    };
    const bool answered = waitFor(settled, connecting.remainingTime());
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        return fail(answered ? Reason(*socket_, *address)
                             : "el servidor " + Where(*address) + " no respondió");
    }
    // Each byte leaves on its own, without waiting for company.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    open_ = true;

    if (address->kind == NetAddress::Kind::Rfc2217) {
        telnet_.emplace(telnet::Codec::Role::Client);
        send(telnet_->greeting());
        const auto over = [this] {
            return lost_ || telnet_->failed() ||
                   telnet_->agreement().state != telnet::Agreement::State::Pending;
        };
        waitFor(over, settingsTimeoutMs);
        if (telnet_->failed())
            return fail("el servidor " + Where(*address) + " no respeta el protocolo Telnet");
        if (lost_) {
            return fail(outputRefused_ ? "el servidor " + Where(*address) + " no lee lo que se le envía"
                                       : Reason(*socket_, *address));
        }
        const telnet::Agreement agreement = telnet_->agreement();
        if (agreement.state == telnet::Agreement::State::Refused) return fail(agreement.reason);
        if (agreement.state == telnet::Agreement::State::Pending) {
            return fail("el servidor " + Where(*address) +
                        " no completó la configuración del puerto (RFC 2217) a tiempo");
        }
    }
    return true;
}

void QtNetworkLink::close() {
    // Closing by our own hand is no loss.
    open_ = false;
    drainTimer_.stop();
    if (socket_->state() != QAbstractSocket::UnconnectedState) socket_->abort();
}

void QtNetworkLink::markLost() {
    if (!open_ || lost_) return;
    lost_ = true;
    drainTimer_.stop();
    if (onReceive_) onReceive_();
    wake();
}

void QtNetworkLink::send(const telnet::Bytes& bytes) {
    if (bytes.empty() || lost_) return;
    // A server that takes nothing would have the answers pile up without end.
    if (socket_->bytesToWrite() + static_cast<qint64>(bytes.size()) > kMaxNetworkOutput) {
        outputRefused_ = true;
        QMetaObject::invokeMethod(&context_, [this] { markLost(); }, Qt::QueuedConnection);
        return;
    }
    const qint64 n = socket_->write(reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<qint64>(bytes.size()));
    // Handed to the system at once, so that bytesToWrite() falls to 0 without a turn of the
    // event loop.
    if (n == static_cast<qint64>(bytes.size())) socket_->flush();
    if (n < 0) {
        // Reported from the event loop, where an exchange expects its wake-up.
        QMetaObject::invokeMethod(&context_, [this] { markLost(); }, Qt::QueuedConnection);
        return;
    }
    if (open_ && socket_->bytesToWrite() > 0 && !drainTimer_.isActive())
        drainTimer_.start(drainTimeoutMs);
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
    bool arrived = false;
    if (telnet_) {
        telnet::Bytes data, answer;
        telnet_->decode(p, static_cast<std::size_t>(bytes.size()), data, answer);
        in_.insert(in_.end(), data.begin(), data.end());
        arrived = !data.empty();
        send(answer);
        if (telnet_->failed()) {
            markLost();
            return;
        }
    } else {
        in_.insert(in_.end(), p, p + bytes.size());
        arrived = true;
    }
    while (in_.size() > kMaxNetworkInput) in_.pop_front();
    if (arrived && onReceive_) onReceive_();
    wake();
}

std::vector<bool> ConnectAll(const std::vector<NetAddress>& addresses, int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    QObject context;
    QEventLoop loop;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    std::vector<std::shared_ptr<HostLookup>> lookups(addresses.size());
    auto settled = [&] {
        for (std::size_t k = 0; k < sockets.size(); ++k) {
            const auto st = sockets[k]->state();
            const bool pending = lookups[k] && !lookups[k]->done();
            if (pending || (st != QAbstractSocket::ConnectedState &&
                            st != QAbstractSocket::UnconnectedState)) {
                return false;
            }
        }
        return true;
    };
    auto check = [&] {
        if (settled()) loop.quit();
    };
    for (std::size_t k = 0; k < addresses.size(); ++k) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        QObject::connect(sockets[k].get(), &QTcpSocket::stateChanged, &context, check);
        QHostAddress target;
        if (target.setAddress(QString::fromStdString(addresses[k].host))) {
            sockets[k]->connectToHost(target, addresses[k].port);
            continue;
        }
        // A name connects once it has been found, if that is in time.
        lookups[k] = HostLookup::start(addresses[k].host, nullptr, [&context, &sockets, &lookups,
                                                                    &addresses, &check, k] {
            QMetaObject::invokeMethod(
                &context,
                [&, k] {
                    const auto found = lookups[k]->addresses();
                    if (!found.empty())
                        sockets[k]->connectToHost(QHostAddress(QString::fromStdString(found[0])),
                                                  addresses[k].port);
                    check();
                },
                Qt::QueuedConnection);
        });
    }
    if (!settled()) {
        QTimer::singleShot(std::max<qint64>(deadline.remainingTime(), 0), &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::vector<bool> result;
    for (std::size_t k = 0; k < sockets.size(); ++k) {
        if (lookups[k]) lookups[k]->cancel();
        result.push_back(sockets[k]->state() == QAbstractSocket::ConnectedState);
        sockets[k]->abort();
    }
    return result;
}

}  // namespace platform
