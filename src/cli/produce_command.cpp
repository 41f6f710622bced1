// px316t-cli produce: programs pagers one after another, each with the next
// capcode of this station's record or of a shared batch. The steps, in order:
// read the request, open FILE as the window opens it, open the record, lock
// FILE, open the capcode sequence, choose the boards, run, and report.
#include "cli/args.h"
#include "cli/board.h"
#include "cli/cli_faces.h"
#include "cli/commands.h"
#include "cli/json_line.h"
#include "cli/paper.h"
#include "cli/production_data.h"
#include "cli/table_io.h"

#include "editor/capcode_codec.h"
#include "editor/messages.h"
#include "editor/pager_document.h"
#include "production/allocation_list.h"
#include "production/file_lock.h"
#include "production/link_transfer.h"
#include "production/production_run.h"
#include "table/path_text.h"

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

// What the command line asks for.
struct ProduceRequest {
    QString file;
    int count = 0;
    std::vector<int> ports;   // empty: found below
    bool allBoards = false;
    bool wait = true;
    bool json = false;
    std::string batch;
    bool batchNamed = false;
    std::optional<QString> listFile;   // --capcodes: a carrier's list instead of counting up
    bool allowSpecialAddresses = false;
};

// The options, checked; nothing after the usage line when they cannot be used.
std::optional<ProduceRequest> readRequest(const Args& a)
{
    auto refuse = [](const QString& problem) {
        usage("produce", problem);
        return std::nullopt;
    };
    ProduceRequest request;
    if (a.positional.size() != 1)
        return refuse(QStringLiteral("expected one table file"));
    request.file = a.positional[0];
    const auto countIt = a.options.find(QStringLiteral("--count"));
    if (countIt == a.options.end())
        return refuse(QStringLiteral("--count N is needed: the number of pagers to program"));
    bool countOk = false;
    const qlonglong wanted = countIt->second.trimmed().toLongLong(&countOk);
    if (!countOk)
        return refuse(QStringLiteral("--count needs a whole number of pagers, not ") + countIt->second);
    if (wanted < 1)
        return refuse(QStringLiteral("--count needs a number of pagers of at least 1"));
    if (wanted > std::numeric_limits<int>::max())
        return refuse(QStringLiteral("--count %1 is more pagers than one run counts (at most %2)")
                          .arg(wanted)
                          .arg(std::numeric_limits<int>::max()));
    request.count = static_cast<int>(wanted);
    request.allBoards = a.options.count(QStringLiteral("--all-boards")) != 0;
    auto ports = portNumbers(a);
    if (!ports)
        return std::nullopt;   // said already
    if (request.allBoards && !ports->empty())
        return refuse(QStringLiteral("--all-boards and --port exclude each other"));
    request.ports = *ports;
    request.wait = a.options.count(QStringLiteral("--no-wait")) == 0;
    request.json = wantsJson(a);
    const auto batchIt = a.options.find(QStringLiteral("--batch"));
    request.batchNamed = batchIt != a.options.end();
    request.batch = request.batchNamed ? batchIt->second.toStdString() : std::string();
    if (request.batchNamed && request.batch.empty())
        return refuse(QStringLiteral("--batch needs a name"));
    if (const auto it = a.options.find(QStringLiteral("--capcodes")); it != a.options.end()) {
        if (request.batchNamed)
            return refuse(QStringLiteral("--capcodes and --batch exclude each other: a batch made from a list "
                                         "(batch create NAME --capcodes FILE) walks it"));
        request.listFile = it->second;
    }
    request.allowSpecialAddresses = a.options.count(QStringLiteral("--allow-special-addresses")) != 0;
    return request;
}

