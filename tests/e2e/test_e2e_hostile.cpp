// Broken and hostile serial device servers, over rfc2217:// and tcp://: letrador-cli, recording
// into each, ends within 5 s of the opening with a clear reason, and stays small.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>

#include "platform/telnet_codec.h"
#include "tests/support/ser2net_process.h"

namespace letrador::testing {
namespace {

namespace t = platform::telnet;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// What a server does with one connection, until the client goes or the server stops. `send`
// offers bytes (reading whatever comes when `reads`); false once the client has gone.
using Send = std::function<bool(const Bytes& bytes, bool reads)>;
using Behaviour = std::function<void(const Send& send)>;

// One server on the loopback: every connection it accepts gets `behave`.
class HostileServer {
  public:
    explicit HostileServer(Behaviour behave) : behave_(std::move(behave)) {
        ::listen(listener_, 4);
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{listener_, POLLIN, 0};
                const int fd = ::poll(&p, 1, 50) > 0 ? ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
                if (fd < 0) continue;
                behave_([&](const Bytes& bytes, bool reads) { return offer(fd, bytes, reads); });
                ::close(fd);
            }
        });
    }
    ~HostileServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    int port() const { return port_; }

  private:
    bool offer(int fd, const Bytes& bytes, bool reads) {
        for (std::size_t sent = 0; !stop_;) {
            pollfd p{fd, static_cast<short>((reads ? POLLIN : 0) | (sent < bytes.size() ? POLLOUT : 0)), 0};
            if (::poll(&p, 1, 20) < 0 || (p.revents & (POLLHUP | POLLERR))) return false;
            char sink[4096];
            if ((p.revents & POLLIN) && ::recv(fd, sink, sizeof sink, 0) <= 0) return false;
            if (p.revents & POLLOUT) {
                const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                if (n < 0) return false;
                sent += static_cast<std::size_t>(n);
            }
            if (sent == bytes.size()) return true;
        }
        return false;
    }
    Behaviour behave_;
    int listener_ = TcpSocket(), port_ = BindLoopback(listener_);
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

Behaviour Forever(Bytes chunk, bool reads) {
    return [=](const Send& send) { while (send(chunk, reads)) {} };
}
void EndlessSubnegotiation(const Send& send) {
    if (send({t::kIAC, t::kSB, t::kOptComPort}, true)) Forever(Bytes(4096, 'x'), true)(send);
}
void RandomBytes(const Send& send) {
    std::uint32_t x = 12345;
    Bytes chunk(4096);
    do {
        for (auto& b : chunk) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
    } while (send(chunk, true));
}
void OneByteEvery300ms(const Send& send) {
    while (send({0x41}, true)) {
        for (const auto until = Clock::now() + 300ms; Clock::now() < until && send({}, true);)
            std::this_thread::sleep_for(20ms);
    }
}
// A Telnet server that answers binary mode with `doOrDont` and `willOrWont` (DO and WILL, or DONT
// and WONT), agrees to COM-PORT-CONTROL and acknowledges the line settings `acks`, then reads on.
Behaviour Negotiating(std::uint8_t doOrDont, std::uint8_t willOrWont, std::vector<Bytes> acks) {
    return [=](const Send& send) {
        Bytes agree = {t::kIAC, doOrDont, t::kOptBinary, t::kIAC, willOrWont, t::kOptBinary,
                       t::kIAC, t::kDO, t::kOptComPort};
        for (const Bytes& ack : acks) {
            agree.insert(agree.end(), {t::kIAC, t::kSB, t::kOptComPort});
            agree.insert(agree.end(), ack.begin(), ack.end());
            agree.insert(agree.end(), {t::kIAC, t::kSE});
        }
        if (send(agree, true)) Forever({}, true)(send);
    };
}

struct Case {
    const char* name;
    const char* scheme;
    Behaviour server;  // none: a listener whose connections hang
    int exitCode;
    // Found in what the command wrote; one of several when the race between the server and the
    // program decides which limit it meets first.
    std::vector<std::string> reasons;
};

const std::string kSettingsLate = "no completó la configuración del puerto (RFC 2217) a tiempo",
                  kNotReading = "no lee lo que se le envía";
