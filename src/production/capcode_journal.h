#pragma once
// The station's second witness of the capcodes it wrote: an append-only text
// file in the backups folder, beside (not inside) its production record, one
// line per move of a capcode into or out of a pager (writing, used, uncertain,
// returned). The line that says a capcode is being written is on the disk
// before the pager's first write frame goes out, so a record that is lost,
// damaged or replaced can be told what it no longer knows. A line torn by a
// crash is ignored; every line carries its own check.
#include "production/capcode_sequence.h"
#include "production/outcome.h"
#include "production/utc_time.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace px316t {

struct JournalLine {
    SystemTime time{};
    ReservationState state = ReservationState::Writing;
    std::uint64_t capcode = 0;
    std::string station;
    std::string port;
    std::string sha256;   // of the image that may be in the pager
};

// "backups/capcode-journal.log" beside the record at `recordPath`.
std::filesystem::path capcodeJournalPath(const std::filesystem::path& recordPath);

// One line as the journal keeps it (with its check and line end), and back;
// nothing for a line that is torn, altered or not a journal line.
std::string journalText(const JournalLine& line);
std::optional<JournalLine> parseJournalLine(const std::string& text);

class CapcodeJournal {
public:
    explicit CapcodeJournal(std::filesystem::path path) : path_(std::move(path)) {}

    // Every capcode whose last line says it went into a pager or may have
    // (writing, used, uncertain), with that line. A journal not made yet, or
    // one that cannot be read, holds none; its lines are read as they come.
    std::map<std::uint64_t, JournalLine> written();
    // Appends the lines and puts them on the disk before it returns.
    Status append(const std::vector<JournalLine>& lines);
    // Appends the `writing` line of `line.capcode` unless the journal holds
    // that capcode as written already (refused then: another run wrote it,
    // on a record that is not this one).
    Status claim(const JournalLine& line);

    const std::filesystem::path& path() const { return path_; }

private:
    // Reads what other runs appended since the last read.
    void catchUp();
    Status appendLocked(const std::string& text);

    std::filesystem::path path_;
    std::uintmax_t readUpTo_ = 0;
    std::map<std::uint64_t, JournalLine> last_;   // the last line of each capcode
};

} // namespace px316t
