// Production over several boards: `px316t-cli produce --no-wait` with 1, 2, 4
// and 16 emulated boards paced like a 9600-baud line, each run drawing its
// capcodes from a batch of one shared PostgreSQL database (a throw-away
// cluster, or the database named by PX316T_PRODUCTION_DB). Prints pagers per
// hour for each, the speed-up of 4 and of 16 boards over 1, and the station's
// CPU with 16 boards (its processor time over the run's time, in % of one
// core). The overhead is the time per pager of reserving a capcode,
// committing that its write begins, recording the write and the verify
// (SQLite and PostgreSQL) and marking the capcode used, measured in process,
// against the wire model of one write and verify (3.625 s). Then three
// stations run on one batch, alone and again beside a fourth that is stopped
// (SIGSTOP) in the middle of its work, caught inside a database transaction
// when it can be: the three must keep their rate. The last line reads
// "speedup S overhead O% speedup16 S16 cpu16 C% stalled R%".
#include "production/pg_connection.h"
#include "production/production_services.h"
#include "support/link_emulator_process.h"
#include "support/pg_cluster.h"

#include "wire_model.h"

#include "production/pg_production.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include <sys/resource.h>

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

// Processor seconds of the children waited for so far.
double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A batch of `size` capcodes from `first` on, moved up past batches that exist.
bool createBenchBatch(const std::string& conninfo, const std::string& name, std::uint64_t first, std::uint64_t size)
{
    auto db = PgConnection::open(conninfo);
    if (!db.ok()) {
        std::fprintf(stderr, "%s\n", db.message().c_str());
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt, first += 10 * size) {
        const Status created = createBatch(*db.value(), BatchSpec{name, first, first + size - 1});
        if (created.ok())
            return true;
        if (!created.refused()) {
            std::fprintf(stderr, "%s\n", created.message().c_str());
            return false;
        }
    }
    std::fprintf(stderr, "no free range for the batch %s\n", name.c_str());
    return false;
}

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

constexpr int PagersPerStation = 4;

// A produce run as one station of its own (its own table file and name) on
// board COM`port`; the database sees it under the name `station`.
void startStation(QProcess& p, const QString& folder, const QProcessEnvironment& env, const std::string& conninfo,
                  const QString& batch, const QString& station, int port)
{
    const QString file = folder + "/" + station + ".tbl";
    QProcess::execute(QStringLiteral(PX316T_CLI), {"new", file});
    QProcess::execute(QStringLiteral(PX316T_CLI), {"set", file, "capcode.1=100000"});
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(PX316T_CLI),
            {"produce", file, "--count", QString::number(PagersPerStation), "--no-wait", "--batch", batch,
             "--production-db", QString::fromStdString(conninfo) + " application_name=" + station, "--station",
             station, "--port", QString::number(port)});
    p.closeWriteChannel();
}

// Whether the session of `station` holds a lock on a table row or a
// transaction now, as one stopped inside its transaction would.
bool insideTransaction(PgConnection& db, const QString& station)
{
    auto rows = db.exec("SELECT count(*) FROM pg_locks l JOIN pg_stat_activity a USING (pid)"
                        " WHERE a.application_name = $1 AND l.granted"
                        " AND l.locktype IN ('relation', 'tuple', 'transactionid')",
                        {station.toStdString()});
    return rows.ok() && rows.value().integer(0, 0) > 0;
}

