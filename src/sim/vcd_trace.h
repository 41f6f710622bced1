#pragma once
// A Value Change Dump of the two bus lines, as logic-analyser software reads
// it: the clock line "scl" and the data line "sda" as the memory sees them,
// with their times in microseconds from the start of the trace.
#include <cstdint>
#include <fstream>
#include <string>

namespace px316t {

class VcdTrace {
public:
    VcdTrace() = default;
    VcdTrace(const VcdTrace&) = delete;
    VcdTrace& operator=(const VcdTrace&) = delete;
    ~VcdTrace() { close(); }
    // Opens the file and writes the header; false when it cannot be created.
    bool open(const std::string& path, bool scl = true, bool sda = true);
    // Why the trace stopped being written (the system's words, e.g. "No space
    // left on device"); empty while every line has gone out.
    const std::string& problem() const { return problem_; }
    bool isOpen() const { return out_.is_open(); }
    // Records the lines at `ns` (any steady time line; the first call after
    // open() is time 0 unless start() set it).
    void change(std::int64_t ns, bool scl, bool sda);
    void start(std::int64_t ns) { startNs_ = ns; started_ = true; }
    // Ends the trace; false when it could not be written whole.
    bool close();

private:
    // Notes the stream's first failure.
    void check();

    std::ofstream out_;
    std::string problem_;
    std::int64_t startNs_ = 0;
    std::int64_t lastUs_ = -1;
    bool started_ = false;
    bool scl_ = true;
    bool sda_ = true;
};

} // namespace px316t
