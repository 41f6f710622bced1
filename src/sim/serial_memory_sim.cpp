#include "sim/serial_memory_sim.h"

namespace px316t {

SerialMemorySim::SerialMemorySim(TimeSource now) : now_(std::move(now))
{
    memory_.fill(0xFF);
}

void SerialMemorySim::setMasterLines(bool scl, bool sda)
{
    const bool oldSda = this->sda();
    if (scl_ && !scl) {
        scl_ = false;
        onClockFall();
        masterSda_ = sda;
        return;
    }
    if (!scl_ && scl) {
        masterSda_ = sda;
        scl_ = true;
        onClockRise();
        return;
    }
    masterSda_ = sda;
    if (scl_ && oldSda != this->sda()) {
        if (this->sda())
            onStop();
        else
            onStart();
    }
}

void SerialMemorySim::onStart()
{
    // A START ends whatever ran: a page not yet ended by a STOP is dropped.
    pullsLow_ = false;
    pageLoaded_ = 0;
    state_ = State::Control;
    bits_ = 0;
    shift_ = 0;
}

void SerialMemorySim::onStop()
{
    pullsLow_ = false;
    const bool writing = state_ == State::WriteData
        || (state_ == State::Acknowledge && afterAcknowledge_ == State::WriteData);
    if (writing && pageLoaded_ != 0 && !busy()) {
        for (int i = 0; i < SerialMemoryPage; ++i)
            if (pageLoaded_ & (1u << i))
                memory_[static_cast<std::size_t>(pageBase_ + i)] = page_[static_cast<std::size_t>(i)];
        busyUntil_ = now_() + writeCycleNs;
        ++writeCycles_;
        if (onWriteCycle)
            onWriteCycle();
    }
    pageLoaded_ = 0;
    state_ = State::Standby;
}

void SerialMemorySim::onClockRise()
{
    switch (state_) {
    case State::Control:
    case State::WordAddress:
    case State::WriteData:
        shift_ = static_cast<std::uint8_t>((shift_ << 1) | (sda() ? 1 : 0));
        ++bits_;
        break;
    case State::MasterAcknowledge:
        masterAcknowledged_ = !sda();
        break;
    default:
        break;
    }
}

void SerialMemorySim::onClockFall()
{
    switch (state_) {
    case State::Control:
    case State::WordAddress:
    case State::WriteData:
        if (bits_ == 8)
            byteReceived();
        break;
    case State::Acknowledge:
        pullsLow_ = false;
        state_ = afterAcknowledge_;
        bits_ = 0;
        shift_ = 0;
        if (state_ == State::ReadData)
            loadReadByte();
        break;
    case State::ReadData:
        if (bits_ < 8) {
            pullsLow_ = ((shift_ >> (7 - bits_)) & 1) == 0;
            ++bits_;
        } else {
            pullsLow_ = false;   // the master answers on the ninth clock
            state_ = State::MasterAcknowledge;
        }
        break;
    case State::MasterAcknowledge:
        if (masterAcknowledged_) {
            pointer_ = (pointer_ + 1) % SerialMemorySize;
            state_ = State::ReadData;
            loadReadByte();
        } else {
            state_ = State::Standby;
        }
        break;
    case State::Standby:
        break;
    }
}

void SerialMemorySim::acknowledge(State next)
{
    pullsLow_ = true;
    afterAcknowledge_ = next;
    state_ = State::Acknowledge;
}

void SerialMemorySim::loadReadByte()
{
    std::uint8_t value = memory_[static_cast<std::size_t>(pointer_)];
    if (faults.wrongByteAt && *faults.wrongByteAt == pointer_)
        value = static_cast<std::uint8_t>(~value);
    shift_ = value;
    // The first bit goes out at once, on the falling clock that brought us here.
    pullsLow_ = (value & 0x80) == 0;
    bits_ = 1;
}

void SerialMemorySim::byteReceived()
{
    const std::uint8_t byte = shift_;
    bits_ = 0;
    shift_ = 0;
    switch (state_) {
    case State::Control: {
        ++controlBytes_;
        const bool ours = (byte & 0xF0) == 0xA0;
        const bool answering = !faults.neverAcknowledge && !busy()
            && controlBytes_ >= faults.acknowledgeFromControl;
        if (!ours || !answering) {
            state_ = State::Standby;
            return;
        }
        block_ = (byte >> 1) & 0x07;
        if (byte & 1) {
            pointer_ = (block_ << 8) | (pointer_ & 0xFF);
            acknowledge(State::ReadData);
        } else {
            acknowledge(State::WordAddress);
        }
        return;
    }
    case State::WordAddress:
        pointer_ = (block_ << 8) | byte;
        pageBase_ = pointer_ & ~(SerialMemoryPage - 1);
        pageLoaded_ = 0;
        acknowledge(State::WriteData);
        return;
    case State::WriteData:
        if (faults.refuseDataAt && *faults.refuseDataAt == pointer_) {
            pageLoaded_ = 0;
            state_ = State::Standby;
            return;
        }
        {
            const int offset = pointer_ & (SerialMemoryPage - 1);
            page_[static_cast<std::size_t>(offset)] = byte;
            pageLoaded_ = static_cast<std::uint16_t>(pageLoaded_ | (1u << offset));
            // The page buffer wraps inside its page.
            pointer_ = pageBase_ | ((offset + 1) & (SerialMemoryPage - 1));
        }
        acknowledge(State::WriteData);
        return;
    default:
        return;
    }
}

// ---- the board ------------------------------------------------------------------------

SimulatedLptBoard::SimulatedLptBoard(SerialMemorySim& memory, std::uint16_t address)
    : memory_(memory), address_(address)
{
}

void SimulatedLptBoard::out(std::uint16_t address, std::uint8_t value)
{
    if (!isLptRegister(address)) {
        ++foreignAccesses;
        return;
    }
    if (address != address_)
        return;   // no port there, or a status register (read-only)
    latch_ = value;
    if (recordWrites)
        dataWrites.push_back(value);
    if (writesUntilLost_ > 0 && --writesUntilLost_ == 0)
        lost_ = true;
    if (lost_)
        return;
    // The change happens now; whatever the memory does about it comes after.
    const std::int64_t at = memory_.now();
    const bool oldScl = memory_.scl();
    const bool oldSda = memory_.sda();
    // Inverted wiring: a set bit pulls its line low.
    memory_.setMasterLines((value & LptClockBit) == 0, (value & LptDataBit) == 0);
    if (onLines && (oldScl != memory_.scl() || oldSda != memory_.sda()))
        onLines(at, memory_.scl(), memory_.sda());
}

std::uint8_t SimulatedLptBoard::in(std::uint16_t address)
{
    if (!isLptRegister(address)) {
        ++foreignAccesses;
        return 0xFF;
    }
    if (address == address_)
        return latch_;
    if (address != address_ + 1)
        return 0xFF;
    if (lost_)
        return lostStatus_;
    return memory_.sda() ? 0x00 : LptStatusDataBit;
}

void SimulatedLptBoard::loseBoardAfter(int writes, std::uint8_t status)
{
    writesUntilLost_ = writes;
    lostStatus_ = status;
    lost_ = writes <= 0;
}

} // namespace px316t