// The list of --capcodes: every bad line is named and the run refused. A
// long capcode cannot go into a short first pair (it would take the pair's
// second capcode too).
std::optional<LocalList> readList(const QString& path, bool allowSpecialAddresses, bool firstPairLong)
{
    AllocationListOptions options;
    options.allowSpecialAddresses = allowSpecialAddresses;
    const std::filesystem::path file = pathFromUtf8(path.toStdString());
    AllocationListResult read = readAllocationList(file, path.toStdString(), options);
    for (const std::string& error : read.errors)
        say(error);
    if (!read.ok()) {
        say(std::string("Nothing was written."));
        return std::nullopt;
    }
    if (!firstPairLong)
        for (const AllocationEntry& e : read.list.entries)
            if (e.capcode >= ShortCapcodeLimit) {
                say(path.toStdString() + ":" + std::to_string(e.line) + ": capcode " + std::to_string(e.capcode) +
                    " is long, and capcode 1 of the table file is a short pair (set pair.1.length=Long first). "
                    "Nothing was written.");
                return std::nullopt;
            }
    return LocalList{utf8FromPath(file.filename()), std::move(read.list)};
}

// The boards: those named, every one that answers, or the one the window would
// find. False (after saying why) when there is none.
bool chooseBoards(ProduceRequest& request)
{
    if (!request.ports.empty())
        return true;
    Board probe;
    if (!request.allBoards) {
        if (!probe.connect(std::nullopt))
            return false;
        request.ports.push_back(probe.state.BoardPort);
        return true;
    }
    BoardDetection& detection = probe.connection.detection();
    request.ports = detection.FindAllUsbBoards();
    if (!detection.permissionProblems().isEmpty())
        say(detection.permissionProblems());
    if (request.ports.empty()) {
        say(std::string(messages::BoardNotResponding));
        return false;
    }
    return true;
}

// Why no capcode is left: the batch's, the list's or the counting's own end.
std::string noneLeftMessage(ProductionServices& production, const std::string& batch, const LocalList* list,
                            std::uint64_t first, const PagerDocument& file)
{
    if (production.shared())
        return messages::batchExhausted(batch);
    if (list)
        return "The list " + list->file + " has no capcode left.";
    return capcodeLimitMessage(lastCapcodeOfRun(first, file.pairShownLong(0)));
}

// One run over the chosen boards, on a sequence that is open: the plan its
// boards follow, what each pager says, and the run's outcome.
class ProduceRun {
public:
    ProduceRun(const ProduceRequest& request, const PagerDocument& file, ProductionServices& production,
               CapcodeSequence& sequence, const LocalList* list, RunLabels* labels)
        : request_(request), file_(file), production_(production), sequence_(sequence), list_(list),
          labels_(labels), inFile_(*file.firstCapcode()), several_(request.ports.size() > 1)
    {
    }

    ProductionReport run() { return runProduction(boards(), plan(), sequence_, production_.record()); }
    // Saves the capcode the record gives next, says how the run ended and
    // gives the exit status.
    int finish(const ProductionReport& report);

private:
    ProductionPlan plan();
    std::vector<BoardPlan> boards() const;
    // Asks for Enter before the next pager of `port`; false stops that board.
    bool waitForEnter(const std::string& port);
    // Says the pager is done, and saves the next capcode into FILE; false stops that board.
    bool pagerDone(const std::string& port, std::uint64_t capcode);

    std::string prefix(const std::string& port) const { return several_ ? port + ": " : std::string(); }
    // Row 1 of the pager written with `capcode`, as the window shows it.
    std::string shown(std::uint64_t capcode) const
    {
        return formatCapcode(capcode, file_.pairShownLong(0) ? 10 : 7);
    }
    // The capcode with the customer its list names, for the operator.
    std::string shownWithCustomer(std::uint64_t capcode) const
    {
        const auto listed = sequence_.listColumnsOf(capcode);
        return shown(capcode) +
               (listed.ok() && !listed.value().customer.empty() ? " (" + listed.value().customer + ")" : std::string());
    }
    std::string noneLeft() const { return noneLeftMessage(production_, request_.batch, list_, inFirst(), file_); }
    std::uint64_t inFirst() const { return *file_.firstCapcode(); }

