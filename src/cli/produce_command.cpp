// px316t-cli produce: programs pagers one after another, each with the next
// capcode of this station's record or of a shared batch.
#include "cli/args.h"
#include "cli/board.h"
#include "cli/cli_faces.h"
#include "cli/commands.h"
#include "cli/json_line.h"
#include "cli/production_data.h"
#include "cli/table_io.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_increase.h"
#include "production/allocation_list.h"
#include "production/file_lock.h"
#include "production/link_transfer.h"
#include "production/pg_production.h"
#include "production/production_run.h"

#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>

namespace px316t::cli {

namespace {

// One board of a production run, made on its own thread.
class BoardProgrammer final : public PagerProgrammer {
public:
    BoardProgrammer(bool terminalProgress, const std::string& portPrefix, const std::string& port, bool json)
        : port_(port), json_(json)
    {
        board_.messages.portPrefix = QString::fromStdString(portPrefix);
        if (terminalProgress)
            terminal_ = std::make_unique<TerminalProgress>();
    }
    bool connect(int port) { return board_.connect(QString::number(port)); }
    PagerTransfer writeAndVerify(const PagerTable& image) override
    {
        // The window's programmer too: it holds "Verify Success!", which the
        // run says once the pager's bookkeeping committed.
        SequenceProgrammer programmer(board_.sequence, terminal_ ? static_cast<ProgressView&>(*terminal_) : none_);
        const PagerTransfer transfer = programmer.writeAndVerify(image);
        if (terminal_)
            terminal_->finishLine();
        const auto difference = transfer.succeeded() ? std::nullopt : board_.sequence.lastDifference();
        if (difference)
            say(board_.messages.portPrefix.toStdString() + differenceLine(*difference));
        // A success is printed by the run once the pager's bookkeeping committed.
        if (json_ && !transfer.succeeded())
            pagerJson(port_, image, resultText(transfer.verify ? *transfer.verify : transfer.write), difference).print();
        return transfer;
    }

private:
    Board board_;
    std::string port_;
    bool json_;
    std::unique_ptr<TerminalProgress> terminal_;
    NoProgress none_;
};

// The list of --capcodes: every bad line is named and the run refused. A
// long capcode cannot go into a short first pair (it would take the pair's
// second capcode too).
std::optional<LocalList> readList(const QString& path, bool allowSpecialAddresses, bool firstPairLong)
{
    AllocationListOptions options;
    options.allowSpecialAddresses = allowSpecialAddresses;
    const std::filesystem::path file = path.toStdString();
    AllocationListResult read = readAllocationList(file, file.string(), options);
    for (const std::string& error : read.errors)
        say(error);
    if (!read.ok()) {
        say(std::string("Nothing was written."));
        return std::nullopt;
    }
    if (!firstPairLong)
        for (const AllocationEntry& e : read.list.entries)
            if (e.capcode >= ShortCapcodeLimit) {
                say(file.string() + ":" + std::to_string(e.line) + ": capcode " + std::to_string(e.capcode) +
                    " is long, and capcode 1 of the table file is a short pair (set pair.1.length=Long first). "
                    "Nothing was written.");
                return std::nullopt;
            }
    return LocalList{file.filename().string(), std::move(read.list)};
}

} // namespace

int cmdProduce(const Args& a)
{
    if (a.positional.size() != 1)
        return usage("produce", QStringLiteral("expected one table file"));
    const auto countIt = a.options.find(QStringLiteral("--count"));
    if (countIt == a.options.end())
        return usage("produce", QStringLiteral("--count N is needed: the number of pagers to program"));
    bool countOk = false;
    const qlonglong wanted = countIt->second.trimmed().toLongLong(&countOk);
    if (!countOk)
        return usage("produce", QStringLiteral("--count needs a whole number of pagers, not ") + countIt->second);
    if (wanted < 1)
        return usage("produce", QStringLiteral("--count needs a number of pagers of at least 1"));
    if (wanted > std::numeric_limits<int>::max())
        return usage("produce", QStringLiteral("--count %1 is more pagers than one run counts (at most %2)")
                                    .arg(wanted)
                                    .arg(std::numeric_limits<int>::max()));
    const int count = static_cast<int>(wanted);
    const bool allBoards = a.options.count(QStringLiteral("--all-boards")) != 0;
    auto ports = portNumbers(a);
    if (!ports)
        return Usage;
    if (allBoards && !ports->empty())
        return usage("produce", QStringLiteral("--all-boards and --port exclude each other"));
    const QString file = a.positional[0];
    const auto loaded = loadTable(file);
    if (!loaded)
        return Usage;
    const PagerTable base = *loaded;
    const bool wait = a.options.count(QStringLiteral("--no-wait")) == 0;
    const bool firstPairLong = pairsLongInImage(base)[0];
    const auto batchIt = a.options.find(QStringLiteral("--batch"));
    const std::string batch = batchIt == a.options.end() ? std::string() : batchIt->second.toStdString();
    if (batchIt != a.options.end() && batch.empty())
        return usage("produce", QStringLiteral("--batch needs a name"));
    // A carrier's list instead of counting up from capcode 1.
    std::optional<LocalList> list;
    if (const auto it = a.options.find(QStringLiteral("--capcodes")); it != a.options.end()) {
        if (batchIt != a.options.end())
            return usage("produce", QStringLiteral("--capcodes and --batch exclude each other: a batch made from a "
                                                   "list (batch create NAME --capcodes FILE) walks it"));
        list = readList(it->second, a.options.count(QStringLiteral("--allow-special-addresses")) != 0, firstPairLong);
        if (!list)
            return Usage;
    }
    const auto first = list ? firstCapcodeOfRun(base, firstPairLong).value_or(0) : firstCapcodeOfRun(base, firstPairLong);
    if (!first) {
        say("Capcode 1 (" + shownCapcodeText(base, 0, firstPairLong) + ") is not a capcode that can be raised.");
        return Failed;
    }

    auto production = openProduction(a, file);
    if (!production)
        return Failed;

    // One run per table file: the file is the run's cache of its next capcode.
    auto fileLock = FileLock::tryLock(tableFileLockPath(file.toStdString()));
    if (!fileLock.ok()) {
        say(fileLock.refused() ? file.toStdString() + " is in use by another produce run (" +
                                     tableFileLockPath(file.toStdString()).string() + " is held); nothing was written."
                               : fileLock.message());
        return fileLock.refused() ? Usage : Failed;
    }

    // The sequence before the boards: a refused batch or station touches no pager.
    std::vector<std::string> notices;
    auto opened = production->openSequence(*first, lastCapcodeOfRun(*first, firstPairLong), batch, notices,
                                           list ? &*list : nullptr);
    for (const std::string& notice : notices)
        say(notice);
    if (!opened.ok()) {
        say(opened.message());
        return opened.refused() ? Usage : Failed;
    }
    CapcodeSequence& sequence = *opened.value();
    const auto peeked = sequence.peekNext();
    if (!peeked.ok()) {
        say(peeked.message() + "; nothing was written.");
        return Failed;
    }
    const std::optional<std::uint64_t> startsAt = peeked.value();
    const std::string noneLeft = production->shared() ? "The batch " + batch + " has no capcode left."
                                 : list               ? "The list " + list->file + " has no capcode left."
                                                      : capcodeLimitMessage(lastCapcodeOfRun(*first, firstPairLong));
    if (!startsAt) {
        say(noneLeft + (production->shared() || list ? " Nothing was written." : ""));
        return Failed;
    }
    if (list)
        say("The capcodes come from the list " + list->file + "; the run starts at " + std::to_string(*startsAt) +
            ".");
    else if (!production->shared() && *startsAt != *first)
        say("Capcode " + std::to_string(*first) + " of " + file.toStdString() +
            " is on this station's record already; the run starts at " + std::to_string(*startsAt) + ".");

    // The boards: those named, every one that answers, or the one the window would find.
    if (ports->empty()) {
        Board probe;
        if (allBoards) {
            BoardDetection detection(LinkKind::USB, probe.ports, probe.state, probe.registry, probe.status,
                                     probe.messages, probe.clock);
            *ports = detection.FindAllUsbBoards();
            if (!detection.permissionProblems().isEmpty())
                say(detection.permissionProblems());
            if (ports->empty()) {
                say(QStringLiteral("The Programmed Board is not responding!"));
                return Failed;
            }
        } else {
            if (!probe.connect(std::nullopt))
                return Failed;
            ports->push_back(probe.state.BoardPort);
        }
    }
    const bool several = ports->size() > 1;
    const bool json = wantsJson(a);

    auto shown = [&](std::uint64_t capcode) {
        return shownCapcodeText(imageWithFirstCapcode(base, capcode, firstPairLong), 0, firstPairLong);
    };
    // The capcode with the customer its list names, for the operator.
    auto shownWithCustomer = [&](std::uint64_t capcode) {
        const auto listed = sequence.listColumnsOf(capcode);
        return shown(capcode) + (listed.ok() && !listed.value().customer.empty()
                                     ? " (" + listed.value().customer + ")"
                                     : std::string());
    };
    auto prefix = [several](const std::string& port) { return several ? port + ": " : std::string(); };
    int done = 0;
    bool stoppedByOperator = false;
    bool saveFailed = false;
    bool limitReached = false;
    bool unreachable = false;
    std::uint64_t inFile = *first;   // the capcode FILE holds

    ProductionPlan plan;
    plan.count = count;
    plan.station = production->station();
    plan.batch = batch;
    plan.source = production->source();
    plan.imageFor = [&](std::uint64_t capcode) { return imageWithFirstCapcode(base, capcode, firstPairLong); };
    if (wait) {
        plan.beforeNextPager = [&](const std::string& port) {
            const auto next = sequence.peekNext();
            std::fprintf(stderr, "%sNext pager (%d of %d, 1st capcode %s): press Enter ", prefix(port).c_str(),
                         done + 1, count, next.ok() && next.value() ? shownWithCustomer(*next.value()).c_str() : "?");
            std::string line;
            if (!std::getline(std::cin, line)) {
                stoppedByOperator = true;
                return false;
            }
            return true;
        };
    }
    plan.startingPager = [&](const std::string& port, int pager, std::uint64_t capcode) {
        say(prefix(port) + "Pager " + std::to_string(pager) + " of " + std::to_string(count) +
            ": 1st capcode : " + shownWithCustomer(capcode));
    };
    plan.pagerDone = [&](const std::string& port, std::uint64_t capcode) {
        ++done;
        // Said only now: the pager is recorded and its capcode marked used.
        say(prefix(port) + "Verify Success!");
        if (json)
            pagerJson(port, imageWithFirstCapcode(base, capcode, firstPairLong), "success").print();
        const auto next = sequence.peekNext();
        if (!next.ok()) {
            // Not an empty batch: the run stops until the database answers again.
            say(prefix(port) + next.message() + "; the run stops here.");
            unreachable = true;
            return false;
        }
        if (!next.value()) {
            // No capcode left: the record says so to the next run before it writes.
            limitReached = true;
            return false;
        }
        // FILE always holds the next capcode to write.
        if (!saveTable(file, imageWithFirstCapcode(base, *next.value(), firstPairLong))) {
            saveFailed = true;
            return false;
        }
        inFile = *next.value();
        return true;
    };

    std::vector<BoardPlan> boards;
    for (int port : *ports) {
        const std::string name = portName(BuildLinkKind, port);
        boards.push_back({name, [port, several, name, json, linePrefix = prefix(name)]() -> std::unique_ptr<PagerProgrammer> {
                              auto programmer = std::make_unique<BoardProgrammer>(!several, linePrefix, name, json);
                              if (!programmer->connect(port))
                                  return nullptr;
                              return programmer;
                          }});
    }
    const ProductionReport report = runProduction(boards, plan, sequence, production->record());

    // After a failure the file shows the capcode the record gives next.
    if (const auto next = sequence.peekNext(); next.ok() && next.value() && *next.value() != inFile && !saveFailed)
        saveFailed = !saveTable(file, imageWithFirstCapcode(base, *next.value(), firstPairLong));
    bool failed = saveFailed || unreachable;
    bool exhausted = limitReached;
    for (const BoardReport& b : report.boards) {
        if (b.stop == StepStop::NoCapcodeLeft) {
            exhausted = true;
        } else if (b.failedPager) {
            failed = true;
            say(prefix(b.port) + b.stopReason);
            say(prefix(b.port) +
                QStringLiteral("Stopped at pager %1 of %2.").arg(b.failedPager).arg(count).toStdString());
        } else if (!b.stopReason.empty()) {
            failed = true;
            say(prefix(b.port) + b.stopReason);
        }
    }
    if (exhausted) {
        say(noneLeft);
        // The pagers asked for that could not be written are a failure.
        failed = failed || report.written < count;
    }
    if (stoppedByOperator) {
        say(QStringLiteral("\nStopped after %1 pagers.").arg(done));
        // Fewer pagers than asked for: a script must not take the run as done.
        failed = failed || done < count;
    }
    if (several)
        say(QStringLiteral("%1 pagers written on %2 boards.").arg(report.written).arg(boards.size()));
    return failed ? Failed : Ok;
}

} // namespace px316t::cli
