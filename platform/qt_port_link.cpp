#include "platform/qt_port_link.h"

#include <QThread>
#include <memory>

#include "platform/net_address.h"

namespace platform {

QtPortLink::QtPortLink(std::function<std::string(int)> resolver)
    : resolver_(std::move(resolver)), serial_(resolver_), network_(resolver_) {}

void QtPortLink::setPort(int number) {
    port_ = number;
    serial_.setPort(number);
    network_.setPort(number);
}

bool QtPortLink::open(std::string* reason) {
    close();
    const std::string target = resolver_ ? resolver_(port_) : std::string();
    active_ = LooksLikeNetAddress(target) ? static_cast<SerialLink*>(&network_) : &serial_;
    if (!target.empty() && !lock_.take(target, reason)) return false;
    if (active_->open(reason)) return true;
    lock_.release();
    return false;
}

void QtPortLink::close() {
    active_->close();
    lock_.release();
}

void QtPortLink::setReceiveHandler(std::function<void()> handler) {
    serial_.setReceiveHandler(handler);
    network_.setReceiveHandler(std::move(handler));
}

std::vector<int> QtPortLink::probePorts(const std::vector<int>& numbers) {
    std::vector<int> serialPorts, netPorts;
    std::vector<NetAddress> addresses;
    for (int n : numbers) {
        const std::string target = resolver_ ? resolver_(n) : std::string();
        if (!LooksLikeNetAddress(target)) {
            serialPorts.push_back(n);
        } else if (const auto a = ParseNetAddress(target)) {
            netPorts.push_back(n);
            addresses.push_back(*a);
        }
    }
    // The network entries are tried on a thread of their own, whose event loop drives their
    // sockets, while the devices are opened here; servers that do not answer cost one wait.
    std::vector<bool> connected(addresses.size(), false);
    std::unique_ptr<QThread> network;
    if (!addresses.empty()) {
        network.reset(QThread::create([&connected, &addresses, wait = probeWaitMs] {
            connected = ConnectAll(addresses, wait);
        }));
        network->start();
    }
    active_ = &serial_;
    const std::vector<int> serialFound = serial_.probePorts(serialPorts);
    if (network) network->wait();
    std::vector<int> found;
    auto s = serialFound.begin();
    std::size_t k = 0;
    for (int n : numbers) {
        if (s != serialFound.end() && *s == n) {
            found.push_back(n);
            ++s;
        } else if (k < netPorts.size() && netPorts[k] == n) {
            if (connected[k]) found.push_back(n);
            ++k;
        }
    }
    if (!numbers.empty()) setPort(numbers.back());
    return found;
}

}  // namespace platform
