// Telnet with the COM-PORT-CONTROL option (RFC 2217), as far as a sign's byte stream needs it:
// both sides agree on binary transmission and on suppressing go-ahead, the client asks the
// server for the sign's line settings, and byte 0xFF (IAC) of the data travels doubled so that
// every value 0-255 arrives unchanged. Plain C++; the socket belongs to the caller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::telnet {

inline constexpr std::uint8_t kSE = 240;
inline constexpr std::uint8_t kSB = 250;
inline constexpr std::uint8_t kWILL = 251;
inline constexpr std::uint8_t kWONT = 252;
inline constexpr std::uint8_t kDO = 253;
inline constexpr std::uint8_t kDONT = 254;
inline constexpr std::uint8_t kIAC = 255;

inline constexpr std::uint8_t kOptBinary = 0;
inline constexpr std::uint8_t kOptEcho = 1;
inline constexpr std::uint8_t kOptSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptComPort = 44;

// COM-PORT-CONTROL commands from the client; the server answers each with the code plus 100.
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kServerOffset = 100;

inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kOneStopBit = 1;
inline constexpr std::uint8_t kNoFlowControl = 1;

// The longest sub-negotiation taken; a longer one is a broken or hostile peer.
inline constexpr std::size_t kMaxSubnegotiation = 1024;

using Bytes = std::vector<std::uint8_t>;

// Client: where the agreement on the sign's line stands.
struct Agreement {
    enum class State { Pending, Agreed, Refused };
    State state = State::Pending;
    // For Refused: what the server did not accept, in the operator's words.
    std::string reason;
};

class Codec {
  public:
    enum class Role { Client, Server };
    explicit Codec(Role role) : role_(role) {}

    // What this side says first: its offers and requests.
    Bytes greeting();

    // Appends `byte` as it travels in the data: 0xFF doubled.
    static void encode(std::uint8_t byte, Bytes& out);
    // Feeds bytes received from the other side, in any pieces: the data goes to `data`, and
    // whatever this side must answer (negotiation, the server's acknowledgements) to `answer`.
    void decode(const std::uint8_t* bytes, std::size_t count, Bytes& data, Bytes& answer);

    // Client: all the line settings were acknowledged by the server.
    bool lineSettingsAcknowledged() const;
    // Client: agreed once the server has acknowledged 9600 baud, 8 data bits, no parity, 1 stop
    // bit and no flow control, and binary transmission goes both ways; refused as soon as it
    // acknowledges another value or refuses binary mode or the COM-PORT option.
    Agreement agreement() const;
    // The peer broke the protocol (a sub-negotiation longer than kMaxSubnegotiation); what it
    // sends from then on is not taken.
    bool failed() const { return failed_; }
    // Server: the baud rate the client asked for, 0 before it asked.
    std::uint32_t requestedBaudRate() const { return requestedBaud_; }

  private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    bool localAllowed(std::uint8_t option) const;
    bool remoteAllowed(std::uint8_t option) const;
    void negotiate(std::uint8_t verb, std::uint8_t option, Bytes& answer);
    void subnegotiation(Bytes& answer);
    void requestLineSettings(Bytes& answer);

    Role role_;
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    Bytes sub_;
    // Per option: enabled on this side / on the other side, and asked for but not yet answered.
    std::array<bool, 256> us_{}, him_{}, askedUs_{}, askedHim_{};
    bool settingsSent_ = false;
    std::array<bool, 6> acked_{};
    // What the server acknowledged for each setting (client).
    std::array<Bytes, 6> ackedValue_{};
    // The server refused an option this side offered / asked it to use.
    std::array<bool, 256> refusedUs_{}, refusedHim_{};
    bool failed_ = false;
    std::uint32_t requestedBaud_ = 0;
};

}  // namespace platform::telnet
