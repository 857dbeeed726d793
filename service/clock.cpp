#include "service/clock.h"

#include <cstdio>

namespace letrador::service {

namespace {
std::string TwoDigits(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}
}  // namespace

std::string CivilTime::date() const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
    return buf;
}

std::string CivilTime::time() const {
    return TwoDigits(hour) + ":" + TwoDigits(minute) + ":" + TwoDigits(second);
}

CivilTime LocalTime(std::time_t t) {
    std::tm tm{};
    ::localtime_r(&t, &tm);
    CivilTime c;
    c.year = tm.tm_year + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    c.hour = tm.tm_hour;
    c.minute = tm.tm_min;
    c.second = tm.tm_sec;
    c.weekday = (tm.tm_wday + 6) % 7;
    return c;
}

std::optional<std::time_t> ParseLocalTime(std::string_view text) {
    int y, mo, d, h, mi, s = 0;
    char tail = 0;
    const std::string t(text);
    const int n = std::sscanf(t.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
    if (n != 5 && n != 6) return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    const std::time_t r = std::mktime(&tm);
    if (r == static_cast<std::time_t>(-1) || tm.tm_mday != d) return std::nullopt;
    return r;
}

ServiceClock::ServiceClock(std::optional<std::time_t> startAt)
    : startAt_(startAt), steadyStart_(std::chrono::steady_clock::now()) {}

std::time_t ServiceClock::now() const {
    if (!startAt_) return std::time(nullptr);
    const auto run = std::chrono::steady_clock::now() - steadyStart_;
    return *startAt_ + std::chrono::duration_cast<std::chrono::seconds>(run).count();
}

bool ServiceClock::jumped() {
    const std::time_t t = now();
    const auto steady = std::chrono::steady_clock::now();
    bool moved = false;
    if (last_) {
        const auto ran = std::chrono::duration_cast<std::chrono::seconds>(steady - last_->second).count();
        const long long drift = static_cast<long long>(t - last_->first) - ran;
        moved = drift > 5 || drift < -5;
    }
    last_ = {t, steady};
    return moved;
}

}  // namespace letrador::service
