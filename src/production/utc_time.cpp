#include "production/utc_time.h"

#include <cstdio>
#include <ctime>

namespace px316t {

namespace {

std::tm utcParts(SystemTime time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::floor<std::chrono::seconds>(time));
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    return parts;
}

bool digitsAt(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

std::string isoUtc(SystemTime time)
{
    const std::tm parts = utcParts(time);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            time - std::chrono::floor<std::chrono::seconds>(time)).count();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(millis));
    return text;
}

std::string compactUtc(SystemTime time)
{
    const std::tm parts = utcParts(time);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::optional<SystemTime> parseUtc(std::string_view text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
    if (!digitsAt(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !digitsAt(text, 5, 2, month) ||
        text[7] != '-' || !digitsAt(text, 8, 2, day))
        return std::nullopt;
    std::size_t at = 10;
    if (at < text.size()) {
        if ((text[at] != 'T' && text[at] != ' ') || !digitsAt(text, at + 1, 2, hour) || text.size() < at + 6 ||
            text[at + 3] != ':' || !digitsAt(text, at + 4, 2, minute))
            return std::nullopt;
        at += 6;
        if (at < text.size() && text[at] == ':') {
            if (!digitsAt(text, at + 1, 2, second))
                return std::nullopt;
            at += 3;
            if (at < text.size() && text[at] == '.') {
                if (!digitsAt(text, at + 1, 3, millis))
                    return std::nullopt;
                at += 4;
            }
        }
        if (at < text.size() && text[at] == 'Z')
            ++at;
        if (at != text.size())
            return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(unsigned(month)),
                                           std::chrono::day(unsigned(day))};
    // The clock's nanosecond count ends in 2262: later dates would wrap round.
    if (!date.ok() || year < 1970 || year > 2200 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
           std::chrono::seconds(second) + std::chrono::milliseconds(millis);
}

} // namespace px316t
