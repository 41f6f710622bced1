#pragma once
// The parallel-port board as the programming window and board detection use
// it: the bus operations with the window's progress bar, messages and event
// loop. A read goes into a copy of the image, which replaces the image only
// when the whole read succeeded, so a failed read leaves the editor's image as
// it was.
#include "link/link_clock.h"
#include "link/lpt/lpt_bus.h"
#include "link/lpt/parallel_port_link.h"
#include "link/message_boxes.h"

namespace px316t {

class LptLink final : public ParallelPortLink, private LptHost {
public:
    LptLink(PortIo& port, BusDelay& delay, MessageBoxes& messages, LinkClock& clock);

    // Board detection's probe (BoardPresent of an "LPT" build). When no board
    // answers and ports could not be opened, the reasons follow the warning.
    // The ports are given back afterwards.
    bool FindLptBoard();

    bool lpt_writeall(const PagerTable& table, int first, int last, ProgressView& progress) override;
    bool lpt_readall(PagerTable& table, int first, int last, ProgressView& progress) override;
    bool lpt_verify(const PagerTable& table, int first, int last, ProgressView& progress) override;
    void BusStop() override;
    bool LastFailureWasDifference() const override { return bus_.lastFailureWasDifference(); }
    bool LastFailureWasLoss() const override { return bus_.lastFailureWasLoss(); }
    void HoldVerifySuccess(bool hold) override { bus_.holdVerifySuccess(hold); }

    LptBus& bus() { return bus_; }

private:
    void message(const std::string& text, bool warning) override;
    void letEventsRun() override;
    void WaitMs(int ms) override;

    PortIo& port_;
    MessageBoxes& messages_;
    LinkClock& clock_;
    LptBus bus_;
};

} // namespace px316t
