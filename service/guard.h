// Who may use the pages: the password (only its Argon2id hash is kept, in a file only its owner
// can read), the sessions with their CSRF tokens, and the limit on failed logins.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace letrador::service {

inline constexpr const char* kPasswordFile = "servicio/clave";

// The hash of `password` (libsodium's crypto_pwhash_str: Argon2id, salted); nothing when the
// library could not make one.
std::optional<std::string> HashPassword(std::string_view password);
bool PasswordMatches(const std::string& hash, std::string_view password);
// Writes `hash` into `file` readable and writable by its owner only (0600), replacing it whole.
bool SavePasswordHash(const std::filesystem::path& file, const std::string& hash, std::string* problem);
// The hash in `file`; nothing when there is none.
std::optional<std::string> LoadPasswordHash(const std::filesystem::path& file);

// A random token of 32 bytes as 64 hex digits.
std::string RandomToken();

// Sessions by their cookie's token, each with its CSRF token. Safe from any thread.
class Sessions {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kIdle = std::chrono::hours(12);

    // A new session; its token.
    std::string open();
    // The CSRF token of a live session (its idle time starts again), or nothing.
    std::optional<std::string> csrfOf(const std::string& token);
    void close(const std::string& token);

  private:
    struct Session {
        std::string csrf;
        Clock::time_point lastUse;
    };
    std::mutex mutex_;
    std::map<std::string, Session> sessions_;
};

// At most kMaxFailures failed logins per address within a minute. Safe from any thread.
class LoginLimiter {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxFailures = 5;

    // True when `address` has used up its failures of the last minute.
    bool blocked(const std::string& address, Clock::time_point now = Clock::now());
    void failed(const std::string& address, Clock::time_point now = Clock::now());

  private:
    void forgetOld(std::deque<Clock::time_point>& times, Clock::time_point now);
    std::mutex mutex_;
    std::map<std::string, std::deque<Clock::time_point>> failures_;
};

}  // namespace letrador::service
