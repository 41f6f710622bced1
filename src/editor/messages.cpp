#include "editor/messages.h"

namespace px316t::messages {

std::string capcodeOutOfRange(std::uint64_t limit)
{
    return "Please insert a number between 1 to " + std::to_string(limit);
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
