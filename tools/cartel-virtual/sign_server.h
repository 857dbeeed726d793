// The virtual sign on a pseudo-terminal: the program under test opens the slave side as its
// serial port, the sign reads and answers on the master side. No loop of its own: the owner
// polls fd() (and asks for writing when wantsWrite()), calls readable() when bytes are in and
// due() whenever msUntilDue() has run out, so the same server fits a poll() loop or another
// event loop.
//
// The slave side is held open by the server itself for its whole life, so that clients may
// open and close it as often as they like without the master ever seeing a hang-up (EIO).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/telnet_codec.h"
#include "tools/cartel-virtual/sign_decoder.h"
#include "tools/cartel-virtual/virtual_sign.h"

namespace letrador::cartel {

struct ServerOptions {
    // A symbolic link made to the slave device (replacing whatever is there), removed at the
    // end when it still points there. Empty: none.
    std::string linkPath;
    // The decoded listing goes to this file and the raw bytes received to it plus ".bin".
    // Empty: none.
    std::string recordPath;
    // How long the listing may lag behind the bytes received.
    int listingDelayMs = 100;
    // Not 0: listens on 127.0.0.1 at this TCP port instead of making a pseudo-terminal, one
    // client at a time; the link then becomes a file whose first line is the address.
    int tcpPort = 0;
    // With tcpPort: speaks Telnet with COM-PORT-CONTROL (RFC 2217) there.
    bool telnet = false;
};

class SignServer {
  public:
    SignServer(VirtualSign& sign, ServerOptions options);
    ~SignServer();
    SignServer(const SignServer&) = delete;
    SignServer& operator=(const SignServer&) = delete;

    // Makes the pseudo-terminal (or the listening socket), the link and the record files. False with `error` filled when
    // one of them could not be made.
    bool open(std::string* error);
    // Writes the record, removes the link and closes the pseudo-terminal. Also run by the
    // destructor.
    void finish();

    // The slave device, or the network address ("tcp://127.0.0.1:PORT").
    const std::string& devicePath() const { return device_; }
    // What to wait on: the line, or on the network the client's connection (the listening
    // socket while there is none). It changes as clients come and go.
    int fd() const { return network() ? (client_ >= 0 ? client_ : listen_) : master_; }
    bool network() const { return options_.tcpPort != 0; }
    // Replies are due but the line did not take them yet.
    bool wantsWrite() const { return blocked_; }
    // Milliseconds until due() has something to do: 0 at once, -1 nothing waiting.
    long long msUntilDue(long long nowMs) const;

    // Reads everything waiting on the line and answers it.
    void readable(long long nowMs);
    // Sends the replies whose time has come and brings the listing up to date when it is due.
    void due(long long nowMs);

    // Every byte received so far, in order.
    const std::vector<std::uint8_t>& received() const { return received_; }
    SignRecord decoded() const;
    // Runs after every batch of bytes received, once the replies due at once are sent.
    void setOnReceived(std::function<void()> handler) { onReceived_ = std::move(handler); }

  private:
    void sendDue(long long nowMs);
    void writeListing();
    bool openLine(std::string* error);
    bool openListener(std::string* error);
    void accept();
    void dropClient();
    void takeBytes(const std::uint8_t* bytes, std::size_t count, long long nowMs, bool& ended);
    // The fd the bytes travel on: the master side, or the client's connection.
    int line() const { return network() ? client_ : master_; }

    VirtualSign& sign_;
    ServerOptions options_;
    int master_ = -1;
    int slaveKeep_ = -1;
    int listen_ = -1;
    int client_ = -1;
    std::optional<platform::telnet::Codec> telnet_;
    int binFd_ = -1;
    std::string device_;
    bool linked_ = false;
    bool finished_ = false;
    bool blocked_ = false;
    std::multimap<long long, std::uint8_t> pending_;  // replies by the time they are due
    std::vector<std::uint8_t> received_;
    long long listingDueMs_ = -1;  // -1: no rewrite of the listing waiting
    long long listedBytes_ = -1;   // bytes the listing on disk covers
    std::function<void()> onReceived_;
};

// Milliseconds on the monotonic clock.
long long NowMs();

}  // namespace letrador::cartel
