#include "production/production_record.h"
#include "production/sqlite_record_store.h"

#include "editor/capcode_codec.h"
#include "production_test_folder.h"

#ifndef PX316T_QT_FREE
#include <QProcess>
#endif
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <set>

namespace px316t {
namespace {

using testing::ProductionFolder;
using testing::fileBytes;

PagerTable sampleImage()
{
    PagerTable image{};
    storeCapcode(image, 0, 1234567, false);
    storeCapcode(image, 1, 7654321, false);
    storeCapcode(image, 2, 2000000, false);
    setCapcodeEnabled(image, 0, true);
    setCapcodeEnabled(image, 2, true);   // slot 1 stays disabled
    writeBigEndian32(image, 0xF4, 1520125);
    return image;
}

TEST(ImageSummary, TakesTheCapcodesTheWindowShowsAndTheOperatingFrequency)
{
    const ImageSummary summary = summarizeImage(sampleImage());
    EXPECT_EQ(summary.firstCapcode, 1234567);
    EXPECT_EQ(summary.enabledCapcodes, (std::vector<std::int64_t>{1234567, 2000000}));
    EXPECT_EQ(summary.frequencyHz, 152012500);
    PagerTable changed = sampleImage();
    changed[PagerTableLast] ^= 1;
    EXPECT_NE(summarizeImage(changed).sha256, summary.sha256);
    EXPECT_EQ(summary.sha256.size(), 64u);
}

TEST(ImageSummary, Sha256MatchesTheStandardTestVector)
{
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(sha256Hex(abc, 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(UtcTime, ReadsTheFormsAUserTypesAndRefusesTheRest)
{
    const auto day = std::chrono::sys_days(std::chrono::year(2026) / 12 / 7);
    EXPECT_EQ(parseUtc("2026-12-07"), day);
    EXPECT_EQ(parseUtc("2026-12-07 22:42"), day + std::chrono::hours(22) + std::chrono::minutes(42));
    const auto exact = day + std::chrono::hours(22) + std::chrono::minutes(42) + std::chrono::seconds(16) +
                       std::chrono::milliseconds(123);
    EXPECT_EQ(parseUtc(isoUtc(exact)), exact);
    for (const char* bad : {"", "yesterday", "2026-02-30", "2026-12-07x", "2026-12-07T25:00", "2026-1-07",
                            "2026-12-07T22:42:16.1Z", "2999-01-01"})
        EXPECT_FALSE(parseUtc(bad)) << bad;
}

TEST(RecordCsv, QuotesFieldsThatHoldSeparatorsOrQuotes)
{
    RecordEntry entry = entryForImage(sampleImage(), RecordOperation::Verify, RecordResult::VerifyError, "bench, 2",
                                      "COM3");
    entry.note = "said \"no\"";
    entry.source = {"ann", "5.02", "a.tbl", "ab12"};
    entry.listed = {"tray.csv", "Acme, Ltd", "PO-1", "box 1", "region=north"};
    const std::string csv = formatRecordCsv({entry});
    const auto firstLineEnd = csv.find("\r\n");
    ASSERT_NE(firstLineEnd, std::string::npos);
    EXPECT_EQ(csv.substr(0, firstLineEnd),
              "id,time_utc,station,port,operation,batch,first_capcode,capcodes,frequency_100hz,result,sha256,note,"
              "operator,program_version,table_file,table_sha256,list,customer,order,label,list_columns");
    const std::string row = csv.substr(firstLineEnd + 2);
    EXPECT_NE(row.find(",\"bench, 2\",COM3,verify,,1234567,1234567 2000000,1520125,verify error,"),
              std::string::npos)
        << row;
    EXPECT_NE(row.find(",\"said \"\"no\"\"\",ann,5.02,a.tbl,ab12,tray.csv,\"Acme, Ltd\",PO-1,box 1,region=north\r\n"),
              std::string::npos)
        << row;

    // Fields a spreadsheet would run as formulas are neutralised.
    for (const char* formula : {"=HYPERLINK(1)", "+1", "-2+3", "@SUM(A1)"}) {
        entry.station = formula;
        const std::string csv2 = formatRecordCsv({entry});
        EXPECT_NE(csv2.find(",'" + std::string(formula) + ","), std::string::npos) << csv2;
    }
}

class SqliteRecord : public ::testing::Test {
protected:
    std::filesystem::path dbPath() const { return folder.path() / "px316t" / "production.sqlite"; }
    ProductionFolder folder;
};

TEST_F(SqliteRecord, KeepsEveryFieldOfEveryResultAndFiltersBySince)
{
    std::string notice;
    auto store = SqliteRecordStore::open(dbPath(), &notice);
    ASSERT_TRUE(store.ok()) << store.message();
    EXPECT_TRUE(notice.empty());
    const auto base = std::chrono::sys_days(std::chrono::year(2026) / 12 / 7);
    std::vector<RecordEntry> appended;
    for (int i = 0; i < 5; ++i) {
        RecordEntry e = entryForImage(sampleImage(), i % 2 ? RecordOperation::Verify : RecordOperation::Write,
                                      static_cast<RecordResult>(i), "station-a", "COM" + std::to_string(i));
        e.time = base + std::chrono::hours(i);
        e.batch = i == 4 ? "B7" : "";
        e.note = "entry " + std::to_string(i);
        ASSERT_TRUE(store.value()->append(e).ok());
        appended.push_back(e);
    }
    auto all = store.value()->list(std::nullopt);
    ASSERT_TRUE(all.ok());
    ASSERT_EQ(all.value().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const RecordEntry& got = all.value()[i];
        EXPECT_EQ(got.time, appended[i].time);
        EXPECT_EQ(got.port, appended[i].port);
        EXPECT_EQ(got.operation, appended[i].operation);
        EXPECT_EQ(got.result, appended[i].result);
        EXPECT_EQ(got.batch, appended[i].batch);
        EXPECT_EQ(got.firstCapcode, appended[i].firstCapcode);
        EXPECT_EQ(got.capcodes, appended[i].capcodes);
        EXPECT_EQ(got.frequencyHz, appended[i].frequencyHz);
        EXPECT_EQ(got.sha256, appended[i].sha256);
        EXPECT_EQ(got.note, appended[i].note);
    }
    auto later = store.value()->list(base + std::chrono::hours(3));
    ASSERT_TRUE(later.ok());
    ASSERT_EQ(later.value().size(), 2u);
    EXPECT_EQ(later.value()[0].note, "entry 3");
}

TEST_F(SqliteRecord, ADamagedFileIsMovedAsideAndANewRecordStarted)
{
    std::filesystem::create_directories(dbPath().parent_path());
    const std::string garbage(8192, '\x5A');
    { std::ofstream(dbPath(), std::ios::binary) << garbage; }
    std::string notice;
    auto store = SqliteRecordStore::open(dbPath(), &notice);
    ASSERT_TRUE(store.ok()) << store.message();
    EXPECT_NE(notice.find("damaged"), std::string::npos) << notice;
    std::filesystem::path aside;
    for (const auto& entry : std::filesystem::directory_iterator(dbPath().parent_path()))
        if (entry.path().filename().string().starts_with("production.sqlite.damaged-"))
            aside = entry.path();
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(fileBytes(aside), garbage);   // kept as it was, for recovery by hand
    EXPECT_TRUE(store.value()->append(entryForImage(sampleImage(), RecordOperation::Write, RecordResult::Success,
                                                    "s", "COM1")).ok());
    EXPECT_EQ(store.value()->list(std::nullopt).value().size(), 1u);
}

TEST_F(SqliteRecord, TwoDamagedFilesOfTheSameSecondAreBothKept)
{
    std::filesystem::create_directories(dbPath().parent_path());
    std::set<std::string> kept;
    for (char fill : {'\x5A', '\x3C', '\x7E'}) {
        { std::ofstream(dbPath(), std::ios::binary) << std::string(8192, fill); }
        ASSERT_TRUE(SqliteRecordStore::open(dbPath()).ok());
        std::filesystem::remove(dbPath());
    }
    for (const auto& entry : std::filesystem::directory_iterator(dbPath().parent_path()))
        if (entry.path().filename().string().find(".damaged-") != std::string::npos &&
            !entry.path().string().ends_with("-wal") && !entry.path().string().ends_with("-shm"))
            kept.insert(fileBytes(entry.path()).substr(0, 1));
    EXPECT_EQ(kept, (std::set<std::string>{"\x5A", "\x3C", "\x7E"}));
}

TEST_F(SqliteRecord, DamageInsideTheFileIsFoundToo)
{
    {
        auto store = SqliteRecordStore::open(dbPath());
        ASSERT_TRUE(store.ok());
        RecordEntry e = entryForImage(sampleImage(), RecordOperation::Write, RecordResult::Success, "s", "COM1");
        e.note = std::string(3000, 'n');   // several pages of entries
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(store.value()->append(e).ok());
    }
    // Fold the log into the file, then spoil the pages after the first.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dbPath().string().c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::string bytes = fileBytes(dbPath());
    ASSERT_GT(bytes.size(), 16384u);
    for (std::size_t i = 4096; i < bytes.size(); i += 7)
        bytes[i] = '\xA5';
    { std::ofstream(dbPath(), std::ios::binary | std::ios::trunc) << bytes; }
    std::string notice;
    auto store = SqliteRecordStore::open(dbPath(), &notice);
    ASSERT_TRUE(store.ok()) << store.message();
    EXPECT_NE(notice.find("moved to"), std::string::npos) << notice;
    EXPECT_TRUE(store.value()->list(std::nullopt).value().empty());
}

TEST_F(SqliteRecord, AnOlderRecordIsBroughtUpToDateAndKeepsWhoMadeEachEntryFromWhat)
{
    std::filesystem::create_directories(dbPath().parent_path());
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dbPath().string().c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE production_record (id INTEGER PRIMARY KEY AUTOINCREMENT, time_utc TEXT "
                               "NOT NULL, station TEXT NOT NULL, port TEXT NOT NULL, operation TEXT NOT NULL, batch "
                               "TEXT NOT NULL, first_capcode INTEGER, capcodes TEXT NOT NULL, frequency_hz INTEGER NOT "
                               "NULL, result TEXT NOT NULL, sha256 TEXT NOT NULL, note TEXT NOT NULL);"
                               "INSERT INTO production_record VALUES (NULL, '2026-12-07T10:00:00.000Z', 'old', 'COM1',"
                               " 'write', '', 1000, '1000', 0, 'success', 'aa', 'before');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    auto store = SqliteRecordStore::open(dbPath());
    ASSERT_TRUE(store.ok()) << store.message();
    RecordEntry e = entryForImage(sampleImage(), RecordOperation::Write, RecordResult::Success, "s", "COM2");
    e.source = {"ann", "5.02", "a.tbl", std::string(64, 'b')};
    e.listed = {"tray.csv", "Acme", "PO-1", "box 1", "region=north"};
    ASSERT_TRUE(store.value()->append(e).ok());
    const auto all = store.value()->list(std::nullopt);
    ASSERT_TRUE(all.ok()) << all.message();
    ASSERT_EQ(all.value().size(), 2u);
    EXPECT_EQ(all.value()[0].note, "before");
    EXPECT_EQ(all.value()[0].source.operatorName, "");
    const RecordEntry& got = all.value()[1];
    e.id = got.id;
    EXPECT_EQ(recordRow(got), recordRow(e));
}

// Needs the child program of the Qt build.
#ifndef PX316T_QT_FREE
TEST_F(SqliteRecord, SurvivesTheWritingProcessBeingKilled)
{
    QProcess child;
    child.start(QStringLiteral(PX316T_PRODUCTION_CHILD),
                {QStringLiteral("record"), QString::fromStdString(dbPath().string())});
    ASSERT_TRUE(child.waitForStarted(5000));
    long lastReported = 0;
    while (lastReported < 200) {
        if (!child.canReadLine() && !child.waitForReadyRead(10000))
            break;
        while (child.canReadLine())
            lastReported = child.readLine().trimmed().toLong();
    }
    ASSERT_GE(lastReported, 200) << child.readAllStandardError().toStdString();
    child.kill();   // SIGKILL, in the middle of appending
    ASSERT_TRUE(child.waitForFinished(5000));
    while (child.canReadLine())
        lastReported = std::max(lastReported, child.readLine().trimmed().toLong());

    std::string notice;
    auto store = SqliteRecordStore::open(dbPath(), &notice);
    ASSERT_TRUE(store.ok()) << store.message();
    EXPECT_TRUE(notice.empty()) << notice;   // opens cleanly, nothing moved aside
    auto entries = store.value()->list(std::nullopt);
    ASSERT_TRUE(entries.ok());
    // Every entry reported committed is there, whole and in order.
    ASSERT_GE(static_cast<long>(entries.value().size()), lastReported);
    for (std::size_t i = 0; i < entries.value().size(); ++i) {
        EXPECT_EQ(entries.value()[i].note, std::to_string(i + 1));
        EXPECT_EQ(entries.value()[i].sha256.size(), 64u);
    }
    EXPECT_TRUE(store.value()->append(entryForImage(sampleImage(), RecordOperation::Write, RecordResult::Success,
                                                    "s", "COM1")).ok());
}

#endif

} // namespace
} // namespace px316t
