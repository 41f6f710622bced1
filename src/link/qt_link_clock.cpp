#include "link/qt_link_clock.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

namespace px316t {

std::int64_t QtLinkClock::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void QtLinkClock::letEventsRun() { QCoreApplication::processEvents(); }

void QtLinkClock::idle()
{
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace px316t
