#pragma once
// In-process stand-ins for the USB link's hardware: a clock that advances by
// itself (so the 300/500/2000 ms waits cost nothing) and a set of serial ports
// behind which sit board responders, silent devices or scripted answers.
// Header-only, for the link tests and the programming-window tests.
#include "sim/board_responder.h"
#include "link/link_clock.h"
#include "link/usb/serial_ports.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace px316t::testing {

// Virtual milliseconds: every idle() is one millisecond, nothing else moves time.
class FakeClock final : public LinkClock {
public:
    std::int64_t nowMs() override { return now; }
    void letEventsRun() override
    {
        ++eventRuns;
        if (onEvents)
            onEvents();
    }
    void idle() override
    {
        ++idles;
        ++now;
        if (onEvents)
            onEvents();
    }

    std::int64_t now = 0;
    std::int64_t idles = 0;
    std::int64_t eventRuns = 0;
    std::function<void()> onEvents;   // stands in for window events running
};

enum class FakeOp { Open, Ioctl, Flush, Write, Iqueue, Read, Getch, Close };

class FakeBoardPorts final : public SerialPorts {
public:
    // Answers the bytes of one write with the bytes the device sends back.
    using Script = std::function<Bytes(const Bytes& written)>;

    struct PortLog {
        int opens = 0;
        int closes = 0;
        int flushes = 0;
        std::vector<Bytes> writes;
    };

    explicit FakeBoardPorts(LinkClock& clock) : clock_(clock) {}

    BoardResponder& addBoard(int port, BoardFaults faults = {})
    {
        Port& p = ports_[port];
        p.responder = std::make_unique<BoardResponder>(faults);
        return *p.responder;
    }
    void addSilentPort(int port) { ports_[port]; }
    void addScriptedPort(int port, Script script) { ports_[port].script = std::move(script); }
    // open() answers `result` and errorText() `text`.
    void refuseOpen(int port, int result, std::string text)
    {
        Port& p = ports_[port];
        p.openRefusal = result;
        p.refusalText = std::move(text);
    }
    // Every later call of `op` on `port` fails.
    void failOp(int port, FakeOp op) { ports_[port].failing.insert(op); }
    void healOp(int port, FakeOp op) { ports_[port].failing.erase(op); }
    // The device vanishes now, as when the board is unplugged.
    void unplug(int port) { vanish(port); }
    // Bytes that arrive on the port at once.
    void inject(int port, const Bytes& bytes) { deliver(ports_[port], bytes, 0); }

    BoardResponder* board(int port)
    {
        const auto it = ports_.find(port);
        return it == ports_.end() ? nullptr : it->second.responder.get();
    }
    const PortLog& log(int port) { return ports_[port].log; }
    bool isOpen(int port) const
    {
        const auto it = ports_.find(port);
        return it != ports_.end() && it->second.open;
    }

    // Milliseconds each reply byte takes on the line (0: all at once).
    double byteTimeMs = 0;
    // Called once with the COM number when a device vanishes (tests drop it
    // from the serial-port list there).
    std::function<void(int)> onUnplug;

