// The service's clock: local civil time, read from the system, or started at a given moment and
// then running at the pace of the steady clock (so that a test can say when the day begins).
#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace letrador::service {

struct CivilTime {
    int year = 1970, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    int weekday = 0;  // 0 Monday ... 6 Sunday

    int minuteOfDay() const { return hour * 60 + minute; }
    std::string date() const;  // "2024-05-06"
    std::string time() const;  // "08:00:03"
};

// `t` in the machine's time zone.
CivilTime LocalTime(std::time_t t);
// "AAAA-MM-DD HH:MM" or "AAAA-MM-DD HH:MM:SS", local time; nothing when it is not one.
std::optional<std::time_t> ParseLocalTime(std::string_view text);

class ServiceClock {
  public:
    // Without `startAt`, the system's time.
    explicit ServiceClock(std::optional<std::time_t> startAt = std::nullopt);
    std::time_t now() const;
    CivilTime civilNow() const { return LocalTime(now()); }
    // True when the time moved by more than a few seconds against the steady clock since the
    // last call (the clock was set, or the machine slept); the first call says false.
    bool jumped();

  private:
    std::optional<std::time_t> startAt_;
    std::chrono::steady_clock::time_point steadyStart_;
    std::optional<std::pair<std::time_t, std::chrono::steady_clock::time_point>> last_;
};

}  // namespace letrador::service
