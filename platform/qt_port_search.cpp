#include "platform/qt_port_search.h"

#include <QThread>

#include "platform/qt_port_link.h"

namespace platform {

QtPortSearch::QtPortSearch(std::function<std::string(int)> resolver)
    : resolver_(std::move(resolver)) {}

QtPortSearch::~QtPortSearch() {
    for (auto& t : searches_) t->wait();
}

std::vector<int> QtPortSearch::find(const std::vector<int>& numbers) {
    QtPortLink link(resolver_);
    return link.probePorts(numbers);
}

void QtPortSearch::findLater(std::vector<int> numbers,
                             std::function<void(std::vector<int> found)> done) {
    // Searches that have ended are let go; the new one joins the list.
    for (auto it = searches_.begin(); it != searches_.end();) {
        if ((*it)->isFinished()) {
            it = searches_.erase(it);
        } else {
            ++it;
        }
    }
    QObject* home = &home_;
    searches_.emplace_back(QThread::create(
        [resolver = resolver_, numbers = std::move(numbers), done = std::move(done), home] {
            QtPortLink link(resolver);
            std::vector<int> found = link.probePorts(numbers);
            QMetaObject::invokeMethod(
                home, [done, found = std::move(found)] { done(found); }, Qt::QueuedConnection);
        }));
    searches_.back()->start();
}

}  // namespace platform