    int open(int port) override
    {
        Port* p = find(port);
        if (!p || p->gone)
            return SerialBadPort;
        if (p->openRefusal != SerialOk)
            return p->openRefusal;
        if (p->failing.count(FakeOp::Open) || p->open)
            return SerialOpenFailed;
        p->open = true;
        ++p->log.opens;
        return SerialOk;
    }
    int ioctl(int port, int baudCode, int mode) override
    {
        Port* p = usable(port, FakeOp::Ioctl);
        if (!p)
            return SerialIoError;
        return baudCode == BaudCode9600 && mode == Mode8N1 ? SerialOk : SerialBadParameter;
    }
    int flush(int port, int which) override
    {
        Port* p = usable(port, FakeOp::Flush);
        if (!p)
            return SerialIoError;
        ++p->log.flushes;
        if (which == FlushReceive || which == FlushBoth) {
            settle(*p);
            std::erase_if(p->rx, [this](const Pending& b) { return b.at <= clock_.nowMs(); });
        }
        return SerialOk;
    }
    int write(int port, const std::uint8_t* data, int count) override
    {
        Port* p = usable(port, FakeOp::Write);
        if (!p)
            return SerialIoError;
        Bytes bytes(data, data + count);
        p->log.writes.push_back(bytes);
        if (p->responder) {
            for (const std::uint8_t b : bytes) {
                const Bytes reply = p->responder->receive(b);
                if (!reply.empty())
                    deliver(*p, reply, p->responder->faults().replyDelayMs);
            }
        } else if (p->script) {
            deliver(*p, p->script(bytes), 0);
        }
        return count;
    }
    int iqueue(int port) override
    {
        Port* p = usable(port, FakeOp::Iqueue);
        if (!p)
            return SerialIoError;
        return arrived(*p);
    }
    int read(int port, std::uint8_t* buffer, int count) override
    {
        Port* p = usable(port, FakeOp::Read);
        if (!p)
            return SerialIoError;
        int got = 0;
        while (got < count && !p->rx.empty() && p->rx.front().at <= clock_.nowMs()) {
            buffer[got++] = p->rx.front().byte;
            p->rx.pop_front();
        }
        return got;
    }
    int getch(int port) override
    {
        Port* p = usable(port, FakeOp::Getch);
        if (!p)
            return SerialIoError;
        if (arrived(*p) == 0)
            return SerialNoData;
        const std::uint8_t b = p->rx.front().byte;
        p->rx.pop_front();
        return b;
    }
    int lstatus(int port) override
    {
        Port* p = find(port);
        return p && p->open && !p->gone ? SerialOk : SerialNotOpen;
    }
    int close(int port) override
    {
        Port* p = find(port);
        if (!p || !p->open)
            return SerialNotOpen;
        p->open = false;
        ++p->log.closes;
        return p->failing.count(FakeOp::Close) ? SerialIoError : SerialOk;
    }
    std::string errorText(int port) const override
    {
        const auto it = ports_.find(port);
        return it == ports_.end() ? std::string() : it->second.refusalText;
    }

private:
    struct Pending {
        std::int64_t at;
        std::uint8_t byte;
    };
    struct Port {
        std::unique_ptr<BoardResponder> responder;
        Script script;
        std::deque<Pending> rx;
        std::set<FakeOp> failing;
        int openRefusal = SerialOk;
        std::string refusalText;
        bool open = false;
        bool gone = false;
        PortLog log;
    };

    Port* find(int port)
    {
        const auto it = ports_.find(port);
        return it == ports_.end() ? nullptr : &it->second;
    }
    // The port if it is open, present and `op` is not failing on it.
    Port* usable(int port, FakeOp op)
    {
        Port* p = find(port);
        if (!p)
            return nullptr;
        settle(*p);
        if (!p->open || p->gone || p->failing.count(op))
            return nullptr;
        return p;
    }
    // A board set to unplug vanishes once its last reply has been taken.
    void settle(Port& p)
    {
        if (!p.gone && p.responder && p.responder->unplugged() && p.rx.empty())
            vanish(numberOf(p));
    }
    int numberOf(const Port& p) const
    {
        for (const auto& [number, port] : ports_)
            if (&port == &p)
                return number;
        return -1;
    }
    void vanish(int port)
    {
        Port* p = find(port);
        if (!p || p->gone)
            return;
        p->gone = true;
        p->open = false;
        p->rx.clear();
        if (onUnplug)
            onUnplug(port);
    }
    void deliver(Port& p, const Bytes& bytes, int delayMs)
    {
        std::int64_t start = clock_.nowMs() + delayMs;
        if (!p.rx.empty())
            start = std::max(start, p.rx.back().at);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            p.rx.push_back({start + static_cast<std::int64_t>(byteTimeMs * static_cast<double>(i + 1)), bytes[i]});
    }
    int arrived(const Port& p) const
    {
        int n = 0;
        for (const Pending& b : p.rx) {
            if (b.at > clock_.nowMs())
                break;
            ++n;
        }
        return n;
    }

    LinkClock& clock_;
    std::map<int, Port> ports_;
};

} // namespace px316t::testing
