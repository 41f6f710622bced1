#include "editor/messages.h"

#include <cstdio>

namespace px316t::messages {

std::string capcodeOutOfRange(std::uint64_t limit)
{
    return "Please insert a number between 1 to " + std::to_string(limit);
}

std::string frameMaskMismatch(std::uint16_t stored, std::uint16_t capcodes)
{
    char text[96];
    std::snprintf(text, sizeof text, "The frame mask %04X in the image does not match the frames of its capcodes (%04X).",
                  static_cast<unsigned>(stored), static_cast<unsigned>(capcodes));
    return text;
}

std::string capcodeNotRaisable(const std::string& shown)
{
    return "Capcode 1 (" + shown + ") is not a capcode that can be raised; nothing was written.";
}

std::string capcodeLimit(std::uint64_t limit)
{
    return "Capcode 1 > " + std::to_string(limit) + " so can not be increase!";
}

std::string batchExhausted(const std::string& batch) { return "The batch " + batch + " has no capcode left."; }

std::string batchExhaustedNothingWritten(const std::string& batch)
{
    return "The batch " + batch + " has no capcode left; nothing was written.";
}

} // namespace px316t::messages
