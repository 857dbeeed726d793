// letrador-servicio run as a process on a scratch working folder (the shipped fonts and example
// messages, a password), with cartel-virtual signs on its ports, and an HTTP client signed in.
#pragma once

#include <httplib.h>

#include <memory>
#include <regex>

#include "service/guard.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

inline constexpr const char* kTestPassword = "clave-de-prueba";

class ServiceRig {
  public:
    ServiceRig() : work_(scratch_.path() / "trabajo") {
        const std::filesystem::path built = std::filesystem::path(LETRADOR_BINARY_DIR) / "work";
        std::filesystem::create_directories(work_ / "puertos");
        for (const char* sub : {"tipografias", "mensajes"})
            std::filesystem::copy(built / sub, work_ / sub, std::filesystem::copy_options::recursive);
    }
    // A second service on the working folder of another.
    explicit ServiceRig(std::filesystem::path sharedWork) : work_(std::move(sharedWork)) {}
    ~ServiceRig() { stop(); }

    const std::filesystem::path& work() const { return work_; }
    void setPassword() {
        service::SavePasswordHash(work_ / service::kPasswordFile, *service::HashPassword(kTestPassword), nullptr);
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
    // The options of a sign that answers every byte `ms` late, so that a recording lasts seconds.
    static std::vector<std::string> Late(int ms) {
        std::vector<std::string> args;
        for (int n = 0; n < 2000; ++n) args.insert(args.end(), {"--tarde", std::to_string(n) + ":" + std::to_string(ms)});
        return args;
    }

    // Starts the service with `extra` options on a free loopback port and waits for its first
    // line. False when it did not come (it may have ended: see stop()).
    bool start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{LETRADOR_SERVICE_PATH, "--carpeta", work_.string(), "--escuchar", "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        errPath_ = (scratch_.path() / ("servicio" + std::to_string(++runs_) + ".txt")).string();
        pid_ = ChildProcess::Spawn(args, -1, (scratch_.path() / "salida.txt").string(), errPath_);
        const std::regex first("atendiendo en https?://[^/]+:([0-9]+)/");
        for (int k = 0; k < 500; ++k) {
            std::smatch m;
            const std::string text = log();
            if (std::regex_search(text, m, first)) return port_ = std::stoi(m[1]), true;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return pid_ = -1, false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // The password set, signs on `ports` started with `signArgs`, the service with `extra`, and
    // the rig's own session signed in.
    bool open(const std::vector<int>& ports = {}, const std::vector<std::string>& signArgs = {},
              const std::vector<std::string>& extra = {}) {
        setPassword();
        return addSigns(ports, signArgs) && restart(extra);
    }
    bool restart(const std::vector<std::string>& extra = {}) {
        stop();
        if (!start(extra)) return false;
        session_ = signIn(csrf_);
        return !csrf_.empty();
    }
    // SIGTERM, then its exit code (-1 when it had to be killed).
    int stop() {
        if (pid_ <= 0) return exitCode_;
        ::kill(pid_, SIGTERM);
        return exitCode_ = ChildProcess::Reap(std::exchange(pid_, -1), 10000);
    }
    int port() const { return port_; }
    std::string log() const { return ChildProcess::FileText(errPath_); }

    std::unique_ptr<httplib::Client> client() const {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", port_);
        c->set_read_timeout(20, 0), c->set_keep_alive(true), c->set_tcp_nodelay(true);
        return c;
    }
    // Signs in; the headers that carry the session, and its CSRF token in `csrf`.
    httplib::Headers signIn(std::string& csrf) const {
        auto c = client();
        const auto r = c->Post("/entrar", httplib::Params{{"clave", kTestPassword}});
        httplib::Headers h;
        if (!r || r->status != 303) return h;
        const std::string cookie = r->get_header_value("Set-Cookie");
        h.emplace("Cookie", cookie.substr(0, cookie.find(';')));
        const auto page = c->Get("/estado", h);
        std::smatch m;
        if (page && std::regex_search(page->body, m, std::regex("name=\"csrf\" value=\"([0-9a-f]+)\""))) csrf = m[1];
        return h;
    }
    const httplib::Headers& session() const { return session_; }
    const std::string& csrf() const { return csrf_; }
    // A page, and a form posted with the rig's session and its token.
    httplib::Result get(const std::string& path) const { return client()->Get(path.c_str(), session_); }
    httplib::Result post(const std::string& path, const std::string& form) const {
        return client()->Post(path.c_str(), session_, "csrf=" + csrf_ + "&" + form, "application/x-www-form-urlencoded");
    }
    // The page at `path` once `done` holds for its body (polled every 50 ms for up to `seconds`), else "".
    template <class F>
    std::string pageWhen(const std::string& path, F done, int seconds = 20) const {
        for (int k = 0; k <= seconds * 20; ++k) {
            if (const auto r = get(path); r && done(r->body)) return r->body;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "";
    }
    // A recording's page once it tells the recording ended, else "".
    std::string endedPage(const std::string& where, int seconds = 60) const {
        return pageWhen(where, [](const std::string& b) { return b.find("data-terminada=\"1\"") != b.npos; }, seconds);
    }
    // Posts a recording of `form`; the page that follows it, "" when it was refused.
    std::string record(const std::string& form) const {
        const auto r = post("/mensajes/grabar", form);
        return r && r->status == 303 ? r->get_header_value("Location") : std::string();
    }
    // The resident memory of the service, in KiB.
    long residentKiB() const {
        const std::string status = ChildProcess::FileText("/proc/" + std::to_string(pid_) + "/status");
        std::smatch m;
        return std::regex_search(status, m, std::regex("VmRSS:\\s+([0-9]+)")) ? std::stol(m[1]) : -1;
    }

  private:
    ScratchFolder scratch_;
    std::filesystem::path work_;
    std::vector<std::unique_ptr<VirtualSignProcess>> signs_;
    httplib::Headers session_;
    std::string csrf_, errPath_;
    pid_t pid_ = -1;
    int port_ = 0, runs_ = 0, exitCode_ = -1;
};

}  // namespace letrador::testing
