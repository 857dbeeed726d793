// One writer per sign. Every program of the package takes this lock before it records into a
// device or a network address, so that the window, letrador-cli and the service never write into
// one sign at the same time: a lock file per sign in a folder all of them share, held with
// flock() for as long as the port is open. The system lets it go when the holder ends, however
// it ends. Plain C++.
#pragma once

#include <string>

namespace platform {

// The reason an opening gives when another holder has the sign.
inline constexpr const char* kPortInUse = "lo está usando otro programa.";

class PortLock {
  public:
    // Locks in `folder`; DefaultLockFolder() when empty.
    explicit PortLock(std::string folder = {});
    ~PortLock() { release(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Takes the lock of `target` (a device path, or a network address) without waiting. False
    // when another holder has it; `why` then says so in the operator's words.
    bool take(const std::string& target, std::string* why = nullptr);
    void release();
    bool held() const { return fd_ >= 0; }

    // The lock file of `target`: one per device (the same device under another name is the
    // same sign) or per host and port.
    std::string pathOf(const std::string& target) const;

  private:
    std::string folder_;
    int fd_ = -1;
};

// /run/lock, where every user may lock; else the user's runtime folder; else /tmp.
std::string DefaultLockFolder();

}  // namespace platform
