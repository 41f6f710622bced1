#include "production/capcode_journal.h"

#include "production/file_lock.h"
#include "table/exclusive_file.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace px316t {

namespace {

constexpr const char* kTag = "px316t-journal-1";

// FNV-1a: enough to tell a torn or altered line from a whole one.
std::uint32_t lineCheck(const std::string& text)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

std::string hex8(std::uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// A field never holds the journal's separators.
std::string field(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts(1);
    for (char c : text)
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    return parts;
}

int openForAppending(const std::filesystem::path& path, std::error_code& reason)
{
#ifdef _WIN32
    const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
#endif
    if (fd < 0)
        reason = {errno, std::generic_category()};
    return fd;
}

// The journal's lock, held for the moment lines are checked and appended.
Outcome<std::unique_ptr<FileLock>> lockJournal(const std::filesystem::path& journal)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        auto lock = FileLock::tryLock(journal.string() + ".lock");
        if (lock.ok() || !lock.refused() || std::chrono::steady_clock::now() > giveUp)
            return lock;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

Failure journalFailure(const std::filesystem::path& path, const std::string& why)
{
    return Failure{"The capcode journal " + path.string() + " could not be written: " + why};
}

} // namespace

std::filesystem::path capcodeJournalPath(const std::filesystem::path& recordPath)
{
    return recordPath.parent_path() / "backups" / "capcode-journal.log";
}

std::string journalText(const JournalLine& line)
{
    const std::string body = std::string(kTag) + "\t" + isoUtc(line.time) + "\t" + reservationStateText(line.state) +
                             "\t" + std::to_string(line.capcode) + "\t" + field(line.station) + "\t" +
                             field(line.port) + "\t" + field(line.sha256);
    return body + "\t" + hex8(lineCheck(body)) + "\n";
}

std::optional<JournalLine> parseJournalLine(const std::string& text)
{
    const std::size_t lastTab = text.rfind('\t');
    if (lastTab == std::string::npos || text.substr(lastTab + 1) != hex8(lineCheck(text.substr(0, lastTab))))
        return std::nullopt;
    const std::vector<std::string> fields = split(text.substr(0, lastTab), '\t');
    if (fields.size() != 7 || fields[0] != kTag)
        return std::nullopt;
    JournalLine line;
    const auto time = parseUtc(fields[1]);
    const auto state = reservationStateFromText(fields[2]);
    const auto [end, error] = std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), line.capcode);
    if (!time || !state || error != std::errc() || end != fields[3].data() + fields[3].size())
        return std::nullopt;
    line.time = *time;
    line.state = *state;
    line.station = fields[4];
    line.port = fields[5];
    line.sha256 = fields[6];
    return line;
}

void CapcodeJournal::catchUp()
{
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        return;   // not made yet: it holds nothing
    std::error_code ec;
    if (std::filesystem::file_size(path_, ec) < readUpTo_) {
        // Replaced by a shorter file: read it from its beginning.
        readUpTo_ = 0;
        last_.clear();
    }
    in.seekg(static_cast<std::streamoff>(readUpTo_));
    std::string tail((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A line still being written (or torn) is read once it is whole.
    const std::size_t whole = tail.rfind('\n');
    if (whole == std::string::npos)
        return;
    for (const std::string& text : split(tail.substr(0, whole), '\n'))
        if (const auto line = parseJournalLine(text))
            last_[line->capcode] = *line;
    readUpTo_ += whole + 1;
}

std::map<std::uint64_t, JournalLine> CapcodeJournal::written()
{
    catchUp();
    std::map<std::uint64_t, JournalLine> held;
    for (const auto& [capcode, line] : last_)
        if (line.state != ReservationState::Returned && line.state != ReservationState::Reserved)
            held.emplace(capcode, line);
    return held;
}

Status CapcodeJournal::appendLocked(const std::string& text)
{
    std::error_code reason;
    const bool existed = std::filesystem::exists(path_, reason);
    // A line torn by a crash gets its own line end, so the next line stays whole.
    std::string bytes = text;
    if (existed && std::filesystem::file_size(path_, reason) > 0) {
        std::ifstream in(path_, std::ios::binary);
        in.seekg(-1, std::ios::end);
        if (in.get() != '\n')
            bytes.insert(bytes.begin(), '\n');
    }
    const int fd = openForAppending(path_, reason);
    if (fd < 0)
        return journalFailure(path_, reason.message());
    const bool written = writeAllToFile(fd, bytes.data(), bytes.size(), reason) && syncFile(fd, reason);
    std::error_code closing;
    if (!closeFile(fd, closing) && written)
        reason = closing;
    if (!written || closing)
        return journalFailure(path_, reason.message());
#ifndef _WIN32
    // A new file is there after a power cut only once its folder says so.
    if (!existed)
        if (const int folder = ::open(path_.parent_path().c_str(), O_RDONLY | O_CLOEXEC); folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
#endif
    return {};
}

Status CapcodeJournal::append(const std::vector<JournalLine>& lines)
{
    if (lines.empty())
        return {};
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (ec)
        return journalFailure(path_, ec.message());
    auto lock = lockJournal(path_);
    if (!lock.ok())
        return journalFailure(path_, lock.message());
    std::string text;
    for (const JournalLine& line : lines)
        text += journalText(line);
    return appendLocked(text);
}

Status CapcodeJournal::claim(const JournalLine& line)
{
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (ec)
        return journalFailure(path_, ec.message());
    auto lock = lockJournal(path_);
    if (!lock.ok())
        return journalFailure(path_, lock.message());
    catchUp();
    if (const auto it = last_.find(line.capcode);
        it != last_.end() && it->second.state != ReservationState::Returned)
        return Failure{"Capcode " + std::to_string(line.capcode) + " is in the capcode journal " + path_.string() +
                           " as " + reservationStateText(it->second.state) + " by " + it->second.station + " (" +
                           isoUtc(it->second.time) + "), but not on this run's record: the record was replaced "
                           "while a run went on. Nothing was written; start again.",
                       true};
    return appendLocked(journalText(line));
}

} // namespace px316t
