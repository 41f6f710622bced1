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
    bool isOpen() const { return out_.is_open(); }
    // Records the lines at `ns` (any steady time line; the first call after
    // open() is time 0 unless start() set it).
    void change(std::int64_t ns, bool scl, bool sda);
    void start(std::int64_t ns) { startNs_ = ns; started_ = true; }
    void close();

private:
    std::ofstream out_;
    std::int64_t startNs_ = 0;
    std::int64_t lastUs_ = -1;
    bool started_ = false;
    bool scl_ = true;
    bool sda_ = true;
};

} // namespace px316t
