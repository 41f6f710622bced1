#include "link/lpt/lpt_bus.h"

#include "editor/messages.h"

namespace px316t {
namespace {

constexpr int ProbeWaitMs = 50;

const std::string WriteError(messages::WriteError);
const std::string ReadError(messages::ReadError);
const std::string VerifyError(messages::VerifyError);

} // namespace

LptBus::LptBus(PortIo& port, BusDelay& delay, LptHost& host) : port_(port), delay_(delay), host_(host) {}

void LptBus::put(std::uint8_t value)
{
    LptLatch = value;
    if (LptDataPort != 0)
        port_.out(LptDataPort, value);
}

bool LptBus::dataLineLow()
{
    if (LptDataPort == 0)
        return false;
    return (port_.in(static_cast<std::uint16_t>(LptDataPort + 1)) & LptStatusDataBit) != 0;
}

void LptBus::SdaHigh() { put(LptLatch & ~LptDataBit); }
void LptBus::SdaLow() { put(LptLatch | LptDataBit); }
void LptBus::SclHigh() { put(LptLatch & ~LptClockBit); }
void LptBus::SclLow() { put(LptLatch | LptClockBit); }

void LptBus::BusStart()
{
    put(0xFC);
    delay_.BitDelay();
    // Both lines are released here, so the data line must read high; a line
    // held low means the board is gone or the bus is stuck, and an acknowledge
    // read afterwards would mean nothing.
    lineHeldLow_ = dataLineLow();
    put(0xFE);
    delay_.BitDelay();
    put(0xFF);
    delay_.BitDelay();
}

void LptBus::BusStop()
{
    put(0xFF);
    delay_.BitDelay();
    put(0xFE);
    delay_.BitDelay();
    put(0xFC);
    delay_.BitDelay();
}

void LptBus::clockOut(bool high)
{
    if (high)
        SdaHigh();
    else
        SdaLow();
    delay_.BitDelay();
    SclHigh();
    delay_.BitDelay();
    SclLow();
    delay_.BitDelay();
}

bool LptBus::SendByte(std::uint8_t b)
{
    for (int bit = 7; bit >= 0; --bit)
        clockOut(((b >> bit) & 1) != 0);
    SdaHigh();
    delay_.BitDelay();
    SclHigh();
    delay_.BitDelay();
    const bool acknowledged = dataLineLow();
    SclLow();
    delay_.BitDelay();
    return acknowledged;
}

std::uint8_t LptBus::ReceiveByte(bool noAcknowledge)
{
    SdaHigh();
    std::uint8_t v = 0;
    for (int i = 0; i < 8; ++i) {
        v = static_cast<std::uint8_t>(v << 1);
        SclHigh();
        delay_.BitDelay();
        if (!dataLineLow())
            v |= 1;
        SclLow();
        delay_.BitDelay();
    }
    clockOut(noAcknowledge);   // a released data line is no acknowledge
    return v;
}

bool LptBus::PollDevice(std::uint8_t control)
{
    for (int attempt = 0; attempt < pollAttempts; ++attempt) {
        BusStart();
        const bool acknowledged = SendByte(control);
        if (acknowledged && !lineHeldLow_)
            return true;
    }
    return false;
}

// ---- board probe -----------------------------------------------------------------

bool LptBus::FindLptBoard()
{
    LptLatch = LptIdle;
    for (std::uint16_t address : LptAddresses) {
        LptDataPort = address;
        if (ProbeLptPort(address)) {
            LptStatusPort = static_cast<std::uint16_t>(address + 1);
            return true;
        }
    }
    // No address is valid after a failed probe: nothing touches a port until a
    // later probe finds the board.
    LptDataPort = 0;
    LptStatusPort = 0;
    host_.message(std::string(messages::LptBoardNotResponding), true);
    return false;
}

bool LptBus::ProbeLptPort(std::uint16_t address)
{
    LptDataPort = address;
    BusStop();
    host_.WaitMs(ProbeWaitMs);
    BusStop();
    host_.WaitMs(ProbeWaitMs);
    SclLow();
    put(port_.in(address) | LptDataBit);
    host_.WaitMs(ProbeWaitMs);
    put(port_.in(address) & ~LptDataBit);
    host_.WaitMs(ProbeWaitMs);
    const bool present = (port_.in(static_cast<std::uint16_t>(address + 1)) & LptStatusDataBit) == 0;
    BusStop();
    return present;
}

// ---- whole-memory operations --------------------------------------------------------

bool LptBus::rangeUsable(std::size_t size, int first, int last) const
{
    return first >= 0 && first <= last && last < SerialMemorySize && static_cast<std::size_t>(last) < size;
}

bool LptBus::ensurePort()
{
    // A Pager command after a failed start-up probe looks for the board again
    // (it may have been plugged in since); the probe warns when it is still
    // missing.
    return LptStatusPort != 0 || FindLptBoard();
}

bool LptBus::beginTransfer(LptProgress& progress, const ProgressStart& start, std::size_t size, int first, int last,
                           const std::string& errorText)
{
    lastFailureWasDifference_ = false;
    lastFailureWasLoss_ = false;
    progress.setMaximum(start.maximum);
    progress.setPosition(start.position);
    progress.setColor(start.color);
    progress.setStatus(start.status);
    host_.letEventsRun();
    if (!ensurePort())
        return false;
    if (!rangeUsable(size, first, last)) {
        host_.message(errorText, false);
        return false;
    }
    return true;
}

bool LptBus::memoryStillAnswers(int address)
{
    BusStop();
    const bool answered = PollDevice(writeControlByte(address));
    BusStop();
    return answered;
}

bool LptBus::lpt_writeall(std::span<const std::uint8_t> table, int first, int last, LptProgress& progress)
{
    const bool failed = writePages(table, first, last, progress);
    // What reached the memory is kept, also after a failure; a write whose
    // bytes could not be kept is not written.
    const std::string problem = port_.commit();
    if (!failed && !problem.empty()) {
        host_.message(problem, true);
        return true;
    }
    return failed;
}

bool LptBus::writePages(std::span<const std::uint8_t> table, int first, int last, LptProgress& progress)
{
    if (!beginTransfer(progress, {last - 16, first, LptProgress::BarColor::Highlight, "Writing Now......."},
                       table.size(), first, last, WriteError))
        return true;
    for (int a = first; a <= last; ++a) {
        const bool pageStart = a % SerialMemoryPage == 0;
        if (pageStart || a == first) {
            BusStop();   // ends the previous page: its write cycle starts
            const bool polled = PollDevice(writeControlByte(a));
            if (pageStart)
                progress.setPosition(a);
            if (!polled || !SendByte(wordAddressByte(a))) {
                host_.message(WriteError, false);
                return true;
            }
        }
        if (!SendByte(table[static_cast<std::size_t>(a)])) {
            host_.message(WriteError, false);
            return true;
        }
    }
    // The last page's write cycle starts with the STOP; the memory answers
    // again when it is over.
    if (!memoryStillAnswers(last)) {
        host_.message(WriteError, false);
        return true;
    }
    return false;
}

bool LptBus::lpt_readall(std::span<std::uint8_t> into, int first, int last, LptProgress& progress)
{
    if (!beginTransfer(progress, {last - 32, first, LptProgress::BarColor::Purple, "Reading Now......."},
                       into.size(), first, last, ReadError))
        return true;
    for (int a = first; a <= last; ++a) {
        // Every page is addressed anew; the last byte of each page is read
        // without acknowledge. (The memory is also addressed when the range
        // ends on the first byte of a page, which the page before left
        // unacknowledged.)
        if (a % SerialMemoryPage == 0 || a == first) {
            const std::uint8_t control = writeControlByte(a);
            if (!PollDevice(control)) {
                host_.message(ReadError, false);
                return true;
            }
            SendByte(wordAddressByte(a));
            BusStart();
            SendByte(static_cast<std::uint8_t>(control + 1));
        }
        const bool pageEnd = (a + 1) % SerialMemoryPage == 0;
        into[static_cast<std::size_t>(a)] = ReceiveByte(pageEnd || a == last);
        if (pageEnd && a != last)
            progress.setPosition(a);
    }
    if (!memoryStillAnswers(last)) {
        host_.message(ReadError, false);
        return true;
    }
    host_.message(std::string(messages::ReadSuccess), false);
    return false;
}

bool LptBus::differenceOrLoss(int address)
{
    // A board pulled off reads as bytes that differ: a difference counts only
    // while the memory still answers.
    if (!memoryStillAnswers(address)) {
        lastFailureWasLoss_ = true;
        host_.message(ReadError, false);
    } else {
        lastFailureWasDifference_ = true;
        host_.message(VerifyError, false);
    }
    return true;
}

bool LptBus::lpt_verify(std::span<const std::uint8_t> table, int first, int last, LptProgress& progress)
{
    if (!beginTransfer(progress, {last - 16, first, LptProgress::BarColor::Purple, "Verifying Now....."},
                       table.size(), first, last, ReadError))
        return true;
    const std::uint8_t control = writeControlByte(first);
    if (!PollDevice(control)) {
        host_.message(ReadError, false);
        return true;
    }
    SendByte(wordAddressByte(first));
    BusStart();
    SendByte(static_cast<std::uint8_t>(control + 1));
    // One sequential read over the whole range: the memory runs on across page
    // and block boundaries.
    for (int a = first; a < last; ++a) {
        if (ReceiveByte(false) != table[static_cast<std::size_t>(a)]) {
            ReceiveByte(true);
            return differenceOrLoss(a);
        }
        if (a % SerialMemoryPage == 0)
            progress.setPosition(a);
    }
    if (ReceiveByte(true) != table[static_cast<std::size_t>(last)])
        return differenceOrLoss(last);
    // Equal bytes prove nothing when the board was pulled off while they came.
    if (!memoryStillAnswers(last)) {
        lastFailureWasLoss_ = true;
        host_.message(ReadError, false);
        return true;
    }
    if (!holdVerifySuccess_)
        host_.message(std::string(messages::VerifySuccess), false);
    return false;
}

} // namespace px316t
