// Refresh cost of the main window (offscreen): one full refresh of every
// control from the image (init_ctl), and one File > Open of a table file with
// the refresh that follows it. Each is timed over several rounds; the first
// round and the median are printed in microseconds.
#include "bench_window.h"

#include "table/builtin_tables.h"
#include "table/table_file.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace px316t;

namespace {

constexpr int Rounds = 51;

struct Timing {
    double first = 0;
    double median = 0;
};

Timing time(const std::function<void()>& run)
{
    std::vector<double> us;
    for (int i = 0; i < Rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    const double first = us.front();
    std::sort(us.begin(), us.end());
    return {first, us[us.size() / 2]};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::PrintedMessages messages;
    bench::FixedFileDialogs files;
    ApplicationRoot root(bench::benchWindowServices(dir.path(), messages, &files));
    Form1& window = root.window();
    window.Form_Load();
    window.show();
    QApplication::processEvents();

    // A file that differs from the image on screen, so the load changes controls.
    PagerTable image = makeDefaultPagerTable();
    for (std::size_t i = 0; i < image.size(); i += 7)
        image[i] = static_cast<std::uint8_t>(image[i] ^ 0x5A);
    files.path = dir.filePath(QStringLiteral("bench.tbl"));
    if (writeTableFile(files.path.toStdString(), image) != TableFileError::None) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(files.path));
        return 1;
    }

    const Timing refresh = time([&] { window.init_ctl(); });
    const Timing load = time([&] { window.mnuLBFF_Click(); });
    std::printf("init_ctl: %.0f us (first %.0f us, median of %d)\n", refresh.median, refresh.first, Rounds);
    std::printf("table file load with refresh: %.0f us (first %.0f us, median of %d)\n", load.median, load.first,
                Rounds);
    return 0;
}
