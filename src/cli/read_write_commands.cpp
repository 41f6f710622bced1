// px316t-cli read, write and verify: one pager through the board, each
// transfer backed up or recorded. Files and pager images go through the pager
// document, as in the window.
#include "cli/board.h"
#include "cli/commands.h"
#include "cli/json_line.h"
#include "cli/production_data.h"
#include "cli/table_io.h"
#include "editor/capcode_flex.h"
#include "link/link_kind.h"
#include "production/backup_store.h"
#include "production/link_transfer.h"
#include "production/production_record.h"

#include <string>

namespace px316t::cli {

namespace {

// With --json a command that found no board still prints its one object, so a
// script that reads an object per pager is never left waiting for one.
void noBoardJson(const std::optional<QString>& port, const PagerTable* image)
{
    JsonLine line;
    line.raw("port", port ? JsonLine::quoted("COM" + port->toStdString()) : "null");
    if (image)
        line = pagerJson(port ? "COM" + port->toStdString() : std::string(), *image, "no board");
    else
        line.raw("capcode", "null").text("result", "no board");
    if (!port)
        line.raw("port", "null");
    line.print();
}

} // namespace

int cmdRead(const Args& a)
{
    const auto out = a.options.find(QStringLiteral("-o"));
    if (out == a.options.end() || !a.positional.isEmpty())
        return usage("read", QStringLiteral("expected -o FILE"));
    bool badPort = false;
    const auto port = portOption(a, "read", badPort);
    if (badPort)
        return Usage;
    // FILE is checked before the pager is read: a read that cannot be kept
    // would only cost the technician its time.
    if (!canReplace(out->second, a.options.count(QStringLiteral("--force")) != 0))
        return Usage;
    Board board;
    if (!board.connect(port)) {
        if (wantsJson(a))
            noBoardJson(port, nullptr);
        return Failed;
    }
    PagerTable table = PagerDocument().image();
    TerminalProgress progress;
    const std::string portText = portName(BuildLinkKind, board.state.BoardPort);
    if (!board.sequence.read(table, progress)) {
        if (wantsJson(a))
            pagerJson(portText, table, resultText(recordResultOf(board.sequence.lastFailure())))
                .raw("capcode", "null")
                .print();
        return Failed;
    }
    progress.finishLine();
    // A mask another tool stored is said; FILE gets the capcodes' own, as the window shows it.
    if (const auto mismatch = frameMaskMismatch(table))
        say(*mismatch);
    // The pager as it came; a backup that cannot be written is said once and
    // does not fail the read.
    if (auto backup = writeBackup(defaultBackupFolder(), table); !backup.ok())
        say(backup.message());
    // FILE holds what the window holds after Pager > Read.
    const PagerDocument read(table);
    const bool saved = saveTable(out->second, read.image());
    if (wantsJson(a))
        pagerJson(portText, read.image(), saved ? "success" : "not saved").print();
    return saved ? Ok : Failed;
}

int cmdWriteOrVerify(const Args& a, bool write)
{
    const std::string name = write ? "write" : "verify";
    if (a.positional.size() != 1)
        return usage(name, QStringLiteral("expected one table file"));
    bool badPort = false;
    const auto boardPort = portOption(a, name, badPort);
    if (badPort)
        return Usage;
    // The image the window would send after File > Open; FILE itself stays as it is.
    PagerTable asStored{};
    const auto document = openTable(a.positional[0], &asStored);
    if (!document)
        return Usage;
    const PagerTable& table = document->image();
    auto production = openProduction(a, a.positional[0]);
    if (!production)
        return Failed;
    Board board;
    if (!board.connect(boardPort)) {
        if (wantsJson(a))
            noBoardJson(boardPort, &table);
        return Failed;
    }
    const std::string port = portName(BuildLinkKind, board.state.BoardPort);
    TerminalProgress progress;
    bool ok = false;
    Status recorded;
    if (write) {
        const PagerTransfer transfer = writeAndVerifyPager(board.sequence, table, progress);
        ok = transfer.succeeded();
        recorded = recordPagerTransfer(*production, table, transfer, port);
    } else {
        ok = board.sequence.verify(table, progress);
        recorded = production->recordTransfer(table, RecordOperation::Verify,
                                              recordResultOf(board.sequence.lastFailure()), port);
    }
    const auto difference = ok ? std::nullopt : board.sequence.lastDifference();
    if (difference)
        say(differenceLine(*difference));
    // A file whose mask is not its capcodes' own was verified with their mask.
    if (!write)
        if (const auto mismatch = frameMaskMismatch(asStored))
            say(*mismatch);
    if (wantsJson(a))
        pagerJson(port, table, ok ? "success" : resultText(recordResultOf(board.sequence.lastFailure())), difference)
            .print();
    if (!recorded.ok()) {
        say(recorded.message());
        return Failed;
    }
    return ok ? Ok : Failed;
}

} // namespace px316t::cli