const Case kCases[] = {
    {"Rfc2217EndlessSubnegotiation", "rfc2217", EndlessSubnegotiation, 4, {"no respeta el protocolo Telnet"}},
    {"Rfc2217TogglingOptionsAndReading", "rfc2217",
     Forever({t::kIAC, t::kWILL, 3, t::kIAC, t::kWONT, 3}, true), 4, {kSettingsLate, kNotReading}},
    {"Rfc2217TogglingOptionsWithoutReading", "rfc2217",
     Forever({t::kIAC, t::kDO, 3, t::kIAC, t::kDONT, 3}, false), 4, {kSettingsLate, kNotReading}},
    {"Rfc2217RandomBytes", "rfc2217", RandomBytes, 4,
     {"no respeta el protocolo Telnet", "el servidor no aceptó", "el servidor no admite"}},
    {"Rfc2217OneByteEvery300ms", "rfc2217", OneByteEvery300ms, 4, {kSettingsLate}},
    {"Rfc2217BinaryRefused", "rfc2217",
     Negotiating(t::kDONT, t::kWONT, {{101, 0, 0, 0x25, 0x80}, {102, 8}, {103, 1}, {104, 1}, {105, 1}}), 4,
     {"el servidor no aceptó el modo binario"}},
    // 115200 baud, 7 bits, even parity, 2 stop bits, hardware flow control.
    {"Rfc2217OtherLineSettings", "rfc2217",
     Negotiating(t::kDO, t::kWILL, {{101, 0, 1, 0xC2, 0}, {102, 7}, {103, 3}, {104, 2}, {105, 3}}), 4,
     {"el servidor no aceptó 9600 baudios (respondió 115200)"}},
    {"Rfc2217ConnectionThatNeverOpens", "rfc2217", nullptr, 4, {"no respondió"}},
    {"TcpEndlessSubnegotiation", "tcp", EndlessSubnegotiation, 1, {"Error: reintentos superados."}},
    {"TcpRandomBytes", "tcp", RandomBytes, 1, {"Hubo errores en la grabación."}},
    {"TcpOneByteEvery300ms", "tcp", OneByteEvery300ms, 1, {"Error: reintentos superados."}},
};

TEST(HostileServers, EndWithinFiveSecondsWithAClearReasonAndLittleMemory) {
    ScratchFolder work;
    for (const char* folder : {"puertos", "tipografias", "mensajes"})
        std::filesystem::create_directories(work.path() / folder);
    WriteFont(work.path() / "tipografias" / "a.ffv", SampleAB());
    std::ofstream(work.path() / "mensajes" / "m.fmv", std::ios::binary)
        << "3\r\n0\r\n1\r\n\"a.ffv\"\r\n\"AAA\"\r\n\"fin_parrafo\"\r\n14\r\n#FALSE#\r\n1\r\n";
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::optional<HostileServer> server;
        std::optional<HangingListener> hanging;
        if (c.server) server.emplace(c.server);
        else hanging.emplace();
        const int port = server ? server->port() : hanging->port;
        std::ofstream(work.path() / "puertos" / "COM9") << c.scheme << "://127.0.0.1:" << port << "\n";
        const auto out = work.path() / "salida";
        const auto start = Clock::now();
        const pid_t pid = ChildProcess::Spawn(
            {LETRADOR_CLI_PATH, "grabar", "m.fmv", "--puerto", "9", "--carpeta", work.path().string()}, -1, out, "");
        ASSERT_GT(pid, 0);
        int status = 0;
        rusage usage{};
        ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        const std::string said = ChildProcess::FileText(out);
        std::printf("[ hostil ] %s: %lld ms, %ld kB\n", c.name, static_cast<long long>(took.count()),
                    usage.ru_maxrss);
        EXPECT_TRUE(WIFEXITED(status)) << said;
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << said;
        EXPECT_TRUE(std::any_of(c.reasons.begin(), c.reasons.end(),
                                [&](const std::string& r) { return said.find(r) != std::string::npos; })) << said;
        EXPECT_LT(took, 5s) << said;
#if !defined(__SANITIZE_ADDRESS__)
        // Under AddressSanitizer freed memory waits in quarantine: the resident size is not the program's.
        EXPECT_LT(usage.ru_maxrss, 100 * 1024) << "kB";
#endif
    }
}

}  // namespace
}  // namespace letrador::testing