// Three stations on one batch; with `stalled`, a fourth beside them is
// stopped once it is working, inside a transaction if one of many tries
// catches it there. The three stations' pagers per hour.
double threeStations(const QString& folder, const QProcessEnvironment& env, const std::string& conninfo,
                     const QString& batch, bool stalled)
{
    std::vector<std::unique_ptr<QProcess>> stations;
    std::unique_ptr<QProcess> fourth;
    if (stalled) {
        fourth = std::make_unique<QProcess>();
        startStation(*fourth, folder, env, conninfo, batch, batch + "-stalled", 14);
        fourth->setReadChannel(QProcess::StandardError);
        fourth->waitForReadyRead(20000);   // its first pager begins
        auto db = PgConnection::open(conninfo);
        const auto pid = static_cast<pid_t>(fourth->processId());
        int tries = 0;
        bool caught = false;
        for (; tries < 500 && !caught; ++tries) {
            ::kill(pid, SIGSTOP);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            caught = db.ok() && insideTransaction(*db.value(), batch + "-stalled");
            if (!caught) {
                ::kill(pid, SIGCONT);
                std::this_thread::sleep_for(std::chrono::microseconds(500 + 97 * tries % 3000));
            }
        }
        std::printf("stalled station: stopped after %d tries, %s\n", tries,
                    caught ? "inside a transaction"
                           : "never found inside a transaction (it holds none while it waits)");
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        stations.push_back(std::make_unique<QProcess>());
        startStation(*stations.back(), folder, env, conninfo, batch, batch + "-" + QString::number(i), 11 + i);
    }
    bool ok = true;
    for (auto& p : stations) {
        p->waitForFinished(-1);
        ok = ok && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
        if (!ok)
            std::fputs(p->readAllStandardError().constData(), stderr);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (fourth) {
        ::kill(static_cast<pid_t>(fourth->processId()), SIGCONT);
        fourth->waitForFinished(-1);
    }
    return ok ? 3 * PagersPerStation / seconds * 3600.0 : 0.0;
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
    for (int com = 11; com <= 26; ++com) {
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
    double rateOfSixteen = 0;
    double cpuOfSixteen = 0;
    std::uint64_t batchFirst = 100000;
    for (int n : {1, 2, 4, 16}) {
        const int count = PagersPerBoard * n;
        const QString batch = QStringLiteral("bench-%1-%2").arg(n).arg(stamp);
        if (!createBenchBatch(conninfo, batch.toStdString(), batchFirst, 1000))
            return 1;
        batchFirst += 1000;
        QStringList args = {"produce", file, "--count", QString::number(count), "--no-wait",
                            "--batch", batch,
                            "--production-db", QString::fromStdString(conninfo), "--station", "bench"};
        for (int i = 0; i < n; ++i)
            args << "--port" << QString::number(11 + i);
        const double cpuBefore = childrenCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const int status = run(args, env);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = (childrenCpuSeconds() - cpuBefore) / seconds * 100.0;
        if (status != 0) {
            std::fprintf(stderr, "produce with %d boards failed (status %d)\n", n, status);
            return 1;
        }
        const double perHour = count / seconds * 3600.0;
        std::printf("%2d board%s: %d pagers in %.2f s, %.0f pagers per hour (%.3f s per pager per board), "
                    "station cpu %.1f%% of one core\n",
                    n, n == 1 ? " " : "s", count, seconds, perHour, seconds / PagersPerBoard, cpu);
        if (n == 1)
            rateOfOne = perHour;
        if (n == 4)
            rateOfFour = perHour;
        if (n == 16) {
            rateOfSixteen = perHour;
            cpuOfSixteen = cpu;
        }
    }
    // A stalled station keeps no other waiting.
    double alone = 0;
    double besideStalled = 0;
    for (bool stalled : {false, true}) {
        const QString batch = QStringLiteral("stall%1-%2").arg(stalled).arg(stamp);
        if (!createBenchBatch(conninfo, batch.toStdString(), batchFirst, 1000))
            return 1;
        batchFirst += 1000;
        (stalled ? besideStalled : alone) = threeStations(dir.path(), env, conninfo, batch, stalled);
        if ((stalled ? besideStalled : alone) <= 0) {
            std::fprintf(stderr, "three stations %s failed\n", stalled ? "beside a stalled one" : "alone");
            return 1;
        }
    }
    std::printf("3 stations: %.0f pagers per hour alone, %.0f beside a fourth that is stopped (%.0f%%)\n", alone,
                besideStalled, besideStalled / alone * 100.0);
    boards.clear();   // each emulator is stopped as an operator's Ctrl+C would

    // Reserving and recording alone, as each pager of a run does them.
    std::vector<std::string> notices;
    ProductionOptions options{conninfo, "bench-overhead", dir.filePath(QStringLiteral("overhead")).toStdString()};
    auto services = ProductionServices::open(options, notices);
    if (!services.ok()) {
        std::fprintf(stderr, "%s\n", services.message().c_str());
        return 1;
    }
    const std::string overheadBatch = ("overhead-" + stamp).toStdString();
    if (!createBenchBatch(conninfo, overheadBatch, 500000, 10000))
        return 1;
    auto sequence = services.value()->openSequence(500000, 1000000, overheadBatch, notices);
    if (!sequence.ok()) {
        std::fprintf(stderr, "%s\n", sequence.message().c_str());
        return 1;
    }
    PagerTable image{};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < OverheadRounds; ++i) {
        auto reservation = sequence.value()->reserveNext();
        image[0x200] = static_cast<std::uint8_t>(i);
        // As a production step does: the write's beginning, then both entries
        // in one go, then the used mark.
        if (!reservation.ok() ||
            !sequence.value()->beginWriting(reservation.value(), WriteIntent{"COM1", summarizeImage(image)}).ok() ||
            !services.value()->record().appendAll(
                {entryForImage(image, RecordOperation::Write, RecordResult::Success, "bench", "COM1"),
                 entryForImage(image, RecordOperation::Verify, RecordResult::Success, "bench", "COM1")}).ok() ||
            !sequence.value()->markUsed(reservation.value()).ok()) {
            std::fprintf(stderr, "reserving or recording failed\n");
            return 1;
        }
    }
    const double overhead =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / OverheadRounds;
    std::printf("reserve + writing + record write and verify + mark used: %.2f ms per pager (wire model %.3f s)\n",
                overhead * 1000.0, wireModelSeconds());
    std::printf("speedup %.2f overhead %.2f%% speedup16 %.2f cpu16 %.1f%% stalled %.0f%%\n", rateOfFour / rateOfOne,
                overhead / wireModelSeconds() * 100.0, rateOfSixteen / rateOfOne, cpuOfSixteen,
                besideStalled / alone * 100.0);
    return 0;
}
