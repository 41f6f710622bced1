#pragma once
// A simulated two-wire serial memory of the 16-Kbit class behind the
// parallel-port board's inverted wiring, for tests and for trying the program
// without hardware. The memory sees only the levels of its two lines and
// decodes START, STOP, bits and acknowledges from their changes, as a real
// memory does, so a wrong sequence from the link gives a wrong result.
#include "link/lpt/lpt_bus.h"
#include "link/lpt/port_io.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

class SerialMemorySim {
public:
    using Memory = std::array<std::uint8_t, SerialMemorySize>;
    // Nanoseconds on any steady time line.
    using TimeSource = std::function<std::int64_t()>;

    // Switches that make the memory misbehave, for tests.
    struct Faults {
        bool neverAcknowledge = false;
        // Control bytes are acknowledged only from the N-th one the memory
        // receives (0 or 1: from the first).
        int acknowledgeFromControl = 0;
        // A data byte written to this address is not acknowledged (and its page
        // is not written).
        std::optional<int> refuseDataAt;
        // Reading this address gives the stored byte inverted.
        std::optional<int> wrongByteAt;
    };

    explicit SerialMemorySim(TimeSource now);

    // The levels the master leaves on the lines (true: released, high). The
    // clock wins ties: a falling clock is taken before a data change that comes
    // with it, a rising clock after it, as the board's latch settles.
    void setMasterLines(bool scl, bool sda);
    // The lines as they are: the data line is low when either side pulls it.
    bool scl() const { return scl_; }
    bool sda() const { return masterSda_ && !pullsLow_; }

    Memory& memory() { return memory_; }
    const Memory& memory() const { return memory_; }

    Faults faults;
    std::int64_t writeCycleNs = 5'000'000;
    // Called after each write cycle has stored a page in the memory.
    std::function<void()> onWriteCycle;

    int writeCycles() const { return writeCycles_; }
    bool busy() const { return now_() < busyUntil_; }
    std::int64_t now() const { return now_(); }

private:
    enum class State { Standby, Control, WordAddress, WriteData, Acknowledge, ReadData, MasterAcknowledge };

    void onStart();
    void onStop();
    void onClockRise();
    void onClockFall();
    void byteReceived();
    void acknowledge(State next);
    void loadReadByte();

    TimeSource now_;
    Memory memory_ {};
    bool scl_ = true;
    bool masterSda_ = true;
    bool pullsLow_ = false;

    State state_ = State::Standby;
    State afterAcknowledge_ = State::Standby;
    int bits_ = 0;
    std::uint8_t shift_ = 0;
    bool masterAcknowledged_ = false;
    int block_ = 0;
    int pointer_ = 0;   // 11-bit address counter
    std::array<std::uint8_t, SerialMemoryPage> page_ {};
    std::uint16_t pageLoaded_ = 0;   // one bit per byte of the page buffer
    int pageBase_ = 0;
    std::int64_t busyUntil_ = 0;
    int writeCycles_ = 0;
    int controlBytes_ = 0;
};

// The parallel-port board at one port address with the memory behind it. The
// other two addresses have no port.
class SimulatedLptBoard final : public PortIo {
public:
    explicit SimulatedLptBoard(SerialMemorySim& memory, std::uint16_t address = LptAddresses[0]);

    void out(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t in(std::uint16_t address) override;

    // Fault: from the `writes`-th next write to the data register on, the
    // board is pulled off the port: the memory no longer sees the lines and the
    // status register reads `status` for good.
    void loseBoardAfter(int writes, std::uint8_t status);

    // Called whenever a line changes, with the time the change was made and
    // both lines as the memory sees them.
    std::function<void(std::int64_t ns, bool scl, bool sda)> onLines;
    // What commit() does: keeps the memory where it is kept; returns why it could not.
    std::function<std::string()> onCommit;
    std::string commit() override { return onCommit ? onCommit() : std::string(); }
    // Every value written to the data register, when enabled.
    bool recordWrites = false;
    std::vector<std::uint8_t> dataWrites;
    // Accesses to anything but the three ports' data and status registers.
    int foreignAccesses = 0;

private:
    SerialMemorySim& memory_;
    std::uint16_t address_;
    std::uint8_t latch_ = 0x00;
    int writesUntilLost_ = -1;
    std::uint8_t lostStatus_ = 0xFF;
    bool lost_ = false;
};

} // namespace px316t
