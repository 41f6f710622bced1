#pragma once
// The parallel-port bus against the simulated board on a simulated time line:
// every bus delay advances it by 75 us, every wait by its milliseconds, so a
// whole-memory write with its write cycles costs no real time.
#include "link/lpt/lpt_bus.h"
#include "sim/serial_memory_sim.h"

#include <string>
#include <vector>

namespace px316t::testing {

struct SimTime {
    std::int64_t ns = 0;
};

class SimDelay final : public BusDelay {
public:
    explicit SimDelay(SimTime& time) : time_(time) {}
    void BitDelay() override
    {
        time_.ns += 75'000;
        ++count;
    }
    long count = 0;

private:
    SimTime& time_;
};

struct HostMessage {
    std::string text;
    bool warning;
};

class RecordingHost final : public LptHost {
public:
    explicit RecordingHost(SimTime& time) : time_(time) {}
    void message(const std::string& text, bool warning) override { messages.push_back({text, warning}); }
    void letEventsRun() override { ++eventRuns; }
    void WaitMs(int ms) override
    {
        waits.push_back(ms);
        time_.ns += std::int64_t(ms) * 1'000'000;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text);
        return out;
    }

    std::vector<HostMessage> messages;
    std::vector<int> waits;
    int eventRuns = 0;

private:
    SimTime& time_;
};

class RecordingProgress final : public LptProgress {
public:
    void setMaximum(int value) override { maximum = value; }
    void setPosition(int value) override { positions.push_back(value); }
    void setColor(BarColor value) override { color = value; }
    void setStatus(const std::string& value) override { status = value; }
    int maximum = -1;
    std::vector<int> positions;
    BarColor color = BarColor::Highlight;
    std::string status;
};

struct LptSimRig {
    explicit LptSimRig(std::uint16_t boardAddress = LptAddresses[0])
        : board(memory, boardAddress)
    {
    }
    // Probes for the board; true when found.
    bool find() { return bus.FindLptBoard(); }

    SimTime time;
    SerialMemorySim memory {[this] { return time.ns; }};
    SimulatedLptBoard board;
    SimDelay delay {time};
    RecordingHost host {time};
    RecordingProgress progress;
    LptBus bus {board, delay, host};
};

// What the master put on the bus, decoded from the data-register writes alone:
// START, STOP, and each nine-clock group as its eight data bits plus the level
// the master left on the ninth (1: released, 0: pulled low to acknowledge).
struct BusEvent {
    enum Kind { Start, Stop, Byte } kind;
    std::uint8_t value = 0;
    bool ninthReleased = true;
};

inline std::vector<BusEvent> decodeMasterWrites(const std::vector<std::uint8_t>& writes)
{
    std::vector<BusEvent> events;
    std::uint8_t previous = 0xFC;
    int bits = 0;
    unsigned value = 0;
    for (std::uint8_t w : writes) {
        const bool sclWasHigh = !(previous & LptClockBit);
        const bool sclHigh = !(w & LptClockBit);
        const bool sdaWasHigh = !(previous & LptDataBit);
        const bool sdaHigh = !(w & LptDataBit);
        if (sclWasHigh && sclHigh && sdaWasHigh != sdaHigh) {
            events.push_back({sdaHigh ? BusEvent::Stop : BusEvent::Start});
            bits = 0;
            value = 0;
        } else if (!sclWasHigh && sclHigh) {
            if (bits < 8) {
                value = (value << 1) | (sdaHigh ? 1u : 0u);
                ++bits;
            } else {
                events.push_back({BusEvent::Byte, static_cast<std::uint8_t>(value), sdaHigh});
                bits = 0;
                value = 0;
            }
        }
        previous = w;
    }
    return events;
}

} // namespace px316t::testing
