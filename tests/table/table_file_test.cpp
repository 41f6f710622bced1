#include "table/table_file.h"

#include "table/builtin_tables.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#else
#include <process.h>
#endif

using namespace px316t;
namespace fs = std::filesystem;

namespace {

class TableFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path()
            / ("px316t_table_file_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    fs::path file(const std::string& name) const { return folder_ / name; }

    static void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static std::vector<std::uint8_t> fileBytes(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
    {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
        return bytes;
    }
    // Names in the folder other than the ones a test made itself.
    std::size_t entriesInFolder() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_),
                                                      fs::directory_iterator()));
    }

    fs::path folder_;
};

std::vector<std::uint8_t> loaded(const std::variant<std::vector<std::uint8_t>, TableFileError>& r)
{
    EXPECT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(r));
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&r))
        return *bytes;
    return {};
}

TableFileError failure(const std::variant<std::vector<std::uint8_t>, TableFileError>& r)
{
    if (const auto* error = std::get_if<TableFileError>(&r))
        return *error;
    return TableFileError::None;
}

} // namespace

TEST_F(TableFileTest, SaveThenLoadGivesTheSameImage)
{
    PagerTable table = makeDefaultPagerTable();
    const auto bytes = pattern(PagerTableSize, 3);
    std::copy(bytes.begin(), bytes.end(), table.begin());

    ASSERT_EQ(writeTableFile(file("a.tbl"), table), TableFileError::None);
    EXPECT_EQ(fs::file_size(file("a.tbl")), 912u);
    EXPECT_EQ(fileBytes(file("a.tbl")), bytes);
    EXPECT_EQ(entriesInFolder(), 1u) << "no temporary file left behind";

    PagerTable back{};
    applyTableFileBytes(back, loaded(readTableFile(file("a.tbl"))));
    EXPECT_EQ(back, table);
}

#ifndef _WIN32  // POSIX permission bits, symbolic links
TEST_F(TableFileTest, SavingReplacesAnExistingFileAndKeepsItsMode)
{
    writeBytes(file("old.tbl"), pattern(2000, 9));
    ::chmod(file("old.tbl").c_str(), 0640);
    const PagerTable table = makeDefaultPagerTable();
    ASSERT_EQ(writeTableFile(file("old.tbl"), table), TableFileError::None);
    EXPECT_EQ(fileBytes(file("old.tbl")), std::vector<std::uint8_t>(table.begin(), table.end()));
    EXPECT_EQ(fs::status(file("old.tbl")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entriesInFolder(), 1u);
}

TEST_F(TableFileTest, SavingThroughALinkReplacesTheLinkedFile)
{
    writeBytes(file("real.tbl"), pattern(912, 1));
    fs::create_symlink(file("real.tbl"), file("link.tbl"));
    const PagerTable table = makeDefaultPagerTable();
    ASSERT_EQ(writeTableFile(file("link.tbl"), table), TableFileError::None);
    EXPECT_TRUE(fs::is_symlink(file("link.tbl")));
    EXPECT_EQ(fileBytes(file("real.tbl")), std::vector<std::uint8_t>(table.begin(), table.end()));
}

#endif

TEST_F(TableFileTest, ShortAndLongFiles)
{
    PagerTable table{};
    table.fill(0xEE);
    const PagerTable before = table;

    writeBytes(file("short.tbl"), pattern(100, 5));
    const auto shortBytes = loaded(readTableFile(file("short.tbl")));
    ASSERT_EQ(shortBytes.size(), 100u);
    applyTableFileBytes(table, shortBytes);
    for (int i = 0; i < PagerTableSize; ++i)
        ASSERT_EQ(table[i], i < 100 ? shortBytes[i] : before[i]) << i;

    writeBytes(file("long.tbl"), pattern(1000, 11));
    const auto longBytes = loaded(readTableFile(file("long.tbl")));
    ASSERT_EQ(longBytes.size(), 912u);
    EXPECT_EQ(longBytes, pattern(912, 11));
    applyTableFileBytes(table, longBytes);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), longBytes.begin()));

    writeBytes(file("empty.tbl"), {});
    EXPECT_TRUE(loaded(readTableFile(file("empty.tbl"))).empty());

    // Applying more bytes than the table holds uses the first 912 only.
    PagerTable fromWide{};
    applyTableFileBytes(fromWide, pattern(5000, 2));
    EXPECT_TRUE(std::equal(fromWide.begin(), fromWide.end(), pattern(912, 2).begin()));
}

#ifndef _WIN32  // pipes, /proc, permission bits, fork, file size limits
TEST_F(TableFileTest, FilesThatCannotBeRead)
{
    EXPECT_EQ(failure(readTableFile(file("missing.tbl"))), TableFileError::NotFound);
    EXPECT_EQ(failure(readTableFile("")), TableFileError::NotFound);
    EXPECT_EQ(failure(readTableFile(folder_)), TableFileError::NotAFile);
    // A pipe would block a plain read for ever.
    ASSERT_EQ(::mkfifo(file("pipe.tbl").c_str(), 0600), 0);
    EXPECT_EQ(failure(readTableFile(file("pipe.tbl"))), TableFileError::NotAFile);
    // A regular file whose reading fails at the first byte.
    std::error_code reason;
    EXPECT_EQ(failure(readTableFile("/proc/self/mem", reason)), TableFileError::ReadFailed);
    EXPECT_TRUE(reason);
}

