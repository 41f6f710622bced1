#pragma once
// Trying the parallel-port link without hardware: the simulated board with its
// memory kept in a table file, and the bus lines recorded to a VCD file.
#include "sim/serial_memory_sim.h"
#include "sim/vcd_trace.h"

#include <optional>
#include <string>
#include <vector>

namespace px316t {

// The simulated board, on the steady clock unless told otherwise, ready to be
// handed to the link.
class SimulatedBoardSession {
public:
    explicit SimulatedBoardSession(SerialMemorySim::TimeSource now = {});
    // Loads the memory from `memoryFile` when it exists (a table file of 912
    // bytes; the rest of the memory reads FF; a file of another length is
    // refused) and saves it there at the end of every write that changed it,
    // outside the bus timing; opens the trace when `vcdFile` is given. False
    // with `error` set when a file cannot be used.
    bool start(const std::string& memoryFile, const std::optional<std::string>& vcdFile, std::string& error);

    SerialMemorySim memory;
    SimulatedLptBoard board;
    VcdTrace trace;
    // Why the last save of the memory file failed; empty when it worked.
    std::string saveProblem;
    // Called after each save of the memory file (a test lets a slow disk's time
    // pass here).
    std::function<void()> onSaved;
    // Told once, with a sentence for the operator, when the trace stops being
    // written; the transfers go on, their results are not the trace's.
    std::function<void(const std::string&)> onTraceProblem;
    // Ends the trace; the sentence saying why it is not whole, or empty.
    std::string finishTrace();

private:
    std::string save();
    std::string traceProblem() const;

    std::string memoryFile_;
    bool unsaved_ = false;   // the memory has pages the file does not have yet
    std::string vcdFile_;
    bool traceProblemTold_ = false;
};

} // namespace px316t
