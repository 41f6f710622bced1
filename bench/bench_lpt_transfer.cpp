// Writes and verifies the whole 912-byte pager table through the parallel-port
// bus against the simulated memory, with the program's real 75 us bus delay
// and the memory's 5 ms write cycles on the steady clock. Compares the time
// with the model: every bus delay of the two operations at 75 us plus one
// write cycle per page. Prints the CPU time used meanwhile. The last line reads
// "ratio R cpu C%".
#include "link/lpt/lpt_bus.h"
#include "link/lpt/lpt_delay.h"
#include "sim/serial_memory_sim.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace px316t;

namespace {

std::int64_t steadyNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class QuietHost final : public LptHost {
public:
    void message(const std::string& text, bool) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        if (text != "Verify Success!")
            failed = true;
    }
    void letEventsRun() override {}
    void WaitMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    bool failed = false;
};

class NoProgress final : public LptProgress {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
    void setColor(BarColor) override {}
    void setStatus(const std::string&) override {}
};

// Counts bus delays without waiting, on a memory whose write cycle takes no
// time: the bus work of the transfer with nothing to wait for.
class CountingDelay final : public BusDelay {
public:
    void BitDelay() override { ++count; }
    long count = 0;
};

class TimedDelay final : public BusDelay {
public:
    void BitDelay() override
    {
        ++count;
        real.BitDelay();
    }
    HighResolutionDelay real;
    long count = 0;
};

// Runs write, the window's STOP, verify and STOP; false when anything failed.
bool writeAndVerify(LptBus& bus, const std::vector<std::uint8_t>& table)
{
    NoProgress progress;
    if (bus.lpt_writeall(table, 0, 911, progress))
        return false;
    bus.BusStop();
    if (bus.lpt_verify(table, 0, 911, progress))
        return false;
    bus.BusStop();
    return true;
}

} // namespace

int main()
{
    std::vector<std::uint8_t> table(912);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(i * 13 + 5);

    // The model's bus delays.
    long modelDelays = 0;
    {
        std::int64_t fakeNs = 0;
        SerialMemorySim memory([&] { return fakeNs; });
        memory.writeCycleNs = 0;
        SimulatedLptBoard board(memory);
        CountingDelay delay;
        QuietHost host;
        LptBus bus(board, delay, host);
        bus.LptDataPort = LptAddresses[0];
        bus.LptStatusPort = LptAddresses[0] + 1;
        if (!writeAndVerify(bus, table) || host.failed)
            return 1;
        modelDelays = delay.count;
    }

    SerialMemorySim memory(steadyNs);
    SimulatedLptBoard board(memory);
    TimedDelay delay;
    QuietHost host;
    LptBus bus(board, delay, host);
    bus.LptDataPort = LptAddresses[0];
    bus.LptStatusPort = LptAddresses[0] + 1;

    const double cpu0 = cpuSeconds();
    const std::int64_t t0 = steadyNs();
    const bool ok = writeAndVerify(bus, table);
    const double seconds = static_cast<double>(steadyNs() - t0) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    if (!ok || host.failed || memory.writeCycles() != 57) {
        std::fprintf(stderr, "transfer failed\n");
        return 1;
    }

    const double delaySeconds = 75e-6;
    const double model = static_cast<double>(modelDelays) * delaySeconds + 57 * 5e-3;
    std::printf("bus delays: %ld in the model, %ld run (polls during write cycles included)\n", modelDelays,
                delay.count);
    std::printf("model: %ld x 75 us + 57 write cycles x 5 ms = %.3f s\n", modelDelays, model);
    std::printf("measured: %.3f s (%.1f us per delay run), wake-up latency learnt %.1f us\n", seconds,
                seconds * 1e6 / static_cast<double>(delay.count), delay.real.wakeLatencyNs() / 1000.0);
    std::printf("ratio %.3f cpu %.0f%%\n", seconds / model, 100.0 * cpu / seconds);
    return 0;
}
