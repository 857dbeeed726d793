#include "platform/host_lookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <thread>

namespace platform {

std::vector<std::string> HostLookup::SystemResolver(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<std::string> out;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return out;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        char text[NI_MAXHOST];
        if (::getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0,
                          NI_NUMERICHOST) == 0) {
            out.emplace_back(text);
        }
    }
    ::freeaddrinfo(found);
    return out;
}

std::shared_ptr<HostLookup> HostLookup::start(std::string host, Resolver resolver,
                                              std::function<void()> wake) {
    std::shared_ptr<HostLookup> lookup(new HostLookup);
    lookup->wake_ = std::move(wake);
    // Detached on purpose: a name server that never answers keeps only this thread.
    std::thread([lookup, host = std::move(host), resolver = std::move(resolver)] {
        std::vector<std::string> found = resolver ? resolver(host) : SystemResolver(host);
        std::lock_guard<std::mutex> lock(lookup->mutex_);
        lookup->addresses_ = std::move(found);
        lookup->done_ = true;
        if (!lookup->cancelled_ && lookup->wake_) lookup->wake_();
        lookup->wake_ = nullptr;
    }).detach();
    return lookup;
}

void HostLookup::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    wake_ = nullptr;
}

bool HostLookup::done() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return done_;
}

std::vector<std::string> HostLookup::addresses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return addresses_;
}

}  // namespace platform
