// The pages and their actions over cpp-httplib. Requests are answered on the server's own
// threads: what needs the service's state runs on its event loop through `onLoop`, and reading
// messages and drawing pictures runs where the request is.
#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "service/guard.h"
#include "service/message_desk.h"
#include "service/service_state.h"

namespace letrador::service {

// Runs `fn` on the service's event loop and waits for it; false when the service is closing and
// `fn` did not run.
using OnLoop = std::function<bool(const std::function<void()>& fn)>;

struct WebSettings {
    std::filesystem::path pages;  // pagina.html, estilo.css, letrador.js
    bool tls = false;
    std::optional<std::string> passwordHash;  // nothing: no password set (loopback only)
};

// httplib's task queue with a fixed number of workers and a bounded wait: when every worker is
// busy and the wait is full, the server stops accepting until one is free, so a flood of
// connections cannot grow the service without bound.
class BoundedPool : public httplib::TaskQueue {
  public:
    BoundedPool(std::size_t workers, std::size_t waiting);
    ~BoundedPool() override;
    void enqueue(std::function<void()> fn) override;
    void shutdown() override;

  private:
    void work();
    std::size_t maxWaiting_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    bool closing_ = false;
};

inline constexpr std::size_t kWorkers = 32;
inline constexpr std::size_t kWaitingConnections = 64;
inline constexpr int kPendingConnections = 128;
inline constexpr std::size_t kMaxBody = 64 * 1024;
inline constexpr int kMaxEventStreams = 8;

// Sets the server's limits and routes.
class WebService {
  public:
    WebService(httplib::Server& server, WebSettings settings, OnLoop onLoop, ServiceState& state,
               const MessageDesk& desk);

    // Once bound: lets the kernel hold kPendingConnections connections not yet accepted, where
    // cpp-httplib asks for 5 (more clients at once had their connection retried a second later).
    void widenAcceptQueue();

    // "Buscar carteles": searches the ports again and gives the state what it found.
    std::function<void()> searchSigns;

  private:
    struct Visit {
        bool signedIn = false;
        std::string csrf;
    };
    Visit visit(const httplib::Request& req);
    // A page request without a session goes to the login page; false then.
    bool pageAllowed(const httplib::Request& req, httplib::Response& res, Visit& v);
    // An action without a session gets 401, with a wrong CSRF token 403; false then.
    bool actionAllowed(const httplib::Request& req, httplib::Response& res, Visit& v);
    void page(httplib::Response& res, const Visit& v, const std::string& title, const std::string& tab,
              const std::string& body, int status = 200);
    std::string signChoice(const std::vector<FoundSign>& signs) const;

    void routes();
    void login(const httplib::Request& req, httplib::Response& res);
    void messages(const httplib::Request& req, httplib::Response& res);
    void recording(const httplib::Request& req, httplib::Response& res);
    void events(const httplib::Request& req, httplib::Response& res);
    void quick(const httplib::Request& req, httplib::Response& res);
    void quickSave(const httplib::Request& req, httplib::Response& res);
    void counters(const httplib::Request& req, httplib::Response& res, const std::string& notice = "");
    void programme(const httplib::Request& req, httplib::Response& res, const std::string& notice = "");
    void status(const httplib::Request& req, httplib::Response& res);
    // Starts a recording and sends the browser to its page.
    void startRecording(httplib::Response& res, WhatToRecord what, std::vector<std::string> ports,
                        const std::string& title);

    httplib::Server& server_;
    WebSettings settings_;
    OnLoop onLoop_;
    ServiceState& state_;  // only inside onLoop_
    const MessageDesk& desk_;
    Sessions sessions_;
    LoginLimiter limiter_;
    std::string pageTemplate_;
    std::atomic<int> listening_{-1};
    std::mutex streamsMutex_;
    int streams_ = 0;
};

// Text made safe inside HTML (also inside attribute values).
std::string Html(std::string_view text);
// Text as a JSON string, quotes included.
std::string Json(std::string_view text);

}  // namespace letrador::service
