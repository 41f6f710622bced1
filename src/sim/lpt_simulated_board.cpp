#include "sim/lpt_simulated_board.h"

#include "table/table_file.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

namespace px316t {
namespace {

std::int64_t steadyNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

SimulatedBoardSession::SimulatedBoardSession(SerialMemorySim::TimeSource now)
    : memory(now ? std::move(now) : SerialMemorySim::TimeSource(steadyNs)), board(memory)
{
}

bool SimulatedBoardSession::start(const std::string& memoryFile, const std::optional<std::string>& vcdFile,
                                  std::string& error)
{
    memoryFile_ = memoryFile;
    std::error_code reason;
    if (std::filesystem::is_directory(memoryFile, reason)) {
        error = memoryFile + ": is a folder; the simulated board keeps its memory in a table file";
        return false;
    }
    // Padding or cutting another file would pass it off as a pager's memory.
    const auto size = std::filesystem::file_size(memoryFile, reason);
    if (!reason && size != static_cast<std::uintmax_t>(PagerTableSize)
        && std::filesystem::is_regular_file(memoryFile, reason)) {
        error = memoryFile + ": not a table file (" + std::to_string(size) + " bytes; a table file holds "
            + std::to_string(PagerTableSize) + ")";
        return false;
    }
    reason.clear();
    const auto loaded = readTableFile(memoryFile, reason);
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&loaded)) {
        if (bytes->size() != static_cast<std::size_t>(PagerTableSize)) {
            error = memoryFile + ": not a table file (" + std::to_string(bytes->size()) + " bytes; a table file holds "
                + std::to_string(PagerTableSize) + ")";
            return false;
        }
        std::copy(bytes->begin(), bytes->end(), memory.memory().begin());
    } else if (std::get<TableFileError>(loaded) != TableFileError::NotFound) {
        error = memoryFile + ": "
            + describeTableFileError(std::get<TableFileError>(loaded), reason ? reason.message() : std::string());
        return false;
    }
    // The file is written after the transfer, not inside the STOP that starts a
    // write cycle: a save takes milliseconds, which would stretch the bus's
    // timing and hide the write cycle from acknowledge polling.
    memory.onWriteCycle = [this] { unsaved_ = true; };
    board.onCommit = [this] { return save(); };
    if (vcdFile) {
        if (!trace.open(*vcdFile, memory.scl(), memory.sda())) {
            error = *vcdFile + ": the trace file cannot be created";
            return false;
        }
        vcdFile_ = *vcdFile;
        trace.start(memory.now());
        board.onLines = [this](std::int64_t ns, bool scl, bool sda) {
            trace.change(ns, scl, sda);
            if (!trace.problem().empty() && !traceProblemTold_) {
                traceProblemTold_ = true;
                if (onTraceProblem)
                    onTraceProblem(traceProblem());
            }
        };
    }
    return true;
}

std::string SimulatedBoardSession::traceProblem() const
{
    return "The bus trace " + vcdFile_ + " could not be written: " + trace.problem() + ".";
}

std::string SimulatedBoardSession::finishTrace()
{
    if (vcdFile_.empty())
        return {};
    return trace.close() ? std::string() : traceProblem();
}

std::string SimulatedBoardSession::save()
{
    if (!unsaved_)
        return saveProblem;
    PagerTable table {};
    std::copy_n(memory.memory().begin(), PagerTableSize, table.begin());
    std::error_code why;
    const TableFileError result = writeTableFile(memoryFile_, table, why);
    if (result == TableFileError::None) {
        unsaved_ = false;
        saveProblem.clear();
    } else {
        saveProblem = "The simulated board's memory could not be saved in " + memoryFile_ + ": "
            + describeTableFileError(result, why ? why.message() : std::string());
    }
    if (onSaved)
        onSaved();
    return saveProblem;
}

} // namespace px316t
