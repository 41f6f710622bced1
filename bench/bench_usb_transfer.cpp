// Writes and reads the whole 912-byte pager table through the USB link against
// the board emulator at 9600-baud pacing, and compares each with the fastest
// the wire allows, at 10 bits a byte on a 9600-baud line:
//  - a write block costs its frame and the board's acknowledgement;
//  - a read block costs the larger of the 300 ms pause the program waits after
//    handing over its frame and the bytes of frame and reply, because both
//    travel while the program pauses.
// Prints write and read separately with the ratio to their own limit, then the
// whole against the sum of both limits with the CPU time the program used
// meanwhile. The last line reads "ratio R cpu C%".
#include "link/usb/board_frame.h"
#include "link/qt_link_clock.h"
#include "link/usb/qt_serial_ports.h"
#include "link/usb/usb_link.h"
#include "registry/registry_backend.h"

#include "wire_model.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>

using namespace px316t;

namespace {

class SilentStatus final : public BoardStatusView {
public:
    void setMessageLine(const QString&, Rgb) override {}
    void setPagerMenuEnabled(bool) override {}
};

class PrintedMessages final : public MessageBoxes {
public:
    void message(const QString& text, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        failed = true;
    }
    bool askYesNo(const QString&) override { return false; }
    bool failed = false;
};

double cpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

using bench::Limit;
using bench::readLimit;
using bench::writeLimit;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString configHome = dir.filePath(QStringLiteral("config"));

    QProcess emulator;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    emulator.setProcessEnvironment(env);
    emulator.start(QStringLiteral(PX316T_BOARD_EMULATOR), {});
    int com = 0;
    const QRegularExpression ready(QStringLiteral("COM(\\d+) on "));
    for (int waited = 0; com == 0 && waited < 5000; waited += 20) {
        emulator.waitForReadyRead(20);
        while (emulator.canReadLine()) {
            const auto match = ready.match(QString::fromLocal8Bit(emulator.readLine()));
            if (match.hasMatch())
                com = match.captured(1).toInt();
        }
    }
    if (com == 0) {
        std::fprintf(stderr, "the board emulator did not start: %s\n", emulator.readAllStandardError().constData());
        return 1;
    }

    SerialPortMapOptions portOptions;
    portOptions.configHome = configHome.toStdString();
    portOptions.includeSystemPorts = false;
    clsRegistryAccess registry(makePortableRegistryBackend(
        {dir.filePath(QStringLiteral("registry.sqlite")).toStdString(), portOptions}));
    QtSerialPorts ports(portOptions);
    QtLinkClock clock;
    LinkState state;
    state.BoardPort = static_cast<std::int16_t>(com);
    SilentStatus status;
    PrintedMessages messages;
    UsbLink link(ports, state, registry, status, messages, clock);

    PagerTable table{};
    std::iota(table.begin(), table.end(), 0x21);

    using Clock = std::chrono::steady_clock;
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    const bool wrote = link.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize);
    const auto afterWrite = Clock::now();
    const bool read = wrote && link.UsbReadRange(0, PagerTableLast, UsbBlockSize);
    const auto end = Clock::now();
    const double cpu = cpuSeconds() - cpuStart;

    emulator.terminate();
    emulator.waitForFinished(5000);

    if (!wrote || !read || messages.failed
        || !std::equal(table.begin(), table.end(), link.ReadBuffer().begin())) {
        std::fprintf(stderr, "transfer failed\n");
        return 1;
    }

    const Limit w = writeLimit(PagerTableSize, UsbBlockSize);
    const Limit r = readLimit(PagerTableSize, UsbBlockSize);
    const double model = w.seconds + r.seconds;

    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    const double writeS = seconds(afterWrite - start);
    const double readS = seconds(end - afterWrite);
    const double total = seconds(end - start);

    std::printf("write 912 bytes: %.3f s, limit %.3f s (%ld bytes on the wire), ratio %.3f\n", writeS, w.seconds,
                w.bytes, writeS / w.seconds);
    std::printf("read  912 bytes: %.3f s, limit %.3f s (%ld bytes on the wire, replies during the %d ms pauses), "
                "ratio %.3f\n",
                readS, r.seconds, r.bytes, ReadPauseMs, readS / r.seconds);
    std::printf("total: %.3f s, limit %.3f s, cpu %.3f s\n", total, model, cpu);
    std::printf("ratio %.3f cpu %.1f%%\n", total / model, 100.0 * cpu / total);
    return 0;
}
