// Production over several boards: `px316t-cli produce --no-wait` with 1, 2 and
// 4 emulated boards paced like a 9600-baud line, all drawing their capcodes
// from one shared PostgreSQL sequence (a throw-away cluster, or the database
// named by PX316T_PRODUCTION_DB). Prints pagers per hour for each and the
// speed-up of 4 boards over 1. The overhead is the time per pager of reserving
// a capcode, recording the write and the verify (SQLite and PostgreSQL) and
// marking the capcode used, measured in process, against the wire model of one
// write and verify (3.625 s). The last line reads "speedup S overhead O%".
#include "production/pg_connection.h"
#include "production/production_services.h"
#include "support/link_emulator_process.h"
#include "support/pg_cluster.h"

#include "wire_model.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

using namespace px316t;

namespace {

// One write and one verify of the whole image on the wire (wire_model.h).
double wireModelSeconds()
{
    return bench::writeLimit(PagerTableSize, UsbBlockSize).seconds
         + bench::readLimit(PagerTableSize, UsbBlockSize).seconds;
}

constexpr int PagersPerBoard = 4;
constexpr int OverheadRounds = 200;

int run(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PX316T_CLI), args);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const int status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    if (status != 0)   // the program's own lines say why
        std::fputs(p.readAllStandardError().constData(), stderr);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());

    std::string conninfo = productionDatabaseFromEnvironment();
    std::unique_ptr<testing::PgCluster> cluster;
    if (conninfo.empty()) {
        cluster = std::make_unique<testing::PgCluster>();
        if (!cluster->ok()) {
            std::fprintf(stderr, "no database: %s\n", cluster->error().c_str());
            return 1;
        }
        conninfo = cluster->conninfo();
    }

    std::vector<std::unique_ptr<testing::EmulatorProcess>> boards;
    for (int com = 11; com <= 14; ++com) {
        boards.push_back(std::make_unique<testing::EmulatorProcess>(QStringLiteral(PX316T_BOARD_EMULATOR), dir.path(),
                                                                    QStringList{"--com", QString::number(com)}));
        if (!boards.back()->ready) {
            std::fprintf(stderr, "the board emulator did not start\n");
            return 1;
        }
    }
    const QString file = dir.filePath(QStringLiteral("bench.tbl"));
    if (run({"new", file}, env) != 0 || run({"set", file, "capcode.1=100000"}, env) != 0)
        return 1;

    const QString stamp = QString::number(QCoreApplication::applicationPid());
    double rateOfOne = 0;
    double rateOfFour = 0;
    for (int n : {1, 2, 4}) {
        const int count = PagersPerBoard * n;
        QStringList args = {"produce", file, "--count", QString::number(count), "--no-wait",
                            "--batch", QStringLiteral("bench-%1-%2").arg(n).arg(stamp),
                            "--production-db", QString::fromStdString(conninfo), "--station", "bench"};
        for (int i = 0; i < n; ++i)
            args << "--port" << QString::number(11 + i);
        const auto start = std::chrono::steady_clock::now();
        const int status = run(args, env);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 0) {
            std::fprintf(stderr, "produce with %d boards failed (status %d)\n", n, status);
            return 1;
        }
        const double perHour = count / seconds * 3600.0;
        std::printf("%d board%s: %d pagers in %.2f s, %.0f pagers per hour (%.3f s per pager per board)\n", n,
                    n == 1 ? " " : "s", count, seconds, perHour, seconds / PagersPerBoard);
        if (n == 1)
            rateOfOne = perHour;
        if (n == 4)
            rateOfFour = perHour;
    }
    boards.clear();   // each emulator is stopped as an operator's Ctrl+C would

    // Reserving and recording alone, as each pager of a run does them.
    std::vector<std::string> notices;
    ProductionOptions options{conninfo, "bench-overhead", dir.filePath(QStringLiteral("overhead")).toStdString()};
    auto services = ProductionServices::open(options, notices);
    if (!services.ok()) {
        std::fprintf(stderr, "%s\n", services.message().c_str());
        return 1;
    }
    auto sequence = services.value()->openSequence(500000, 1000000, ("overhead-" + stamp).toStdString(), notices);
    if (!sequence.ok()) {
        std::fprintf(stderr, "%s\n", sequence.message().c_str());
        return 1;
    }
    PagerTable image{};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < OverheadRounds; ++i) {
        auto reservation = sequence.value()->reserveNext();
        image[0x200] = static_cast<std::uint8_t>(i);
        if (!reservation.ok() ||
            !services.value()->recordTransfer(image, RecordOperation::Write, RecordResult::Success, "COM1").ok() ||
            !services.value()->recordTransfer(image, RecordOperation::Verify, RecordResult::Success, "COM1").ok() ||
            !sequence.value()->markUsed(reservation.value()).ok()) {
            std::fprintf(stderr, "reserving or recording failed\n");
            return 1;
        }
    }
    const double overhead =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / OverheadRounds;
    std::printf("reserve + record write and verify + mark used: %.2f ms per pager (wire model %.3f s)\n",
                overhead * 1000.0, wireModelSeconds());
    std::printf("speedup %.2f overhead %.2f%%\n", rateOfFour / rateOfOne, overhead / wireModelSeconds() * 100.0);
    return 0;
}
