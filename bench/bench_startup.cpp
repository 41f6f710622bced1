// Start-up cost of the program: the time from starting a process to its main
// window shown (offscreen, no serial ports) and the process's peak memory,
// beside a bare Qt main window of the same size measured the same way.
//
// The two are started alternately, the bare window before and after each start
// of ours, so that a change of the machine's load hits both alike: the ratio of
// each start of ours to the mean of the bare starts around it is taken, and the
// median of those ratios is the figure (the medians of the times are printed
// too). The main window's own starts also say where their time goes: process
// start to main() (loading the program and its libraries), the application
// object, the application root with the widgets, the start-up sequence
// (Form_Load) and showing the window. The last line reads "ratio R mem M"
// (ours / bare for the time and the peak resident memory).
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
#include <string>
#include <vector>

using namespace px316t;

namespace {

constexpr int Starts = 21;
constexpr int Phases = 5;
const char* const PhaseNames[Phases] = {"process start to main()", "QApplication", "application root and widgets",
                                        "start-up sequence (Form_Load)", "show and first events"};

using Clock = std::chrono::steady_clock;   // one clock for every process of the machine

long long nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

long peakRssKb()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In the child: once the window is shown and the events of showing it have
// run, report "shown WIDTH HEIGHT PEAK_KB" and the moments of the phases
// (microseconds of the shared clock), and end.
int reportWhenShown(QApplication& app, QWidget& window, std::vector<long long> moments)
{
    window.show();
    QTimer::singleShot(0, &app, [&] {
        moments.push_back(nowUs());
        std::printf("shown %d %d %ld", window.width(), window.height(), peakRssKb());
        for (long long moment : moments)
            std::printf(" %lld", moment);
        std::printf("\n");
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
    std::vector<long long> moments = {nowUs()};
    QApplication app(argc, argv);
    moments.push_back(nowUs());
    QTemporaryDir dir;
    SilentMessages messages;
    ApplicationRoot root(bench::benchWindowServices(dir.path(), messages));
    moments.push_back(nowUs());
    root.window().Form_Load();
    moments.push_back(nowUs());
    return reportWhenShown(app, root.window(), moments);
}

int runBare(int argc, char** argv, int width, int height)
{
    std::vector<long long> moments = {nowUs()};
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(width, height);
    return reportWhenShown(app, window, moments);
}

struct Sample {
    double ms = 0;
    int width = 0;
    int height = 0;
    long peakKb = 0;
    std::vector<double> phaseMs;   // the phases, in order
};

bool startChild(const QStringList& args, Sample& sample)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const long long start = nowUs();
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForReadyRead(30000))
        return false;
    const long long shown = nowUs();
    const QList<QByteArray> fields = child.readLine().trimmed().split(' ');
    child.waitForFinished(30000);
    sample.ms = (shown - start) / 1000.0;
    if (fields.size() < 5 || fields[0] != "shown")
        return false;
    sample.width = fields[1].toInt();
    sample.height = fields[2].toInt();
    sample.peakKb = fields[3].toLong();
    sample.phaseMs.clear();
    long long previous = start;
    for (qsizetype i = 4; i < fields.size(); ++i) {
        const long long moment = fields[i].toLongLong();
        sample.phaseMs.push_back((moment - previous) / 1000.0);
        previous = moment;
    }
    return true;
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
    Sample first;
    // One start of each that is not counted fills the disk cache for both.
    if (!startChild({QStringLiteral("--ours")}, first)) {
        std::fprintf(stderr, "the main window did not come up\n");
        return 1;
    }
    const QStringList bareArgs = {QStringLiteral("--bare"), QString::number(first.width),
                                  QString::number(first.height)};
    Sample before;
    if (!startChild(bareArgs, before)) {
        std::fprintf(stderr, "the bare window did not come up\n");
        return 1;
    }
    std::vector<double> oursMs, bareMs = {before.ms}, bareToMain = {before.phaseMs.front()}, ratios;
    std::vector<long> oursKb, bareKb = {before.peakKb};
    std::vector<std::vector<double>> phases(Phases);
    for (int i = 0; i < Starts; ++i) {
        Sample ours, after;
        if (!startChild({QStringLiteral("--ours")}, ours) || ours.phaseMs.size() != Phases ||
            !startChild(bareArgs, after))
            return 1;
        oursMs.push_back(ours.ms);
        oursKb.push_back(ours.peakKb);
        bareMs.push_back(after.ms);
        bareToMain.push_back(after.phaseMs.front());
        bareKb.push_back(after.peakKb);
        ratios.push_back(ours.ms / ((before.ms + after.ms) / 2));
        for (int p = 0; p < Phases; ++p)
            phases[p].push_back(ours.phaseMs[p]);
        before = after;
    }
    const double ours = median(oursMs);
    const double bare = median(bareMs);
    std::printf("main window %dx%d shown: %.1f ms, peak %ld KiB (median of %d starts)\n", first.width, first.height,
                ours, median(oursKb), Starts);
    for (int p = 0; p < Phases; ++p)
        std::printf("  %-32s %6.1f ms\n", PhaseNames[p], median(phases[p]));
    std::printf("bare window %dx%d shown: %.1f ms, peak %ld KiB (median of %d starts around them)\n", first.width,
                first.height, bare, median(bareKb), Starts + 1);
    // The same program plays both, so both load the same libraries.
    std::printf("  %-32s %6.1f ms\n", PhaseNames[0], median(bareToMain));
    std::printf("ratios of each start to the bare ones around it: %.2f to %.2f\n",
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    std::printf("ratio %.2f mem %.2f\n", median(ratios),
                static_cast<double>(median(oursKb)) / static_cast<double>(median(bareKb)));
    return 0;
}
