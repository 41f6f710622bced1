#pragma once
// Link state shared by the transfers and board detection for the life of the
// program. The main window owns one and hands it to both by reference.
#include <cstdint>

namespace px316t {

struct LinkState {
    std::int16_t BoardPort = -1;        // COM number of the board; -1 while none is known
    std::int16_t SerialPortCount = 0;   // serial ports listed at the last check
    bool StartupProbe = false;          // true only while start-up runs BoardPresent
};

} // namespace px316t
