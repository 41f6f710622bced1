// File names in accents, Greek and CJK, as a technician's profile folder or
// table file may be called, from UTF-8 text to the file system and back.
#include "table/builtin_tables.h"
#include "table/exclusive_file.h"
#include "table/path_text.h"
#include "table/table_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

using namespace px316t;
namespace fs = std::filesystem;

namespace {

std::string text(std::u8string_view utf8) { return std::string(utf8.begin(), utf8.end()); }

fs::path scratchFolder(const std::string& name)
{
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path folder = fs::temp_directory_path() / ("px316t_path_text_" + name + "_" + std::to_string(stamp));
    fs::create_directories(folder);
    return folder;
}

} // namespace

TEST(PathText, Utf8NamesReachTheFileSystemAsTheyAreAndComeBack)
{
    const fs::path folder = scratchFolder("names");
    const std::set<std::string> names = {text(u8"Pr\u00fcfung \u03a9.tbl"), text(u8"J\u00fcrgen"),
                                         text(u8"\u8868\u683c \u6e2c\u8a66.tbl")};
    for (const std::string& name : names) {
        const fs::path path = folder / pathFromUtf8(name);
        // The name the C++ library makes from UTF-8 itself, on every platform.
        EXPECT_EQ(path.filename(), fs::path(std::u8string(name.begin(), name.end()))) << name;
        ASSERT_EQ(writeTableFile(path, makeDefaultPagerTable()), TableFileError::None) << name;
        const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
        EXPECT_EQ(utf8FromPath(path), utf8FromPath(folder) + separator + name);
    }
    std::set<std::string> listed;
    for (const auto& entry : fs::directory_iterator(folder))
        listed.insert(utf8FromPath(entry.path().filename()));
    EXPECT_EQ(listed, names);
    fs::remove_all(folder);
}

TEST(PathText, FoldersAcceptNewFilesOnlyWhereOneCanBeMade)
{
    const fs::path folder = scratchFolder("probe");
    const fs::path greek = folder / pathFromUtf8(text(u8"\u03a6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2"));
    fs::create_directories(greek);
    EXPECT_TRUE(canCreateFilesIn(greek));
    EXPECT_TRUE(fs::is_empty(greek)) << "the probe file is removed again";
    EXPECT_FALSE(canCreateFilesIn(folder / "missing"));
    ASSERT_EQ(writeTableFile(folder / "a.tbl", makeDefaultPagerTable()), TableFileError::None);
    EXPECT_FALSE(canCreateFilesIn(folder / "a.tbl")) << "a file is no folder";
    fs::remove_all(folder);
}
