// The port search over the Qt links: serial devices are tried on the calling thread while the
// network entries are tried on a thread of their own, and findLater() runs it all off the
// caller's thread.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/port_search.h"

class QThread;

namespace platform {

class QtPortSearch : public PortSearch {
  public:
    // `resolver` gives what a port number leads to, as for QtPortLink.
    explicit QtPortSearch(std::function<std::string(int)> resolver);
    // Waits for a search still under way.
    ~QtPortSearch() override;

    std::vector<int> find(const std::vector<int>& numbers) override;
    void findLater(std::vector<int> numbers,
                   std::function<void(std::vector<int> found)> done) override;

  private:
    std::function<std::string(int)> resolver_;
    // Lives on the thread that made the search: `done` runs there.
    QObject home_;
    std::vector<std::unique_ptr<QThread>> searches_;
};

}  // namespace platform
