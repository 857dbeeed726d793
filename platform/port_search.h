// Finding which port numbers open now. Trying a network entry means waiting on the network, so a
// window asks for the search off its own thread and hears the result later.
#pragma once

#include <functional>
#include <vector>

#include "platform/serial_link.h"

namespace platform {

class PortSearch {
  public:
    virtual ~PortSearch() = default;
    // Those of `numbers` that open and close again, in the same order. Network entries are tried
    // side by side, for half a second at most.
    virtual std::vector<int> find(const std::vector<int>& numbers) = 0;
    // The same off the caller's thread; `done` runs on the caller's thread when it is over.
    virtual void findLater(std::vector<int> numbers,
                           std::function<void(std::vector<int> found)> done) = 0;
};

// The search over one link, on the caller's thread: the scripted line of the tests, a console.
class LinkPortSearch : public PortSearch {
  public:
    explicit LinkPortSearch(SerialLink& link) : link_(link) {}
    std::vector<int> find(const std::vector<int>& numbers) override {
        return link_.probePorts(numbers);
    }
    void findLater(std::vector<int> numbers,
                   std::function<void(std::vector<int> found)> done) override {
        done(find(numbers));
    }

  private:
    SerialLink& link_;
};

}  // namespace platform
