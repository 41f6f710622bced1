// Production speed: runs `px316t-cli produce --count 10 --no-wait` against the
// board emulator at 9600-baud pacing and compares the time per pager with the
// wire model of one write and one verify (wire_model.h: the write's bytes on a
// 9600-baud line, and for each read block the larger of the 300 ms pause and
// the bytes of frame and reply, which travel during the pause). The last line
// reads "ratio R".
#include "link/usb/board_frame.h"
#include "link/usb/usb_link.h"
#include "table/pager_table.h"

#include "support/link_emulator_process.h"
#include "wire_model.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace px316t;

namespace {

constexpr int Pagers = 10;

double modelSecondsPerPager()
{
    return bench::writeLimit(PagerTableSize, UsbBlockSize).seconds
         + bench::readLimit(PagerTableSize, UsbBlockSize).seconds;
}

int run(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    return p.exitCode();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());

    testing::EmulatorProcess emulator(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(), {});
    if (!emulator.ready) {
        std::fprintf(stderr, "the board emulator did not start\n");
        return 1;
    }
    const QString com = QString::number(emulator.com);
    const QString cli = QStringLiteral(PX316T_CLI);
    const QString file = dir.filePath(QStringLiteral("bench.tbl"));
    if (run(cli, {"new", file}, env) != 0)
        return 1;

    const auto start = std::chrono::steady_clock::now();
    const int status = run(cli, {"produce", file, "--count", QString::number(Pagers), "--no-wait", "--port", com}, env);
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    emulator.stop();
    if (status != 0) {
        std::fprintf(stderr, "produce failed (status %d)\n", status);
        return 1;
    }
    const double perPager = total / Pagers;
    const double model = modelSecondsPerPager();
    std::printf("%d pagers in %.3f s (program start and table saves included)\n", Pagers, total);
    std::printf("per pager: %.3f s, model %.3f s (one write and one verify on a 9600-baud line, reads bound by "
                "the %d ms pauses)\n",
                perPager, model, ReadPauseMs);
    std::printf("ratio %.3f\n", perPager / model);
    return 0;
}