    const ProduceRequest& request_;
    const PagerDocument& file_;
    ProductionServices& production_;
    CapcodeSequence& sequence_;
    const LocalList* list_;
    RunLabels* labels_;   // null: no labels
    std::uint64_t inFile_;   // the capcode FILE holds
    bool several_;
    int done_ = 0;
    bool stoppedByOperator_ = false;
    bool saveFailed_ = false;
    bool limitReached_ = false;
    bool unreachable_ = false;
};

ProductionPlan ProduceRun::plan()
{
    ProductionPlan plan;
    plan.count = request_.count;
    plan.station = production_.station();
    plan.batch = request_.batch;
    plan.source = production_.source();
    plan.imageFor = [this](std::uint64_t capcode) { return file_.imageWithFirstCapcode(capcode); };
    if (request_.wait)
        plan.beforeNextPager = [this](const std::string& port) { return waitForEnter(port); };
    plan.startingPager = [this](const std::string& port, int pager, std::uint64_t capcode) {
        say(prefix(port) + "Pager " + std::to_string(pager) + " of " + std::to_string(request_.count) +
            ": 1st capcode : " + shownWithCustomer(capcode));
    };
    plan.pagerDone = [this](const std::string& port, std::uint64_t capcode) { return pagerDone(port, capcode); };
    return plan;
}

std::vector<BoardPlan> ProduceRun::boards() const
{
    std::vector<BoardPlan> boards;
    for (int port : request_.ports) {
        const std::string name = portName(BuildLinkKind, port);
        boards.push_back({name, [port, several = several_, name, json = request_.json,
                                 linePrefix = prefix(name)]() -> std::unique_ptr<PagerProgrammer> {
                              auto programmer = std::make_unique<BoardProgrammer>(!several, linePrefix, name, json);
                              if (!programmer->connect(port))
                                  return nullptr;
                              return programmer;
                          }});
    }
    return boards;
}

bool ProduceRun::waitForEnter(const std::string& port)
{
    const auto next = sequence_.peekNext();
    std::fprintf(stderr, "%sNext pager (%d of %d, 1st capcode %s): press Enter ", prefix(port).c_str(), done_ + 1,
                 request_.count, next.ok() && next.value() ? shownWithCustomer(*next.value()).c_str() : "?");
    std::string line;
    if (!std::getline(std::cin, line)) {
        stoppedByOperator_ = true;
        return false;
    }
    return true;
}

bool ProduceRun::pagerDone(const std::string& port, std::uint64_t capcode)
{
    ++done_;
    // Said only now: the pager is recorded and its capcode marked used.
    say(prefix(port) + std::string(messages::VerifySuccess));
    const PagerTable written = file_.imageWithFirstCapcode(capcode);
    if (request_.json)
        pagerJson(port, written, "success").print();
    // The label only now, and whatever becomes of it the pager stands.
    if (labels_) {
        const auto listed = sequence_.listColumnsOf(capcode);
        labels_->pagerDone({port, capcode, file_.pairShownLong(0), written, request_.batch,
                            listed.ok() ? listed.value().customer : std::string()});
    }
    const auto next = sequence_.peekNext();
    if (!next.ok()) {
        // Not an empty batch: the run stops until the database answers again.
        say(prefix(port) + next.message() + "; the run stops here.");
        unreachable_ = true;
        return false;
    }
    if (!next.value()) {
        // No capcode left: the record says so to the next run before it writes.
        limitReached_ = true;
        return false;
    }
    // FILE always holds the next capcode to write.
    if (!saveTable(request_.file, file_.imageWithFirstCapcode(*next.value()))) {
        saveFailed_ = true;
        return false;
    }
    inFile_ = *next.value();
    return true;
}