TEST_F(TableFileTest, FileWithoutReadPermission)
{
    writeBytes(file("locked.tbl"), pattern(912, 4));
    ::chmod(file("locked.tbl").c_str(), 0);
    const auto attempt = [&] {
        std::error_code reason;
        return failure(readTableFile(file("locked.tbl"), reason)) == TableFileError::CannotOpen
            && reason == std::errc::permission_denied;
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(attempt());
        return;
    }
    // The superuser reads any file: try as an unprivileged user in a child.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(!dropped ? 2 : attempt() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

#endif

TEST_F(TableFileTest, FailingSavesKeepWhatWasThere)
{
    const PagerTable table = makeDefaultPagerTable();

    // The name is taken by a folder: the folder and its content stay.
    fs::create_directory(file("taken.tbl"));
    writeBytes(file("taken.tbl") / "inside", pattern(10, 1));
    EXPECT_EQ(writeTableFile(file("taken.tbl"), table), TableFileError::NotAFile);
    EXPECT_TRUE(fs::is_directory(file("taken.tbl")));
    EXPECT_EQ(fileBytes(file("taken.tbl") / "inside"), pattern(10, 1));

    // The folder part of the name is a regular file.
    writeBytes(file("plain"), pattern(30, 2));
    std::error_code reason;
    EXPECT_EQ(writeTableFile(file("plain") / "x.tbl", table, reason), TableFileError::WriteFailed);
#ifndef _WIN32  // Windows says only that the path was not found
    EXPECT_EQ(reason, std::errc::not_a_directory);
#endif
    EXPECT_EQ(fileBytes(file("plain")), pattern(30, 2));

    // The folder does not exist.
    EXPECT_EQ(writeTableFile(file("nowhere") / "x.tbl", table), TableFileError::WriteFailed);
    EXPECT_FALSE(fs::exists(file("nowhere")));
    EXPECT_EQ(entriesInFolder(), 2u);
}

#ifndef _WIN32  // file size limits
TEST_F(TableFileTest, FullDiskKeepsTheOldFile)
{
    const auto old = pattern(912, 77);
    writeBytes(file("old.tbl"), old);

    // A file size limit makes the write fail part-way, as a full disk does.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::error_code reason;
    const TableFileError result = writeTableFile(file("old.tbl"), makeDefaultPagerTable(), reason);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, TableFileError::WriteFailed);
    EXPECT_EQ(reason, std::errc::file_too_large);
    EXPECT_EQ(fileBytes(file("old.tbl")), old);
    EXPECT_EQ(entriesInFolder(), 1u) << "the partial temporary file is removed";
}

#endif

TEST_F(TableFileTest, NamesOutsideTheAnsiCodePageRoundTrip)
{
    // Windows' narrow functions would turn these into '?' or their nearest Latin letter.
    const fs::path name(u8"\u03A9mega-\u8868-\u00DF.tbl");
    PagerTable table = makeDefaultPagerTable();
    table[0x10] = 0x0A;
    ASSERT_EQ(writeTableFile(folder_ / name, table), TableFileError::None);
    ASSERT_EQ(entriesInFolder(), 1u);
    EXPECT_EQ(fs::directory_iterator(folder_)->path().filename(), name);
    PagerTable back{};
    applyTableFileBytes(back, loaded(readTableFile(folder_ / name)));
    EXPECT_EQ(back, table);
}

TEST(TableFileDeviceNames, AreTheNamesWindowsGivesToDevices)
{
    for (const char* device : {"CON", "con.tbl", "aux.tbl", "NUL", "nul .tbl", "Prn.x.y", "COM1", "com9.tbl",
                               "LPT1.tbl", "conin$", "CONOUT$.tbl", "sub/AUX"})
        EXPECT_TRUE(isWindowsDeviceName(device)) << device;
    for (const char* plain : {"console.tbl", "COM10.tbl", "com.tbl", "nul_x.tbl", "CONx", "a.con", "my aux.tbl",
                              "LPT", ""})
        EXPECT_FALSE(isWindowsDeviceName(plain)) << plain;
}

#ifdef _WIN32
TEST_F(TableFileTest, DeviceNamesAreRefusedWithoutOpeningTheDevice)
{
    // Opening CON to read would wait for the console; NUL would swallow a save.
    for (const char* device : {"CON", "NUL", "COM1", "aux.tbl", "con.tbl"}) {
        EXPECT_EQ(failure(readTableFile(file(device))), TableFileError::NotAFile) << device;
        EXPECT_EQ(writeTableFile(file(device), makeDefaultPagerTable()), TableFileError::NotAFile) << device;
    }
    EXPECT_EQ(entriesInFolder(), 0u);
}

TEST_F(TableFileTest, SavingReplacesAnExistingFileInOneStep)
{
    writeBytes(file("old.tbl"), pattern(2000, 9));
    const PagerTable table = makeDefaultPagerTable();
    ASSERT_EQ(writeTableFile(file("old.tbl"), table), TableFileError::None);
    EXPECT_EQ(fileBytes(file("old.tbl")), std::vector<std::uint8_t>(table.begin(), table.end()));
    EXPECT_EQ(entriesInFolder(), 1u);
}
#endif

TEST(TableFileMessages, SayWhatFailed)
{
    EXPECT_EQ(describeTableFileError(TableFileError::None), "");
    EXPECT_EQ(describeTableFileError(TableFileError::NotFound), "This file is not exit!");
    EXPECT_EQ(describeTableFileError(TableFileError::WriteFailed), "The file could not be written.");
    EXPECT_EQ(describeTableFileError(TableFileError::WriteFailed,
                                     std::make_error_code(std::errc::no_space_on_device).message()),
              "The file could not be written. No space left on device.");
    for (TableFileError e : {TableFileError::NotAFile, TableFileError::CannotOpen,
                             TableFileError::ReadFailed}) {
        EXPECT_FALSE(describeTableFileError(e).empty());
    }
}
