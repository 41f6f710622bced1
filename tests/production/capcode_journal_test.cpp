#include "production/capcode_journal.h"

#include "production_test_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace px316t {
namespace {

JournalLine line(std::uint64_t capcode, ReservationState state)
{
    return {std::chrono::sys_days(std::chrono::year(2026) / 12 / 7), state, capcode, "bench\t2", "COM3",
            std::string(64, 'a')};
}

TEST(CapcodeJournal, ALineTornByACrashIsIgnoredAndTheNextLinesStayWhole)
{
    testing::ProductionFolder folder;
    const auto path = folder.path() / "backups" / "capcode-journal.log";
    CapcodeJournal journal(path);
    ASSERT_TRUE(journal.append({line(100, ReservationState::Writing), line(101, ReservationState::Writing),
                                line(101, ReservationState::Returned), line(102, ReservationState::Uncertain)})
                    .ok());
    // A station killed in the middle of its line, and a line someone altered.
    const std::string whole = journalText(line(103, ReservationState::Writing));
    std::string altered = journalText(line(104, ReservationState::Used));
    altered[altered.find("104")] = '7';
    { std::ofstream(path, std::ios::app | std::ios::binary) << altered << whole.substr(0, whole.size() / 2); }

    CapcodeJournal later(path);
    EXPECT_TRUE(later.claim(line(105, ReservationState::Writing)).ok());
    EXPECT_TRUE(later.claim(line(100, ReservationState::Writing)).refused()) << "100 is written already";
    std::vector<std::uint64_t> written;
    for (const auto& [capcode, held] : CapcodeJournal(path).written())
        written.push_back(capcode);
    EXPECT_EQ(written, (std::vector<std::uint64_t>{100, 102, 105}));
    EXPECT_EQ(parseJournalLine(whole.substr(0, whole.size() - 1))->station, "bench 2");
}

} // namespace
} // namespace px316t
