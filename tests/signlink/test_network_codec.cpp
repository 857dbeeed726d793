// Network addresses of port entries, and the Telnet / COM-PORT-CONTROL codec of the network
// link, byte for byte.
#include <gtest/gtest.h>

#include <optional>

#include "platform/net_address.h"
#include "platform/telnet_codec.h"

namespace {

using platform::NetAddress;
using platform::ParseNetAddress;
using namespace platform::telnet;

TEST(NetAddress, ParsesBothSchemesAndRefusesAnythingElse) {
    using K = NetAddress::Kind;
    for (const auto& [text, want] : {std::pair{"tcp://192.168.1.50:4001", NetAddress{K::Tcp, "192.168.1.50", 4001}},
                                     {"rfc2217://cartel-caja:2217", NetAddress{K::Rfc2217, "cartel-caja", 2217}},
                                     {"tcp://[::1]:65535", NetAddress{K::Tcp, "::1", 65535}},
                                     {"tcp://host:1", NetAddress{K::Tcp, "host", 1}}}) {
        const auto got = ParseNetAddress(text);
        ASSERT_TRUE(got) << text;
        EXPECT_EQ(std::tie(got->kind, got->host, got->port), std::tie(want.kind, want.host, want.port)) << text;
    }
    for (const char* bad : {"tcp://host:0", "tcp://host:65536", "tcp://host:000080", "tcp://host:", "tcp://host",
                            "tcp://:4001", "tcp://host:40a1", "tcp://::1:4001", "tcp://[::1]4001", "tcp://[::1",
                            "tcp://a b:4001", "tcp://a/b:4001", "udp://host:4001", "TCP://host:4001", "/dev/ttyS0"})
        EXPECT_FALSE(ParseNetAddress(bad)) << bad;
    EXPECT_TRUE(platform::LooksLikeNetAddress("tcp://host") && platform::LooksLikeNetAddress("rfc2217://"));
    EXPECT_FALSE(platform::LooksLikeNetAddress("/dev/pts/3"));
}

Bytes AllValues() {
    Bytes all;
    for (int v = 0; v < 256; ++v) all.push_back(static_cast<std::uint8_t>(v));
    return all;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// One COM-PORT-CONTROL sub-negotiation as it goes on the wire.
Bytes Sb(std::uint8_t command, Bytes value) { return Cat({{255, 250, 44, command}, value, {255, 240}}); }

// A server's acknowledgements of the five line settings.
Bytes Acks(Bytes baud, std::uint8_t data, std::uint8_t parity, std::uint8_t stop, std::uint8_t control) {
    return Cat({Sb(101, baud), Sb(102, {data}), Sb(103, {parity}), Sb(104, {stop}), Sb(105, {control})});
}
const Bytes k9600 = {0x00, 0x00, 0x25, 0x80};

Bytes Decode(Codec& codec, const Bytes& in, Bytes* answer = nullptr) {
    Bytes data, said;
    codec.decode(in.data(), in.size(), data, answer ? *answer : said);
    return data;
}

TEST(TelnetCodec, EveryByteValueSurvivesTheDoublingOfIacInAnyPieces) {
    Bytes wire;
    for (auto b : AllValues()) Codec::encode(b, wire);
    EXPECT_EQ(wire, Cat({AllValues(), {kIAC}}));
    for (std::size_t piece : {1, 2, 3, 256}) {
        for (auto role : {Codec::Role::Client, Codec::Role::Server}) {
            Codec codec(role);
            Bytes data, answer;
            for (std::size_t at = 0; at < wire.size(); at += piece)
                codec.decode(wire.data() + at, std::min(piece, wire.size() - at), data, answer);
            EXPECT_EQ(data, AllValues()) << piece;
            EXPECT_TRUE(answer.empty());
        }
    }
}

// One client and one server, each through a whole session: each step sees what the steps before
// it agreed. The server acknowledges each setting with the value it now uses; a baud rate of 0
// and a setting of 0 ask for the one in use.
TEST(TelnetCodec, ClientAndServerSessionsStepByStep) {
    Codec client(Codec::Role::Client), server(Codec::Role::Server);
    // In the protocols' own numbers, so that a wrong option or command number shows: IAC WILL and
    // DO binary (0) and suppress-go-ahead (3), WILL COM-PORT-CONTROL (44); then its commands 1 to 5.
    EXPECT_EQ(client.greeting(), (Bytes{255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3, 255, 251, 44}));
    const Bytes request = Cat({Sb(1, k9600), Sb(2, {8}), Sb(3, {1}), Sb(4, {1}), Sb(5, {1})});
    const Bytes k115200 = {0, 1, 0xC2, 0};
    const struct {
        const char* name;
        Codec& codec;
        Bytes in, data, answer;
        std::uint32_t after;  // the client: all line settings acknowledged (1); the server: the baud asked
    } steps[] = {
        // What ser2net's telnet(rfc2217) accepter says first.
        {"server greeting", client,
         {kIAC, kWILL, kOptSuppressGoAhead, kIAC, kDO, kOptSuppressGoAhead, kIAC, kWILL, kOptEcho, kIAC, kDONT,
          kOptEcho, kIAC, kDO, kOptBinary, kIAC, kWILL, kOptBinary, kIAC, kDO, kOptComPort},
         {}, Cat({{kIAC, kDONT, kOptEcho}, request}), 0},
        {"agreed again", client, {kIAC, kWILL, kOptBinary, kIAC, kDO, kOptComPort}, {}, {}, 0},
        {"unknown options", client, {kIAC, kDO, 24, kIAC, kWILL, 31}, {}, {kIAC, kWONT, 24, kIAC, kDONT, 31}, 0},
        {"one-byte commands in the data", client, {'A', kIAC, 241, 'B', kIAC, 249, kIAC, kIAC}, {'A', 'B', kIAC},
         {}, 0},
        // Acknowledged one by one: the link is ready only once control is too.
        {"acknowledgements and a notification", client,
         Cat({Sb(101, k9600), Sb(107, {kIAC, kIAC}), {'x'}, Sb(102, {8}), Sb(103, {1}), Sb(104, {1})}), {'x'}, {}, 0},
        {"control acknowledged", client, Sb(105, {1}), {}, {}, 1},
        {"binary withdrawn", client, {kIAC, kWONT, kOptBinary, kIAC, kWONT, kOptBinary}, {},
         {kIAC, kDONT, kOptBinary}, 1},
        {"baud in use, none asked yet", server, Sb(kSetBaudRate, {0, 0, 0, 0}), {}, Sb(101, k9600), 0},
        {"9600", server, Sb(kSetBaudRate, k9600), {}, Sb(101, k9600), 9600},
        {"115200", server, Sb(kSetBaudRate, k115200), {}, Sb(101, k115200), 115200},
        {"baud in use", server, Sb(kSetBaudRate, {0, 0, 0, 0}), {}, Sb(101, k115200), 115200},
        {"1", server, Sb(kSetBaudRate, {0, 0, 0, 1}), {}, Sb(101, {0, 0, 0, 1}), 1},
        {"data size in use", server, Sb(kSetDataSize, {0}), {}, Sb(102, {8}), 1},
        {"no parity", server, Sb(kSetParity, {kParityNone}), {}, Sb(103, {kParityNone}), 1},
        {"stop size in use", server, Sb(kSetStopSize, {0}), {}, Sb(104, {1}), 1},
        {"control 255", server, Sb(kSetControl, {kIAC, kIAC}), {}, Sb(105, {kIAC, kIAC}), 1},
        {"unanswered command", server, Sb(6, {0}), {}, {}, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        Bytes answer;
        EXPECT_EQ(Decode(s.codec, s.in, &answer), s.data);
        EXPECT_EQ(answer, s.answer);
        const std::uint32_t after =
            &s.codec == &client ? client.lineSettingsAcknowledged() : server.requestedBaudRate();
        EXPECT_EQ(after, s.after);
    }
}

// What the server agreed to decides: the sign's settings and binary both ways, or the reason.
TEST(TelnetCodec, ClientAgreesOnlyToTheSignsSettingsAndNamesWhatTheServerAnswered) {
    const Bytes options = {kIAC, kDO, kOptBinary, kIAC, kWILL, kOptBinary, kIAC, kDO, kOptComPort};
    using S = Agreement::State;
    const struct {
        Bytes fromServer;
        S state;
        std::string reason;
    } cases[] = {
        {Cat({options, Acks(k9600, 8, 1, 1, 1)}), S::Agreed, ""},
        {Cat({options, Acks(k9600, 8, 1, 1, 1), {kIAC, kWONT, kOptBinary}}), S::Refused,
         "el servidor no aceptó el modo binario"},
        {Cat({options, Sb(101, k9600), Sb(102, {8}), Sb(103, {1}), Sb(104, {1})}), S::Pending, ""},
        {{kIAC, kDONT, kOptComPort}, S::Refused, "el servidor no admite RFC 2217 (COM-PORT-CONTROL)"},
        {Cat({options, Acks({0, 1, 0xC2, 0}, 8, 1, 1, 1)}), S::Refused,
         "el servidor no aceptó 9600 baudios (respondió 115200)"},
        {Cat({options, Acks(Bytes{}, 8, 1, 1, 1)}), S::Refused, "el servidor no aceptó 9600 baudios (respondió 0)"},
        {Cat({options, Acks(k9600, 7, 1, 1, 1)}), S::Refused, "el servidor no aceptó 8 bits de datos (respondió 7)"},
        {Cat({options, Acks(k9600, 8, 3, 1, 1)}), S::Refused,
         "el servidor no aceptó trabajar sin paridad (respondió paridad par)"},
        {Cat({options, Acks(k9600, 8, 1, 3, 1)}), S::Refused,
         "el servidor no aceptó 1 bit de parada (respondió 1,5 bits de parada)"},
        {Cat({options, Acks(k9600, 8, 1, 1, 3)}), S::Refused,
         "el servidor no aceptó trabajar sin control de flujo (respondió control de flujo por hardware)"},
        {Cat({options, Acks(k9600, 8, 1, 1, 9)}), S::Refused,
         "el servidor no aceptó trabajar sin control de flujo (respondió control de flujo 9)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        Codec client(Codec::Role::Client);
        client.greeting();
        Decode(client, c.fromServer);
        EXPECT_EQ(client.agreement().state, c.state);
        EXPECT_EQ(client.agreement().reason, c.reason);
    }
}

TEST(TelnetCodec, ASubnegotiationLongerThanItsLimitBreaksTheProtocol) {
    for (std::size_t length : {kMaxSubnegotiation, kMaxSubnegotiation + 1}) {
        Codec client(Codec::Role::Client);
        const Bytes data = Decode(client, Cat({{kIAC, kSB}, Bytes(length, 'x'), {kIAC, kSE, 'y'}}));
        EXPECT_EQ(client.failed(), length > kMaxSubnegotiation);
        EXPECT_EQ(data, client.failed() ? Bytes{} : Bytes{'y'});
    }
}

}  // namespace
