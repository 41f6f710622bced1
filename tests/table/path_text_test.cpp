// File names in accents, Greek and CJK, as a technician's profile folder or
// table file may be called, from UTF-8 text to the file system and back.
#include "table/exclusive_file.h"
#include "table/path_text.h"
#include "table/table_file.h"
#include "table/builtin_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
    const std::u8string_view names[] = {u8"Pr\u00fcfung \u03a9.tbl", u8"J\u00fcrgen", u8"\u8868\u683c \u6e2c\u8a66.tbl",
                                        u8"caf\u00e9 \u0391\u03b8\u03ae\u03bd\u03b1 \u6771\u4eac"};
    for (const std::u8string_view name : names) {
        const fs::path path = folder / pathFromUtf8(text(name));
        // The name the C++ library makes from UTF-8 itself, on every platform.
        EXPECT_EQ(path.filename().native(), fs::path(name).native()) << text(name);
        ASSERT_EQ(writeTableFile(path, makeDefaultPagerTable()), TableFileError::None) << text(name);
        EXPECT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(readTableFile(folder / fs::path(name))));
        const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
        EXPECT_EQ(utf8FromPath(path), utf8FromPath(folder) + separator + text(name));
        EXPECT_EQ(utf8FromPath(path.filename()), text(name));
    }
    std::size_t listed = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++listed;
        const std::string name = utf8FromPath(entry.path().filename());
        EXPECT_NE(std::find_if(std::begin(names), std::end(names), [&](auto n) { return text(n) == name; }),
                  std::end(names))
            << "unexpected name " << name;
    }
    EXPECT_EQ(listed, std::size(names));
    fs::remove_all(folder);
}

TEST(PathText, FoldersAcceptNewFilesOnlyWhereOneCanBeMade)
{
    const fs::path folder = scratchFolder("probe");
    const fs::path greek = folder / pathFromUtf8(text(u8"\u03a6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2"));
    fs::create_directories(greek);
    EXPECT_TRUE(canCreateFilesIn(folder));
    EXPECT_TRUE(canCreateFilesIn(greek));
    EXPECT_TRUE(fs::is_empty(greek)) << "the probe file is removed again";
    EXPECT_FALSE(canCreateFilesIn(folder / "missing"));
    ASSERT_EQ(writeTableFile(folder / "a.tbl", makeDefaultPagerTable()), TableFileError::None);
    EXPECT_FALSE(canCreateFilesIn(folder / "a.tbl")) << "a file is no folder";
    fs::remove_all(folder);
}
