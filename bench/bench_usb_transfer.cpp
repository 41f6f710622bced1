// Writes and reads the whole 912-byte pager table through the USB link against
// the board emulator at 9600-baud pacing, and compares the time with the wire
// model: every byte of every frame and reply at 10 bits on a 9600-baud line,
// plus the 300 ms pause after each read frame. Prints the CPU time the program
// used meanwhile. The last line reads "ratio R cpu C%".
#include "link/board_frame.h"
#include "link/qt_link_clock.h"
#include "link/qt_serial_ports.h"
#include "link/usb_link.h"
#include "registry/registry_backend.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/resource.h>

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

// Bytes on the wire for one direction of a whole-table transfer in blocks.
struct WireBytes {
    long sent = 0;
    long received = 0;
    int readFrames = 0;
};

WireBytes writeModel(int size, int block)
{
    WireBytes w;
    for (int a = 0; a < size; a += block) {
        const int n = std::min(block, size - a);
        w.sent += n + 17;
        w.received += WriteAckSize;
    }
    return w;
}

WireBytes readModel(int size, int block)
{
    WireBytes w;
    for (int a = 0; a < size; a += block) {
        const int n = std::min(block, size - a);
        w.sent += 18;
        w.received += n + BoardFrameOverhead;
        ++w.readFrames;
    }
    return w;
}

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

    const WireBytes w = writeModel(PagerTableSize, UsbBlockSize);
    const WireBytes r = readModel(PagerTableSize, UsbBlockSize);
    const double secondsPerByte = 10.0 / 9600.0;
    const double writeModelS = static_cast<double>(w.sent + w.received) * secondsPerByte;
    const double readModelS = static_cast<double>(r.sent + r.received) * secondsPerByte + r.readFrames * ReadPauseMs / 1000.0;
    const double model = writeModelS + readModelS;

    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    const double writeS = seconds(afterWrite - start);
    const double readS = seconds(end - afterWrite);
    const double total = seconds(end - start);

    std::printf("write 912 bytes: %.3f s (model %.3f s, %ld bytes on the wire)\n", writeS, writeModelS,
                w.sent + w.received);
    std::printf("read  912 bytes: %.3f s (model %.3f s, %ld bytes on the wire + %d x %d ms pause)\n", readS,
                readModelS, r.sent + r.received, r.readFrames, ReadPauseMs);
    std::printf("total: %.3f s, model %.3f s, cpu %.3f s\n", total, model, cpu);
    std::printf("ratio %.3f cpu %.1f%%\n", total / model, 100.0 * cpu / total);
    return 0;
}
