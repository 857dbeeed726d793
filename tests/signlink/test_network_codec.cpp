// Network addresses of port entries and the Telnet / COM-PORT-CONTROL codec of the network
// link, byte for byte.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/net_address.h"
#include "platform/telnet_codec.h"

namespace {

using platform::NetAddress;
using platform::ParseNetAddress;
using namespace platform::telnet;

struct AddressCase {
    std::string text;
    std::optional<NetAddress> expected;  // nothing: not a valid address
};

TEST(NetAddress, ParsesBothSchemesAndRefusesAnythingElse) {
    using K = NetAddress::Kind;
    const AddressCase cases[] = {
        {"tcp://192.168.1.50:4001", NetAddress{K::Tcp, "192.168.1.50", 4001}},
        {"rfc2217://cartel-caja:2217", NetAddress{K::Rfc2217, "cartel-caja", 2217}},
        {"tcp://[::1]:65535", NetAddress{K::Tcp, "::1", 65535}},
        {"tcp://host:1", NetAddress{K::Tcp, "host", 1}},
        {"tcp://host:0", std::nullopt},
        {"tcp://host:65536", std::nullopt},
        {"tcp://host:", std::nullopt},
        {"tcp://host", std::nullopt},
        {"tcp://:4001", std::nullopt},
        {"tcp://host:40a1", std::nullopt},
        {"tcp://::1:4001", std::nullopt},
        {"tcp://[::1]4001", std::nullopt},
        {"tcp://a b:4001", std::nullopt},
        {"udp://host:4001", std::nullopt},
        {"TCP://host:4001", std::nullopt},
        {"/dev/ttyS0", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto got = ParseNetAddress(c.text);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (!got) continue;
        EXPECT_EQ(got->kind, c.expected->kind);
        EXPECT_EQ(got->host, c.expected->host);
        EXPECT_EQ(got->port, c.expected->port);
    }
    EXPECT_TRUE(platform::LooksLikeNetAddress("tcp://host"));
    EXPECT_TRUE(platform::LooksLikeNetAddress("rfc2217://"));
    EXPECT_FALSE(platform::LooksLikeNetAddress("/dev/pts/3"));
}

Bytes AllValues() {
    Bytes all;
    for (int v = 0; v < 256; ++v) all.push_back(static_cast<std::uint8_t>(v));
    return all;
}

// The request of one line setting as it goes on the wire.
Bytes Sb(std::uint8_t command, Bytes value) {
    value.insert(value.begin(), {kIAC, kSB, kOptComPort, command});
    value.insert(value.end(), {kIAC, kSE});
    return value;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kSettingsRequest = Cat({Sb(kSetBaudRate, {0x00, 0x00, 0x25, 0x80}),
                                    Sb(kSetDataSize, {8}), Sb(kSetParity, {kParityNone}),
                                    Sb(kSetStopSize, {kOneStopBit}),
                                    Sb(kSetControl, {kNoFlowControl})});

TEST(TelnetCodec, EveryByteValueSurvivesTheDoublingOfIacInAnyPieces) {
    Bytes wire;
    for (auto b : AllValues()) Codec::encode(b, wire);
    ASSERT_EQ(wire.size(), 257u);
    EXPECT_EQ(wire[255], kIAC);
    EXPECT_EQ(wire[256], kIAC);
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{256}}) {
        SCOPED_TRACE(piece);
        for (auto role : {Codec::Role::Client, Codec::Role::Server}) {
            Codec codec(role);
            Bytes data, answer;
            for (std::size_t at = 0; at < wire.size(); at += piece)
                codec.decode(wire.data() + at, std::min(piece, wire.size() - at), data, answer);
            EXPECT_EQ(data, AllValues());
            EXPECT_TRUE(answer.empty());
        }
    }
}

TEST(TelnetCodec, ClientGreetsAndAsksForTheSignsLineSettingsOnceTheServerAgrees) {
    Codec client(Codec::Role::Client);
    EXPECT_EQ(client.greeting(), (Bytes{kIAC, kWILL, kOptBinary, kIAC, kDO, kOptBinary, kIAC,
                                        kWILL, kOptSuppressGoAhead, kIAC, kDO,
                                        kOptSuppressGoAhead, kIAC, kWILL, kOptComPort}));
    struct Case {
        const char* name;
        Bytes in;
        Bytes data;
        Bytes answer;
        bool acknowledged;  // all line settings acknowledged after this step
    };
    // One client through a whole session: each step sees what the steps before it agreed.
    const Case steps[] = {
        // What ser2net's telnet(rfc2217) accepter says first.
        {"server greeting",
         {kIAC, kWILL, kOptSuppressGoAhead, kIAC, kDO, kOptSuppressGoAhead, kIAC, kWILL, kOptEcho,
          kIAC, kDONT, kOptEcho, kIAC, kDO, kOptBinary, kIAC, kWILL, kOptBinary, kIAC, kDO,
          kOptComPort},
         {},
         Cat({{kIAC, kDONT, kOptEcho}, kSettingsRequest}),
         false},
        {"agreed again", {kIAC, kWILL, kOptBinary, kIAC, kDO, kOptComPort}, {}, {}, false},
        {"unknown options",
         {kIAC, kDO, 24, kIAC, kWILL, 31},
         {},
         {kIAC, kWONT, 24, kIAC, kDONT, 31},
         false},
        {"one-byte commands in the data",
         {'A', kIAC, 241, 'B', kIAC, 249, kIAC, kIAC},
         {'A', 'B', kIAC},
         {},
         false},
        // Acknowledged one by one: the link is ready only once control is too.
        {"acknowledgements and a notification",
         Cat({Sb(101, {0x00, 0x00, 0x25, 0x80}), Sb(107, {kIAC, kIAC}), {'x'}, Sb(102, {8}),
              Sb(103, {1}), Sb(104, {1})}),
         {'x'},
         {},
         false},
        {"control acknowledged", Sb(105, {1}), {}, {}, true},
        {"binary withdrawn",
         {kIAC, kWONT, kOptBinary, kIAC, kWONT, kOptBinary},
         {},
         {kIAC, kDONT, kOptBinary},
         true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        Bytes data, answer;
        client.decode(s.in.data(), s.in.size(), data, answer);
        EXPECT_EQ(data, s.data);
        EXPECT_EQ(answer, s.answer);
        EXPECT_EQ(client.lineSettingsAcknowledged(), s.acknowledged);
    }
}

TEST(TelnetCodec, ClientAndServerAgreeAndCarryEveryValueBothWays) {
    Codec client(Codec::Role::Client), server(Codec::Role::Server);
    Bytes toServer = client.greeting(), toClient = server.greeting();
    Bytes atClient, atServer;
    int rounds = 0;
    while ((!toServer.empty() || !toClient.empty()) && ++rounds < 10) {
        Bytes replyToClient, replyToServer;
        server.decode(toServer.data(), toServer.size(), atServer, replyToClient);
        client.decode(toClient.data(), toClient.size(), atClient, replyToServer);
        toServer = replyToServer;
        toClient = replyToClient;
    }
    ASSERT_LT(rounds, 10) << "the negotiation never settles";
    EXPECT_TRUE(client.lineSettingsAcknowledged());
    EXPECT_EQ(server.requestedBaudRate(), 9600u);
    EXPECT_TRUE(atClient.empty());
    EXPECT_TRUE(atServer.empty());

    Bytes wire, answer;
    for (auto b : AllValues()) Codec::encode(b, wire);
    server.decode(wire.data(), wire.size(), atServer, answer);
    client.decode(wire.data(), wire.size(), atClient, answer);
    EXPECT_EQ(atServer, AllValues());
    EXPECT_EQ(atClient, AllValues());
    EXPECT_TRUE(answer.empty());
}

TEST(TelnetCodec, ServerAcknowledgesEachSettingWithItsValueAndAnswersQueries) {
    // One server through the steps: a baud rate of 0 asks for the one in use.
    const struct {
        Bytes in, answer;
        std::uint32_t baud;  // requested so far
    } steps[] = {
        {Sb(kSetBaudRate, {0x00, 0x00, 0x00, 0x00}), Sb(101, {0x00, 0x00, 0x25, 0x80}), 0},
        {Sb(kSetBaudRate, {0x00, 0x00, 0x25, 0x80}), Sb(101, {0x00, 0x00, 0x25, 0x80}), 9600},
        {Sb(kSetBaudRate, {0x00, 0x01, 0xC2, 0x00}), Sb(101, {0x00, 0x01, 0xC2, 0x00}), 115200},
        {Sb(kSetBaudRate, {0x00, 0x00, 0x00, 0x00}), Sb(101, {0x00, 0x01, 0xC2, 0x00}), 115200},
        {Sb(kSetBaudRate, {0x00, 0x00, 0x00, 0x01}), Sb(101, {0x00, 0x00, 0x00, 0x01}), 1},
        {Sb(kSetDataSize, {0}), Sb(102, {8}), 1},
        {Sb(kSetParity, {kParityNone}), Sb(103, {kParityNone}), 1},
        {Sb(kSetStopSize, {0}), Sb(104, {1}), 1},
        {Sb(kSetControl, {kIAC, kIAC}), Sb(105, {kIAC, kIAC}), 1},
        {Sb(6, {0}), {}, 1},
    };
    Codec server(Codec::Role::Server);
    for (const auto& c : steps) {
        SCOPED_TRACE(::testing::PrintToString(c.in));
        Bytes data, answer;
        server.decode(c.in.data(), c.in.size(), data, answer);
        EXPECT_EQ(answer, c.answer);
        EXPECT_TRUE(data.empty());
        EXPECT_EQ(server.requestedBaudRate(), c.baud);
    }
}

}  // namespace
