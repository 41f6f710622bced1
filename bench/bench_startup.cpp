// Start-up cost of the program: the time from starting a process to its main
// window shown (offscreen, no serial ports) and the process's peak memory,
// beside a bare Qt main window of the same size measured the same way in the
// same run. Each side is started several times, alternately; the medians are
// compared. The last line reads "ratio R mem M" (ours / bare for the time and
// the peak resident memory).
#include "bench_window.h"

#include <QApplication>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace px316t;

namespace {

constexpr int Runs = 5;

long peakRssKb()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In the child: once the window is shown and the events of showing it have
// run, report "shown WIDTH HEIGHT PEAK_KB" and end.
int reportWhenShown(QApplication& app, QWidget& window)
{
    window.show();
    QTimer::singleShot(0, &app, [&] {
        std::printf("shown %d %d %ld\n", window.width(), window.height(), peakRssKb());
        std::fflush(stdout);
        app.quit();
    });
    return app.exec();
}

// The start-up warning that no board answers is expected here.
class SilentMessages final : public MessageBoxes {
public:
    void message(const QString&, Icon) override {}
    bool askYesNo(const QString&) override { return false; }
};

int runOurs(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SilentMessages messages;
    ApplicationRoot root(bench::benchWindowServices(dir.path(), messages));
    Form1& window = root.window();
    window.Form_Load();
    return reportWhenShown(app, window);
}

int runBare(int argc, char** argv, int width, int height)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(width, height);
    return reportWhenShown(app, window);
}

struct Sample {
    double ms = 0;
    int width = 0;
    int height = 0;
    long peakKb = 0;
};

bool startChild(const QStringList& args, Sample& sample)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto start = std::chrono::steady_clock::now();
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForReadyRead(30000))
        return false;
    const auto shown = std::chrono::steady_clock::now();
    const QByteArray line = child.readLine();
    child.waitForFinished(30000);
    sample.ms = std::chrono::duration<double, std::milli>(shown - start).count();
    return std::sscanf(line.constData(), "shown %d %d %ld", &sample.width, &sample.height, &sample.peakKb) == 3;
}

template <typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 2 && std::strcmp(argv[1], "--ours") == 0)
        return runOurs(argc, argv);
    if (argc >= 4 && std::strcmp(argv[1], "--bare") == 0)
        return runBare(argc, argv, std::atoi(argv[2]), std::atoi(argv[3]));

    QCoreApplication app(argc, argv);
    std::vector<double> oursMs, bareMs;
    std::vector<long> oursKb, bareKb;
    Sample first;
    // One start of each that is not counted fills the disk cache for both.
    if (!startChild({QStringLiteral("--ours")}, first)) {
        std::fprintf(stderr, "the main window did not come up\n");
        return 1;
    }
    const QStringList bareArgs = {QStringLiteral("--bare"), QString::number(first.width),
                                  QString::number(first.height)};
    Sample sample;
    if (!startChild(bareArgs, sample)) {
        std::fprintf(stderr, "the bare window did not come up\n");
        return 1;
    }
    for (int i = 0; i < Runs; ++i) {
        if (!startChild({QStringLiteral("--ours")}, sample))
            return 1;
        oursMs.push_back(sample.ms);
        oursKb.push_back(sample.peakKb);
        if (!startChild(bareArgs, sample))
            return 1;
        bareMs.push_back(sample.ms);
        bareKb.push_back(sample.peakKb);
    }
    const double ours = median(oursMs);
    const double bare = median(bareMs);
    const long oursPeak = median(oursKb);
    const long barePeak = median(bareKb);
    std::printf("main window %dx%d shown: %.1f ms, peak %ld KiB (median of %d starts)\n", first.width, first.height,
                ours, oursPeak, Runs);
    std::printf("bare window %dx%d shown: %.1f ms, peak %ld KiB\n", first.width, first.height, bare, barePeak);
    std::printf("ratio %.2f mem %.2f\n", ours / bare, static_cast<double>(oursPeak) / static_cast<double>(barePeak));
    return 0;
}
