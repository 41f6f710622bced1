#include "editor/password_rules.h"

#include "editor/messages.h"
#include "editor/numeric_text.h"
#include "table/spaces.h"

namespace px316t {

std::string readPassword(const PagerTable& table)
{
    std::string text;
    for (int at = PasswordFirstByte; at >= PasswordLastByte; --at)
        text += std::to_string(table[at]);
    return text;
}

PasswordVerdict checkPassword(std::string_view text)
{
    if (text.empty())
        return PasswordVerdict::Empty;
    const auto value = parseNumber(text);
    if (!value)
        return PasswordVerdict::NotDecimal;
    // A number is plain ASCII, so its bytes are its characters.
    if (text.size() > PasswordMaxLength || *value > 9999 || *value < 0)
        return PasswordVerdict::OutOfRange;
    for (char c : trimSpaces(text))
        if (c < '0' || c > '9')
            return PasswordVerdict::NotDecimal;
    return PasswordVerdict::Accepted;
}

PasswordVerdict storePassword(PagerTable& table, std::string_view text)
{
    const PasswordVerdict verdict = checkPassword(text);
    if (verdict != PasswordVerdict::Accepted)
        return verdict;
    const std::string_view digits = trimSpaces(text);
    const std::string padded = std::string(PasswordMaxLength - digits.size(), '0') + std::string(digits);
    for (int i = 0; i < PasswordMaxLength; ++i)
        table[PasswordFirstByte - i] = static_cast<std::uint8_t>(padded[i] - '0');
    return verdict;
}

std::string_view passwordMessage(PasswordVerdict verdict)
{
    switch (verdict) {
    case PasswordVerdict::NotDecimal: return messages::NotDecimal;
    case PasswordVerdict::OutOfRange: return messages::PasswordOutOfRange;
    case PasswordVerdict::Empty:
    case PasswordVerdict::Accepted: break;
    }
    return {};
}

} // namespace px316t
