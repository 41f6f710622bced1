#include "link/lpt/lpt_link.h"

namespace px316t {
namespace {

class WindowProgress final : public LptProgress {
public:
    explicit WindowProgress(ProgressView& view) : view_(view) {}
    void setMaximum(int maximum) override { view_.setProgressMaximum(maximum); }
    void setPosition(int position) override { view_.setProgressPosition(position); }
    void setColor(BarColor color) override
    {
        view_.setProgressColor(color == BarColor::Purple ? ProgressColor::Purple : ProgressColor::Highlight);
    }
    void setStatus(const std::string& text) override { view_.setStatusText(QString::fromStdString(text)); }

private:
    ProgressView& view_;
};

} // namespace

LptLink::LptLink(PortIo& port, BusDelay& delay, MessageBoxes& messages, LinkClock& clock)
    : port_(port), messages_(messages), clock_(clock), bus_(port, delay, *this)
{
}

bool LptLink::FindLptBoard()
{
    const bool found = bus_.FindLptBoard();
    port_.release();
    if (found)
        return true;
    const std::string problem = port_.problem();
    if (!problem.empty())
        messages_.message(QString::fromStdString(problem), MessageBoxes::Icon::Warning);
    return false;
}

bool LptLink::lpt_writeall(const PagerTable& table, int first, int last, ProgressView& progress)
{
    WindowProgress bar(progress);
    return bus_.lpt_writeall(table, first, last, bar);
}

bool LptLink::lpt_readall(PagerTable& table, int first, int last, ProgressView& progress)
{
    WindowProgress bar(progress);
    PagerTable copy = table;
    const bool failed = bus_.lpt_readall(copy, first, last, bar);
    if (!failed)
        table = copy;
    return failed;
}

bool LptLink::lpt_verify(const PagerTable& table, int first, int last, ProgressView& progress)
{
    WindowProgress bar(progress);
    return bus_.lpt_verify(table, first, last, bar);
}

void LptLink::BusStop()
{
    bus_.BusStop();
    port_.release();
}

void LptLink::message(const std::string& text, bool warning)
{
    messages_.message(QString::fromStdString(text), warning ? MessageBoxes::Icon::Warning : MessageBoxes::Icon::None);
}

void LptLink::letEventsRun() { clock_.letEventsRun(); }

void LptLink::WaitMs(int ms) { waitMs(clock_, ms); }

} // namespace px316t
