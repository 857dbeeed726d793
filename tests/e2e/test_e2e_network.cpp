// Signs on the network: the program's link through Debian's ser2net (raw TCP and Telnet with
// RFC 2217) in front of cartel-virtual on a pseudo-terminal, and cartel-virtual listening on a
// TCP port itself. A recording must put on the sign's line exactly the bytes it puts there over
// the pseudo-terminal directly, 0xFF included.
#include <algorithm>
#include <span>

#include "platform/net_address.h"
#include "platform/qt_port_search.h"
#include "settings/plain_options_view.h"
#include "settings/port_discovery.h"
#include "tests/e2e/e2e_bench.h"
#include "tests/support/ser2net_process.h"

namespace letrador::testing {
namespace {

using Accepter = Ser2netProcess::Accepter;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 5;      // the port the recording uses
constexpr int kLinePort = 7;  // where the sign's pseudo-terminal is linked behind ser2net

// Columns that mean something to Telnet (IAC, SB, SE, WILL...) or to flow control (XON/XOFF).
std::string NetworkFont(E2eBench& bench) {
    const std::string font = (bench.work.path() / "red.ffv").string();
    WriteFont(font, {{"H", {0xFF, 0x0D, 0xFF}}, {"E", {0xF0, 0xFA, 0x00, 0xFB, 0xFE}}, {"A", {0xFD, 0xFC, 0xFF}},
                     {"I", {0x11, 0x13}}});
    return font;
}

void MapPort(const std::filesystem::path& work, int port, const std::string& target) {
    std::filesystem::create_directories(work / "puertos");
    std::ofstream(work / "puertos" / ("COM" + std::to_string(port))) << target << "\n";
}

struct Route {
    const char* name;
    bool throughSer2net;  // else cartel-virtual listens itself
    Accepter accepter;
};
const Route kRoutes[] = {{"ser2net tcp", true, Accepter::Tcp}, {"ser2net rfc2217", true, Accepter::Rfc2217},
                         {"cartel-virtual tcp", false, Accepter::Tcp},
                         {"cartel-virtual rfc2217", false, Accepter::Rfc2217}};

// Starts the sign behind ser2net on `route`, mapped as port kPort.
void StartBehind(E2eBench& net, Ser2netProcess& ser2net, const Route& route) {
    ASSERT_TRUE(net.startSign());
    std::string why;
    ASSERT_TRUE(ser2net.start(route.accepter, net.sign.device(), &why)) << why;
    MapPort(net.work.path(), kPort, ser2net.address(route.accepter));
    net.portText = std::to_string(kPort);
}

TEST(NetworkRecording, IsByteIdenticalToTheSameRecordingOverThePseudoTerminal) {
    E2eBench direct(kPort);  // the same recording straight over the pseudo-terminal
    ASSERT_TRUE(direct.startSign());
    ASSERT_EQ(direct.recordTwoParagraphs(NetworkFont(direct)), Verdict::Clean);
    const auto sent = direct.sign.stop();
    ASSERT_GE(std::count(sent.bytes.begin(), sent.bytes.end(), 0xFF), 3);
    for (const Route& route : kRoutes) {
        SCOPED_TRACE(route.name);
        std::vector<std::string> signArgs;
        if (!route.throughSer2net) signArgs = {"--tcp", std::to_string(FreeTcpPort())};
        if (!route.throughSer2net && route.accepter == Accepter::Rfc2217) signArgs.push_back("--rfc2217");
        E2eBench net(route.throughSer2net ? kLinePort : kPort, signArgs);
        Ser2netProcess ser2net;
        if (route.throughSer2net) {
            ASSERT_NO_FATAL_FAILURE(StartBehind(net, ser2net, route));
        } else {
            ASSERT_TRUE(net.startSign());
        }
        ASSERT_TRUE(platform::LooksLikeNetAddress(PortDevicePath(net.work.path(), kPort)));
        EXPECT_EQ(net.recordTwoParagraphs(NetworkFont(net)), Verdict::Clean);
        EXPECT_EQ(net.view.lines(), direct.view.lines());
        const auto got = net.sign.stop();
        EXPECT_EQ(got.bytes, sent.bytes);
        EXPECT_EQ(got.listing, sent.listing);
    }
}

// ser2net killed while the sign holds its answer to a byte in the middle of the first paragraph:
// the recording ends as a lost link, soon, and nothing after that byte reaches the sign.
TEST(NetworkLoss, KilledServerEndsTheRecording) {
    constexpr long long kHeldByte = 12;
    for (const Route& route : std::span(kRoutes).first(2)) {
        SCOPED_TRACE(route.name);
        E2eBench net(kLinePort, {"--tarde", std::to_string(kHeldByte) + ":5000"});
        Ser2netProcess ser2net;
        ASSERT_NO_FATAL_FAILURE(StartBehind(net, ser2net, route));
        SignLoss loss(net.sign, {kHeldByte, std::chrono::milliseconds(0)}, [&] {
            ser2net.kill(SIGKILL);
            return true;
        });
        EXPECT_EQ(net.recordTwoParagraphs(NetworkFont(net)), Verdict::LinkLost);
        const auto ended = Clock::now();
        loss.join();
        ASSERT_TRUE(loss.killed());
        const auto lines = net.view.lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Se perdió la conexión con el puerto COM 5."), 1);
        EXPECT_EQ(lines.end()[-2], "Hubo errores en la grabación.");
        EXPECT_LT(ended - loss.killedAt(), std::chrono::milliseconds(1500));
        EXPECT_EQ(net.sign.stop().bytes.size(), static_cast<std::size_t>(kHeldByte + 1));
    }
}

// All network entries are tried at the same time: eight servers that hang, one where nobody
// listens and one without a port cost one wait, and only the sign that answers is listed.
TEST(NetworkPorts, SearchListsTheServerThatAnswersWithoutWaitingOnTheOthersInTurn) {
    E2eBench bench(30, {"--tcp", std::to_string(FreeTcpPort())});
    ASSERT_TRUE(bench.startSign());
    HangingListener hanging;
    for (int n = 20; n <= 27; ++n) MapPort(bench.work.path(), n, "tcp://127.0.0.1:" + std::to_string(hanging.port));
    MapPort(bench.work.path(), 28, "rfc2217://127.0.0.1:" + std::to_string(FreeTcpPort()));
    MapPort(bench.work.path(), 29, "tcp://127.0.0.1");
    PlainOptionsView options;
    const auto start = Clock::now();
    platform::QtPortSearch search(bench.deviceOf);
    BuscarPuertos(search, options, bench.deviceOf);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
    Lines network;
    for (const auto& p : options.ports())
        if (std::stoi(p.number) >= 20 && std::stoi(p.number) <= 30) network.push_back(p.number + " " + p.device);
    EXPECT_EQ(network, Lines{"30 " + bench.sign.device()});
}

TEST(NetworkPorts, ServerThatCannotBeReachedIsLoggedWithItsReason) {
    E2eBench bench(kPort);
    MapPort(bench.work.path(), kPort, "tcp://127.0.0.1:" + std::to_string(FreeTcpPort()));
    EXPECT_EQ(bench.recordTwoParagraphs(), Verdict::CouldNotOpen);
    const auto lines = bench.view.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].rfind("No se pudo abrir el puerto COM 5: el servidor 127.0.0.1:", 0), 0u) << lines[2];
    EXPECT_NE(lines[2].find("rechazó la conexión"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3], "Hubo errores en la grabación.");
}

}  // namespace
}  // namespace letrador::testing
