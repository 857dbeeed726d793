// A host name looked up on a thread of its own that nobody waits for: the caller gives up when
// its own deadline comes, and neither it nor the process at its end ever waits on a name server
// that does not answer. Plain C++.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class HostLookup {
  public:
    // The addresses of a name, as numeric text; an empty list when there are none.
    using Resolver = std::function<std::vector<std::string>(const std::string& host)>;
    // The system's resolver (getaddrinfo), IPv4 and IPv6.
    static std::vector<std::string> SystemResolver(const std::string& host);

    // Starts looking `host` up with `resolver`; `wake` runs on the lookup's thread once it has
    // ended, unless cancel() came first.
    static std::shared_ptr<HostLookup> start(std::string host, Resolver resolver,
                                             std::function<void()> wake);

    // After this `wake` never runs; the lookup itself ends in its own time.
    void cancel();
    bool done() const;
    // The addresses found, once done().
    std::vector<std::string> addresses() const;

  private:
    HostLookup() = default;
    mutable std::mutex mutex_;
    bool done_ = false;
    bool cancelled_ = false;
    std::vector<std::string> addresses_;
    std::function<void()> wake_;
};

}  // namespace platform
