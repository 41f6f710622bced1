// Helper of the production tests, run as a child process and killed by them:
//   record DB        appends entries to the SQLite record for ever, printing the
//                    number of each appended entry once it is committed
//   reserve CONNINFO BATCH STATION [writing [LEASE]]
//                    reserves one capcode from the shared batch (created as
//                    1000..1999 when missing), with "writing" also begins its
//                    write, prints it and waits to be killed, as a station
//                    stopped before or while writing; LEASE: the station's
//                    lease in seconds
#include "production/pg_production.h"
#include "production/sqlite_record_store.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace px316t;

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "record") == 0) {
        auto store = SqliteRecordStore::open(argv[2]);
        if (!store.ok()) {
            std::fprintf(stderr, "%s\n", store.message().c_str());
            return 1;
        }
        PagerTable image{};
        for (long n = 1;; ++n) {
            image[0xB1] = static_cast<std::uint8_t>(n);
            RecordEntry entry = entryForImage(image, RecordOperation::Write, RecordResult::Success, "child", "COM1");
            entry.note = std::to_string(n);
            if (!store.value()->append(entry).ok())
                return 1;
            std::printf("%ld\n", n);
            std::fflush(stdout);
        }
    }
    if (argc >= 5 && argc <= 7 && std::strcmp(argv[1], "reserve") == 0) {
        if (auto db = PgConnection::open(argv[2]); db.ok())
            createBatch(*db.value(), BatchSpec{argv[3], 1000, 1999});   // refused when it exists
        const std::chrono::seconds lease = argc == 7 ? std::chrono::seconds(std::atoi(argv[6])) : kStationLease;
        auto sequence = PgCapcodeSequence::open(argv[2], argv[3], argv[4], lease);
        if (!sequence.ok()) {
            std::fprintf(stderr, "%s\n", sequence.message().c_str());
            return 1;
        }
        auto reservation = sequence.value()->reserveNext();
        if (!reservation.ok()) {
            std::fprintf(stderr, "%s\n", reservation.message().c_str());
            return 1;
        }
        if (argc >= 6) {
            PagerTable image{};
            if (Status s = sequence.value()->beginWriting(reservation.value(), WriteIntent{"COM9", summarizeImage(image)});
                !s.ok()) {
                std::fprintf(stderr, "%s\n", s.message().c_str());
                return 1;
            }
        }
        std::printf("%llu\n", static_cast<unsigned long long>(reservation.value().capcode));
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::minutes(5));
        return 0;
    }
    std::fprintf(stderr, "usage: record DB | reserve CONNINFO BATCH STATION [writing [LEASE]]\n");
    return 2;
}
