#include "editor/numeric_text.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace px316t {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::optional<double> parseNumber(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    std::string_view s = text.substr(begin, end - begin);

    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }

    // Check the whole grammar ourselves: from_chars would also take "inf", "nan"
    // and hexadecimal forms, and would stop quietly at the first foreign character.
    std::size_t i = 0;
    int digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        int exponentDigits = 0;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;

    // from_chars does not depend on the C locale (Qt sets it from the environment,
    // and a decimal comma there must not change what a field accepts).
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value,
                                           std::chars_format::general);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    // Done by hand so that a changed floating-point rounding mode cannot alter it;
    // value - floor(value) is exact for every double.
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

} // namespace px316t
