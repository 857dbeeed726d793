// letrador-servicio run as a process on a scratch working folder (the shipped fonts and example
// messages, a password), with cartel-virtual signs on its ports, and an HTTP client signed in.
#pragma once

#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "service/guard.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

inline constexpr const char* kTestPassword = "clave-de-prueba";

class ServiceRig {
  public:
    ServiceRig() : work_(scratch_.path() / "trabajo") {
        namespace fs = std::filesystem;
        const fs::path built = fs::path(LETRADOR_BINARY_DIR) / "work";
        fs::create_directories(work_);
        for (const char* sub : {"tipografias", "mensajes"})
            fs::copy(built / sub, work_ / sub, fs::copy_options::recursive);
        fs::create_directories(work_ / "puertos");
    }
    // A second service on the working folder of another.
    explicit ServiceRig(std::filesystem::path sharedWork) : work_(std::move(sharedWork)) {}
    ~ServiceRig() { stop(); }

    const std::filesystem::path& work() const { return work_; }
    void setPassword(const std::string& password = kTestPassword) {
        service::SavePasswordHash(work_ / service::kPasswordFile, *service::HashPassword(password), nullptr);
    }
    // A cartel-virtual on each of `ports`, started with `extra`; false when one did not start.
    bool addSigns(const std::vector<int>& ports, const std::vector<std::string>& extra = {}) {
        for (int p : ports) {
            signs_.push_back(std::make_unique<VirtualSignProcess>(work_, p, extra));
            if (!signs_.back()->start()) return false;
        }
        return true;
    }
    VirtualSignProcess& sign(std::size_t k) { return *signs_.at(k); }

    // Starts the service with `extra` options on a free loopback port and waits for its first
    // line. False when it did not come (it may have ended: see exitCode()).
    bool start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{LETRADOR_SERVICE_PATH, "--carpeta", work_.string(), "--escuchar",
                                      "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        errPath_ = (scratch_.path() / ("servicio" + std::to_string(++runs_) + ".txt")).string();
        pid_ = ChildProcess::Spawn(args, -1, (scratch_.path() / "salida.txt").string(), errPath_);
        const std::regex first("atendiendo en https?://[^/]+:([0-9]+)/");
        for (int k = 0; k < 500; ++k) {
            std::smatch m;
            const std::string text = log();
            if (std::regex_search(text, m, first)) {
                port_ = std::stoi(m[1]);
                return true;
            }
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // SIGTERM, then its exit code (-1 when it had to be killed).
    int stop() {
        if (pid_ <= 0) return exitCode_;
        ::kill(pid_, SIGTERM);
        exitCode_ = ChildProcess::Reap(std::exchange(pid_, -1), 10000);
        return exitCode_;
    }
    int exitCode() const { return exitCode_; }
    pid_t pid() const { return pid_; }
    int port() const { return port_; }
    std::string log() const { return ChildProcess::FileText(errPath_); }

    std::unique_ptr<httplib::Client> client() const {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", port_);
        c->set_read_timeout(20, 0);
        c->set_keep_alive(true);
        c->set_tcp_nodelay(true);
        return c;
    }
    // Signs in; the headers that carry the session, and its CSRF token in `csrf`.
    httplib::Headers signIn(std::string& csrf, const std::string& password = kTestPassword) const {
        auto c = client();
        const auto r = c->Post("/entrar", httplib::Params{{"clave", password}});
        httplib::Headers h;
        if (!r || r->status != 303) return h;
        const std::string cookie = r->get_header_value("Set-Cookie");
        h.emplace("Cookie", cookie.substr(0, cookie.find(';')));
        const auto page = c->Get("/estado", h);
        std::smatch m;
        if (page && std::regex_search(page->body, m, std::regex("name=\"csrf\" value=\"([0-9a-f]+)\""))) csrf = m[1];
        return h;
    }
    // Signs in (once) and posts a recording of `form` ("csrf=" is completed with the session's
    // token); the page that follows it, "" when it was refused.
    std::string record(const std::string& form) {
        if (session_.empty()) session_ = signIn(csrf_);
        std::string body = form;
        if (body.rfind("csrf=&", 0) == 0) body = "csrf=" + csrf_ + body.substr(5);
        const auto r = client()->Post("/mensajes/grabar", session_, body,
                                      "application/x-www-form-urlencoded");
        return r && r->status == 303 ? r->get_header_value("Location") : std::string();
    }
    // The verdict the recording page `where` shows once its sign has ended ("" after a minute).
    std::string verdictShown(const std::string& where) {
        std::string shown;
        WaitFor([&] {
            const auto page = client()->Get(where.c_str(), session_);
            const std::string tag = "<p class=\"veredicto\">";
            const auto at = page ? page->body.find(tag) : std::string::npos;
            if (at == std::string::npos) return false;
            const auto from = at + tag.size();
            shown = page->body.substr(from, page->body.find("</p>", from) - from);
            return !shown.empty();
        }, 60);
        return shown;
    }
    // Polls `done` every 50 ms for up to `seconds`.
    template <class F>
    static bool WaitFor(F done, int seconds = 20) {
        for (int k = 0; k < seconds * 20; ++k) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return done();
    }
    // The resident memory of the service, in KiB.
    long residentKiB() const {
        const std::string status = ChildProcess::FileText("/proc/" + std::to_string(pid_) + "/status");
        std::smatch m;
        return std::regex_search(status, m, std::regex("VmRSS:\\s+([0-9]+)")) ? std::stol(m[1]) : -1;
    }

  private:
    httplib::Headers session_;
    std::string csrf_;
    ScratchFolder scratch_;
    std::filesystem::path work_;
    std::vector<std::unique_ptr<VirtualSignProcess>> signs_;
    std::string errPath_;
    pid_t pid_ = -1;
    int port_ = 0;
    int runs_ = 0;
    int exitCode_ = -1;
};

}  // namespace letrador::testing