int ProduceRun::finish(const ProductionReport& report)
{
    // After a failure the file shows the capcode the record gives next.
    if (const auto next = sequence_.peekNext(); next.ok() && next.value() && *next.value() != inFile_ && !saveFailed_)
        saveFailed_ = !saveTable(request_.file, file_.imageWithFirstCapcode(*next.value()));
    bool failed = saveFailed_ || unreachable_;
    bool exhausted = limitReached_;
    for (const BoardReport& b : report.boards) {
        if (b.stop == StepStop::NoCapcodeLeft) {
            exhausted = true;
        } else if (b.failedPager) {
            failed = true;
            say(prefix(b.port) + b.stopReason);
            say(prefix(b.port) +
                QStringLiteral("Stopped at pager %1 of %2.").arg(b.failedPager).arg(request_.count).toStdString());
        } else if (!b.stopReason.empty()) {
            failed = true;
            say(prefix(b.port) + b.stopReason);
        }
    }
    if (exhausted) {
        say(noneLeft());
        // The pagers asked for that could not be written are a failure.
        failed = failed || report.written < request_.count;
    }
    if (stoppedByOperator_) {
        say(QStringLiteral("\nStopped after %1 %2.")
                .arg(done_)
                .arg(done_ == 1 ? QStringLiteral("pager") : QStringLiteral("pagers")));
        // Fewer pagers than asked for: a script must not take the run as done.
        failed = failed || done_ < request_.count;
    }
    if (several_)
        say(QStringLiteral("%1 pagers written on %2 boards.").arg(report.written).arg(request_.ports.size()));
    return failed ? Failed : Ok;
}

} // namespace

int cmdProduce(const Args& a)
{
    auto request = readRequest(a);
    if (!request)
        return Usage;
    // The pagers get what the window writes after File > Open of FILE.
    const auto file = openTable(request->file);
    if (!file)
        return Usage;
    const bool firstPairLong = file->pairShownLong(0);
    std::optional<LocalList> list;
    if (request->listFile) {
        list = readList(*request->listFile, request->allowSpecialAddresses, firstPairLong);
        if (!list)
            return Usage;
    }
    const auto first = file->firstCapcode();
    if (!first) {
        say(messages::capcodeNotRaisable(file->shownCapcodeText(0)));
        return Failed;
    }

    bool labelsRefused = false;
    const std::unique_ptr<RunLabels> labels = runLabels(a, request->json, labelsRefused);
    if (labelsRefused)
        return Usage;

    auto production = openProduction(a, request->file);
    if (!production)
        return Failed;

    // One run per table file: the file is the run's cache of its next capcode.
    const std::string path = request->file.toStdString();
    const std::filesystem::path lockPath = tableFileLockPath(pathFromUtf8(path));
    auto fileLock = FileLock::tryLock(lockPath);
    if (!fileLock.ok()) {
        say(fileLock.refused() ? path + " is in use by another produce run (" + utf8FromPath(lockPath) +
                                     " is held); nothing was written."
                               : fileLock.message());
        return fileLock.refused() ? Usage : Failed;
    }

    // The sequence before the boards: a refused batch or station touches no pager.
    std::vector<std::string> notices;
    auto opened = production->openSequence(*first, lastCapcodeOfRun(*first, firstPairLong), request->batch, notices,
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
    if (!startsAt) {
        say(production->shared() ? messages::batchExhaustedNothingWritten(request->batch)
                                  : noneLeftMessage(*production, request->batch, list ? &*list : nullptr, *first, *file) +
                                        (list ? " Nothing was written." : ""));
        return Failed;
    }
    if (list)
        say("The capcodes come from the list " + list->file + "; the run starts at " + std::to_string(*startsAt) +
            ".");
    else if (!production->shared() && *startsAt != *first)
        say("Capcode " + std::to_string(*first) + " of " + path + " is on this station's record already; the run "
            "starts at " + std::to_string(*startsAt) + ".");

    if (!chooseBoards(*request))
        return Failed;
    ProduceRun run(*request, *file, *production, sequence, list ? &*list : nullptr, labels.get());
    return run.finish(run.run());
}

} // namespace px316t::cli
