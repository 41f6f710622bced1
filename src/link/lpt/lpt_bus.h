#pragma once
// The parallel-port board's two-wire bus, driven bit by bit through the port's
// data register and read back through its status register, and the
// whole-memory operations built on it. No Qt: the window's side (messages,
// progress, window events) comes in through LptHost and LptProgress.
#include "link/lpt/port_io.h"

#include <cstdint>
#include <span>
#include <string>

namespace px316t {

// One bus delay: at least 75 microseconds.
class BusDelay {
public:
    virtual ~BusDelay() = default;
    virtual void BitDelay() = 0;
};

// What the bus needs from the program around it.
class LptHost {
public:
    virtual ~LptHost() = default;
    // A modal message with an OK button; `warning` adds the exclamation icon.
    virtual void message(const std::string& text, bool warning) = 0;
    // Lets pending window events run once.
    virtual void letEventsRun() = 0;
    // Waits `ms` milliseconds while letting window events run.
    virtual void WaitMs(int ms) = 0;
};

// The programming window's progress bar and status label.
class LptProgress {
public:
    enum class BarColor { Highlight, Purple };
    virtual ~LptProgress() = default;
    virtual void setMaximum(int maximum) = 0;
    virtual void setPosition(int position) = 0;
    virtual void setColor(BarColor color) = 0;
    virtual void setStatus(const std::string& text) = 0;
};

// Wiring of the board, which inverts every line.
inline constexpr std::uint8_t LptIdle = 0xFC;        // both lines high
inline constexpr std::uint8_t LptClockBit = 0x01;    // set: clock line low
inline constexpr std::uint8_t LptDataBit = 0x02;     // set: data line pulled low
inline constexpr std::uint8_t LptStatusDataBit = 0x08;   // set: data line reads low

inline constexpr int SerialMemorySize = 2048;
inline constexpr int SerialMemoryPage = 16;

// Control byte for writing byte address `a` (0..2047): A0 plus the block bits.
constexpr std::uint8_t writeControlByte(int a) { return static_cast<std::uint8_t>(0xA0 | ((a >> 7) & 0x0E)); }
constexpr std::uint8_t wordAddressByte(int a) { return static_cast<std::uint8_t>(a & 0xFF); }

class LptBus {
public:
    LptBus(PortIo& port, BusDelay& delay, LptHost& host);

    // Port in use; 0 while no board has been found.
    std::uint16_t LptDataPort = 0;
    std::uint16_t LptStatusPort = 0;
    std::uint8_t LptLatch = LptIdle;

    void SdaHigh();
    void SdaLow();
    void SclHigh();
    void SclLow();
    void BusStart();
    void BusStop();
    // True when the memory acknowledged.
    bool SendByte(std::uint8_t b);
    // `noAcknowledge` for the last byte of a read.
    std::uint8_t ReceiveByte(bool noAcknowledge);
    // Up to `pollAttempts` attempts of START and `control`; true at the first
    // acknowledge.
    bool PollDevice(std::uint8_t control);
    // Ten attempts outlast the memory's write cycle.
    int pollAttempts = 10;

    // Looks for the board at the three port addresses; warns once when none
    // answers. On failure no port is in use.
    bool FindLptBoard();
    bool ProbeLptPort(std::uint16_t address);

    // The whole-memory operations over addresses first..last of the memory.
    // Each returns true when it failed (the window's TransferFailed) and shows
    // its own message. When no board is known yet, each looks for it first.
    bool lpt_writeall(std::span<const std::uint8_t> table, int first, int last, LptProgress& progress);
    // Fills `into[first..last]`; on failure the bytes read so far are there.
    bool lpt_readall(std::span<std::uint8_t> into, int first, int last, LptProgress& progress);
    bool lpt_verify(std::span<const std::uint8_t> table, int first, int last, LptProgress& progress);
    // Whether the last failed operation failed because the memory's bytes
    // differ from the table (a verify's difference), not for want of an answer.
    bool lastFailureWasDifference() const { return lastFailureWasDifference_; }
    // Whether the last failed verify lost the memory on its way: it answered
    // at the start and no longer at the end.
    bool lastFailureWasLoss() const { return lastFailureWasLoss_; }
    // A production step says "Verify Success!" itself once its bookkeeping
    // committed; while held, a verify that succeeds says nothing.
    void holdVerifySuccess(bool hold) { holdVerifySuccess_ = hold; }

private:
    void put(std::uint8_t value);
    bool dataLineLow();
    bool rangeUsable(std::size_t size, int first, int last) const;
    bool ensurePort();
    // One bit onto the data line, clocked: data, delay, clock high, delay, clock low, delay.
    void clockOut(bool high);
    struct ProgressStart {
        int maximum;
        int position;
        LptProgress::BarColor color;
        const char* status;
    };
    // Shows the transfer's start on the progress display, then makes sure the
    // board is known and the range fits; false (after the message) when not.
    bool beginTransfer(LptProgress& progress, const ProgressStart& start, std::size_t size, int first, int last,
                       const std::string& errorText);
    // Ends a transfer after its last byte: STOP, then the memory must
    // acknowledge its control byte once more (after a page write, once the write
    // cycle is over), then STOP. Only this proves that the board was there for
    // every byte: a board pulled off answers nothing, or holds the data line.
    bool memoryStillAnswers(int address);
    // Ends a verify at a byte that differs: a difference, or a lost memory.
    bool differenceOrLoss(int address);
    bool writePages(std::span<const std::uint8_t> table, int first, int last, LptProgress& progress);

    PortIo& port_;
    BusDelay& delay_;
    LptHost& host_;
    bool lineHeldLow_ = false;   // the data line read low while the bus should be idle
    bool lastFailureWasDifference_ = false;
    bool lastFailureWasLoss_ = false;
    bool holdVerifySuccess_ = false;
};

} // namespace px316t
