#include "production/backup_store.h"

#include "editor/capcode_codec.h"
#include "production_test_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace px316t {
namespace {

using testing::ProductionFolder;
using testing::fileBytes;

PagerTable imageWithFirstCapcode(std::uint64_t capcode)
{
    PagerTable image{};
    image.fill(0x5A);
    EXPECT_EQ(storeCapcode(image, 0, static_cast<double>(capcode), false), CapcodeStoreResult::Short);
    return image;
}

const auto kWhen = std::chrono::sys_days(std::chrono::year(2026) / 12 / 7) + std::chrono::hours(22) +
                   std::chrono::minutes(42) + std::chrono::seconds(16);

TEST(BackupStore, NamesTheFileByUtcTimeAndFirstCapcode)
{
    EXPECT_EQ(backupFileName(imageWithFirstCapcode(1234567), kWhen), "20261207-224216Z-1234567.tbl");
}

TEST(BackupStore, CreatesTheFolderAndKeepsTheImageBytes)
{
    ProductionFolder folder;
    const auto target = folder.path() / "data" / "px316t" / "backups";
    const PagerTable image = imageWithFirstCapcode(1234567);
    auto written = writeBackup(target, image, kWhen);
    ASSERT_TRUE(written.ok()) << written.message();
    EXPECT_EQ(written.value().parent_path(), target);
    EXPECT_EQ(fileBytes(written.value()), std::string(image.begin(), image.end()));
}

TEST(BackupStore, NeverOverwritesAnEarlierBackupOfTheSameName)
{
    ProductionFolder folder;
    const PagerTable first = imageWithFirstCapcode(1234567);
    PagerTable second = first;
    second[0x200] = 0x11;
    PagerTable third = first;
    third[0x201] = 0x22;
    auto a = writeBackup(folder.path(), first, kWhen);
    auto b = writeBackup(folder.path(), second, kWhen);
    auto c = writeBackup(folder.path(), third, kWhen);
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    EXPECT_EQ(b.value().filename(), "20261207-224216Z-1234567-2.tbl");
    EXPECT_EQ(c.value().filename(), "20261207-224216Z-1234567-3.tbl");
    EXPECT_EQ(fileBytes(a.value()), std::string(first.begin(), first.end()));
    EXPECT_EQ(fileBytes(b.value()), std::string(second.begin(), second.end()));
    EXPECT_EQ(fileBytes(c.value()), std::string(third.begin(), third.end()));
}

TEST(BackupStore, AFolderThatCannotBeMadeIsAFailureNotACrash)
{
    ProductionFolder folder;
    const auto blocker = folder.path() / "backups";
    { std::ofstream(blocker) << "a file where the folder should be"; }
    auto written = writeBackup(blocker, imageWithFirstCapcode(100), kWhen);
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.message().find(blocker.string()), std::string::npos);
    EXPECT_EQ(fileBytes(blocker), "a file where the folder should be");
}

#ifndef _WIN32  // the XDG folders are a convention of the Linux desktop
TEST(BackupStore, DefaultFolderFollowsXdgDataHome)
{
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", "/tmp/px316t-xdg-probe", 1);
    EXPECT_EQ(defaultBackupFolder(), std::filesystem::path("/tmp/px316t-xdg-probe/px316t/backups"));
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}
#endif

} // namespace
} // namespace px316t
