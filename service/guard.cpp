#include "service/guard.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace letrador::service {

namespace {
bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}
}  // namespace

std::optional<std::string> HashPassword(std::string_view password) {
    if (!SodiumReady()) return std::nullopt;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return std::nullopt;
    return std::string(out);
}

bool PasswordMatches(const std::string& hash, std::string_view password) {
    return SodiumReady() &&
           crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

bool SavePasswordHash(const std::filesystem::path& file, const std::string& hash, std::string* problem) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    const std::string temp = file.string() + ".nueva";
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const std::string text = hash + "\n";
    bool ok = fd >= 0 && ::fchmod(fd, 0600) == 0 &&
              ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
              ::fsync(fd) == 0;
    if (!ok && problem) *problem = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    if (ok && ::rename(temp.c_str(), file.c_str()) != 0) {
        if (problem) *problem = std::strerror(errno);
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

std::optional<std::string> LoadPasswordHash(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string hash;
    if (!in || !std::getline(in, hash) || hash.rfind("$argon2", 0) != 0) return std::nullopt;
    return hash;
}

std::string RandomToken() {
    unsigned char bytes[32];
    SodiumReady();
    randombytes_buf(bytes, sizeof bytes);
    char hex[sizeof bytes * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return hex;
}

std::string Sessions::open() {
    std::string token = RandomToken();
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    std::erase_if(sessions_, [now](const auto& s) { return now - s.second.lastUse > kIdle; });
    sessions_[token] = Session{RandomToken(), now};
    return token;
}

std::optional<std::string> Sessions::csrfOf(const std::string& token) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(token);
    if (it == sessions_.end()) return std::nullopt;
    const auto now = Clock::now();
    if (now - it->second.lastUse > kIdle) {
        sessions_.erase(it);
        return std::nullopt;
    }
    it->second.lastUse = now;
    return it->second.csrf;
}

void Sessions::close(const std::string& token) {
    std::lock_guard lock(mutex_);
    sessions_.erase(token);
}

void LoginLimiter::forgetOld(std::deque<Clock::time_point>& times, Clock::time_point now) {
    while (!times.empty() && now - times.front() >= std::chrono::minutes(1)) times.pop_front();
}

bool LoginLimiter::blocked(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    auto it = failures_.find(address);
    if (it == failures_.end()) return false;
    forgetOld(it->second, now);
    if (it->second.empty()) {
        failures_.erase(it);
        return false;
    }
    return static_cast<int>(it->second.size()) >= kMaxFailures;
}

void LoginLimiter::failed(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    // Many addresses failing once each must not grow the table for ever.
    if (failures_.size() > 4096) {
        for (auto it = failures_.begin(); it != failures_.end();) {
            forgetOld(it->second, now);
            it = it->second.empty() ? failures_.erase(it) : std::next(it);
        }
    }
    auto& times = failures_[address];
    forgetOld(times, now);
    times.push_back(now);
}

}  // namespace letrador::service
