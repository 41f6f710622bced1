#pragma once
// The production record: one entry per Write and Verify, kept in a store (an
// SQLite file on the station, and a PostgreSQL database shared by several
// stations when one is configured).
#include "production/entry_origin.h"
#include "production/image_summary.h"
#include "production/outcome.h"
#include "production/utc_time.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace px316t {

enum class RecordOperation { Write, Verify };

enum class RecordResult {
    Success,
    VerifyError,
    LinkLost,
    TimeOut,
    // A reserved capcode that was never written, given back at a station's
    // start (kept for records written before the reservation states).
    Abandoned,
    // A capcode whose write began and whose end is not known (the station
    // stopped, or the write failed after its first frame): never handed out again.
    Uncertain,
    // A reserved capcode whose write never began, given back to its sequence.
    Returned,
    // The board answered, but with a reply that was not the one expected (a
    // wrong checksum, a refused acknowledgement).
    BadReply,
};

std::string operationText(RecordOperation operation);     // "write", "verify"
std::string resultText(RecordResult result);              // "success", "verify error", ...
std::optional<RecordOperation> operationFromText(const std::string& text);
std::optional<RecordResult> resultFromText(const std::string& text);

struct RecordEntry {
    std::int64_t id = 0;                   // given by the store; 0 before appending
    SystemTime time{};                     // when the operation ended
    std::string station;
    std::string port;                      // "COM3", or the parallel-port address
    RecordOperation operation = RecordOperation::Write;
    std::string batch;                     // the shared sequence's batch; empty when local
    std::optional<std::int64_t> firstCapcode;
    std::vector<std::int64_t> capcodes;    // every enabled capcode of the image
    std::int64_t frequencyHz = 0;
    RecordResult result = RecordResult::Success;
    std::string sha256;                    // of the image written or compared
    std::string note;                      // free text, e.g. why a reservation was returned
    EntrySource source = {};               // operator, program version, table file
    ListColumns listed = {};               // the allocation list's columns of the first capcode
    // The entry's own id, chosen by its station: a store that is sent it
    // twice (after a lost reply) keeps it once. Empty: the store chooses one.
    std::string uid;
};

// A new entry id: 128 random bits in hexadecimal.
std::string newEntryUid();

// An entry for `image`, stamped now, with its capcodes, frequency and SHA-256.
RecordEntry entryForImage(const PagerTable& image, RecordOperation operation, RecordResult result,
                          const std::string& station, const std::string& port);

class RecordStore {
public:
    virtual ~RecordStore() = default;
    // Appends one entry in its own transaction: it is either wholly there or not at all.
    virtual Status append(const RecordEntry& entry) = 0;
    // Appends several entries; a store that can takes them in one transaction.
    virtual Status appendAll(const std::vector<RecordEntry>& entries);
    // Entries at or after `since` (all without it), oldest first.
    virtual Outcome<std::vector<RecordEntry>> list(std::optional<SystemTime> since) = 0;
};

// Appends to every store (the local one first); one that fails does not keep the
// others from their entry. The failures are joined into one message.
class RecordFanOut : public RecordStore {
public:
    void add(std::shared_ptr<RecordStore> store) { stores_.push_back(std::move(store)); }
    Status append(const RecordEntry& entry) override;
    Status appendAll(const std::vector<RecordEntry>& entries) override;
    // Lists the first store's entries.
    Outcome<std::vector<RecordEntry>> list(std::optional<SystemTime> since) override;

private:
    std::vector<std::shared_ptr<RecordStore>> stores_;
};

// The capcodes as one field: "1234567 2345678".
std::string joinCapcodes(const std::vector<std::int64_t>& capcodes);
std::vector<std::int64_t> splitCapcodes(const std::string& text);

// One entry as text, a cell per column: id, time (UTC), station, port,
// operation, batch, first capcode, capcodes, frequency (in units
// of 100 Hz, as the table file and show give it), result, SHA-256, note,
// operator, program version, table file and its SHA-256, and the list,
// customer, order, label and other columns of a capcode from a list.
std::vector<std::string> recordRow(const RecordEntry& entry);

// CSV with a header line (RFC 4180 quoting, CR LF line ends). A field that a
// spreadsheet would take for a formula (it begins with =, +, -, @, a tab or a
// CR) gets a leading apostrophe.
std::string formatRecordCsv(const std::vector<RecordEntry>& entries);
// Aligned columns for a terminal.
std::string formatRecordTable(const std::vector<RecordEntry>& entries);

// The station's name: $PX316T_STATION when set, else the host name.
std::string defaultStationName();

} // namespace px316t
