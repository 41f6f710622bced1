// The parallel-port board's status register as the link reads it: every read
// of a status register gives the next input byte (once the input is used up,
// the selector's fill byte), data registers read back what was written. One run
// probes for the board and, as the selector says, writes, reads and verifies
// the whole image. Whatever the port reads, the link must touch only the three
// ports' registers, end every operation with exactly one message, and leave
// the bus idle after the window's stop.
#include "fuzz_check.h"

#include "link/lpt/lpt_bus.h"
#include "link/lpt/port_io.h"

#include <array>
#include <map>
#include <numeric>
#include <string>
#include <vector>

using namespace px316t;

namespace {

class FuzzedPort final : public PortIo {
public:
    FuzzedPort(const std::uint8_t* data, std::size_t size, std::uint8_t fill) : data_(data), size_(size), fill_(fill) {}

    void out(std::uint16_t address, std::uint8_t value) override
    {
        if (!isLptRegister(address))
            ++foreignAccesses;
        latches_[address] = value;
        last = value;
    }
    std::uint8_t in(std::uint16_t address) override
    {
        if (!isLptRegister(address)) {
            ++foreignAccesses;
            return 0xFF;
        }
        for (std::uint16_t base : LptAddresses)
            if (address == base)
                return latches_.count(address) ? latches_[address] : 0xFF;
        return pos_ < size_ ? data_[pos_++] : fill_;
    }

    int foreignAccesses = 0;
    std::uint8_t last = LptIdle;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::uint8_t fill_;
    std::map<std::uint16_t, std::uint8_t> latches_;
};

class NoDelay final : public BusDelay {
public:
    void BitDelay() override {}
};

class CountingHost final : public LptHost {
public:
    void message(const std::string& text, bool) override { messages.push_back(text); }
    void letEventsRun() override {}
    void WaitMs(int) override {}
    std::vector<std::string> messages;
};

class NoProgress final : public LptProgress {
public:
    void setMaximum(int) override {}
    void setPosition(int position) override
    {
        FUZZ_CHECK(position >= 0 && position < SerialMemorySize);
    }
    void setColor(BarColor) override {}
    void setStatus(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 || size > 200000)
        return -1;
    const std::uint8_t selector = data[0];
    FuzzedPort port(data + 2, size - 2, data[1]);
    NoDelay delay;
    CountingHost host;
    NoProgress progress;
    LptBus bus(port, delay, host);

    std::vector<std::uint8_t> table(912);
    std::iota(table.begin(), table.end(), 0);
    // A range of the memory: the whole image, or a shorter one from the selector.
    const int first = selector & 0x80 ? (selector & 0x0F) * 16 + (selector >> 4 & 0x07) : 0;
    const int last = static_cast<int>(table.size()) - 1 - (selector & 0x80 ? (selector & 0x30) : 0);

    // Runs one operation as the window does: a failure ends with exactly one
    // message, a success with `successMessages`; then the window's stop leaves
    // the bus idle.
    auto operation = [&](std::size_t successMessages, auto&& run) {
        host.messages.clear();
        const bool failed = run();
        FUZZ_CHECK(host.messages.size() == (failed ? 1 : successMessages));
        bus.BusStop();
        FUZZ_CHECK(bus.LptDataPort == 0 || port.last == LptIdle);
    };

    const bool found = bus.FindLptBoard();
    FUZZ_CHECK(found == (bus.LptDataPort != 0 && bus.LptStatusPort == bus.LptDataPort + 1));
    FUZZ_CHECK(found == host.messages.empty());
    host.messages.clear();

    if (selector & 0x01)
        operation(0, [&] { return bus.lpt_writeall(table, first, last, progress); });
    if (selector & 0x02) {
        std::vector<std::uint8_t> into(table.size(), 0);
        operation(1, [&] {
            const bool failed = bus.lpt_readall(into, first, last, progress);
            FUZZ_CHECK(!host.messages.empty());
            FUZZ_CHECK(failed != (host.messages.back() == "Read success!"));
            return failed;
        });
    }
    if (selector & 0x04)
        operation(1, [&] {
            const bool failed = bus.lpt_verify(table, first, last, progress);
            FUZZ_CHECK(!host.messages.empty());
            FUZZ_CHECK(failed != (host.messages.back() == "Verify Success!"));
            return failed;
        });
    FUZZ_CHECK(port.foreignAccesses == 0);
    return 0;
}
