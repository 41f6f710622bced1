#include "registry/cls_registry_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "registry/registry_backend.h"
#include "registry/user_folders.h"
#include "registry_test_folder.h"

namespace px316t {
namespace {

using test::TempFolder;

// Every backend of the platform.
class RegistryAccessTest : public test::BackendFixture {};
INSTANTIATE_TEST_SUITE_P(Backends, RegistryAccessTest, ::testing::ValuesIn(test::testedBackends()),
                         test::backendName);

// The portable store with its live serial-port key.
class PortableRegistryAccessTest : public ::testing::Test {
protected:
    TempFolder folder;
    PortableRegistryOptions options = test::isolatedOptions(folder);
    clsRegistryAccess reg{makePortableRegistryBackend(options)};
};

TEST(SplitRegPathTest, RootNamesInEitherFormAndAnyCase) {
    clsRegistryAccess reg(nullptr);
    EXPECT_EQ(reg.SplitRegPath("hklm\\HARDWARE\\DEVICEMAP\\SERIALCOMM").root, HKEY_LOCAL_MACHINE_HANDLE);
    const RegPath longForm = reg.SplitRegPath("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM");
    EXPECT_EQ(longForm.root, HKEY_LOCAL_MACHINE_HANDLE);
    EXPECT_EQ(longForm.subPath, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
    EXPECT_EQ(reg.SplitRegPath("hkey_current_user\\Software").root, HKEY_CURRENT_USER_HANDLE);
    EXPECT_EQ(reg.SplitRegPath("HKCR").root, HKEY_CLASSES_ROOT_HANDLE);
    EXPECT_EQ(reg.SplitRegPath("HKCR").subPath, "");
    EXPECT_EQ(reg.SplitRegPath("HKUS\\x").root, HKEY_USERS_HANDLE);
    EXPECT_EQ(reg.SplitRegPath("hkdd").root, HKEY_DYN_DATA_HANDLE);
}

TEST(SplitRegPathTest, OnlyTheFirstComponentNamesTheRoot) {
    clsRegistryAccess reg(nullptr);
    EXPECT_EQ(reg.SplitRegPath("HKLMX\\Software").root, 0u);
    EXPECT_EQ(reg.SplitRegPath("").root, 0u);
    EXPECT_EQ(reg.SplitRegPath("Software\\HKLM").root, 0u);
    // A root name further down the path is a key name like any other.
    EXPECT_EQ(reg.SplitRegPath("HKCU\\Old\\HKEY_USERS_COPY").subPath, "Old\\HKEY_USERS_COPY");
}

TEST_P(RegistryAccessTest, UnknownRootFailsEveryOperation) {
    std::vector<std::string> keys{"kept"};
    std::vector<std::string> names{"kept"};
    std::vector<RegVariant> values{std::string("kept")};
    EXPECT_EQ(reg.CreateKey("HKXX\\A"), 0);
    EXPECT_EQ(reg.WriteString("HKXX\\A", "n", "v"), 0);
    EXPECT_EQ(reg.ReadString("HKXX\\A", "n", "dflt"), "dflt");
    EXPECT_FALSE(reg.KeyExists("HKXX\\A"));
    EXPECT_EQ(reg.EnumKeys("HKXX\\A", keys), -1);
    EXPECT_EQ(reg.EnumValues("HKXX\\A", names, values, -1), -1);
    EXPECT_EQ(names.size(), 1u);  // left as they were
}

TEST_P(RegistryAccessTest, KeysAreCreatedFoundEnumeratedAndDeleted) {
    EXPECT_FALSE(reg.KeyExists("HKCU\\Software\\Px"));
    EXPECT_NE(reg.CreateKey("HKCU\\Software\\Px\\B"), 0);
    EXPECT_NE(reg.CreateKey("HKCU\\Software\\Px\\A"), 0);
    EXPECT_NE(reg.CreateKey("hkey_current_user\\software\\px\\a"), 0);  // names ignore letter case
    EXPECT_TRUE(reg.KeyExists("HKCU\\SOFTWARE\\PX"));
    EXPECT_TRUE(reg.HaveSubkey("HKCU\\Software\\Px"));
    EXPECT_FALSE(reg.HaveSubkey("HKCU\\Software\\Px\\A"));

    std::vector<std::string> keys;
    EXPECT_EQ(reg.EnumKeys("HKCU\\Software\\Px", keys), 2);
    // The portable store keeps creation order; Windows promises no order.
    if (windows()) std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{windows() ? "A" : "B", windows() ? "B" : "A"}));  // stored spelling
    EXPECT_EQ(reg.EnumKeys("HKCU\\Software\\Px\\A", keys), 0);
    EXPECT_TRUE(keys.empty());
    keys = {"stale"};
    EXPECT_EQ(reg.EnumKeys("HKCU\\Missing", keys), -1);
    EXPECT_TRUE(keys.empty());

    // Deleting a key takes its subkeys and values with it.
    reg.WriteString("HKCU\\Software\\Px\\B", "n", "v");
    EXPECT_NE(reg.KillKey("HKCU\\Software\\Px"), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\Software\\Px"));
    EXPECT_FALSE(reg.KeyExists("HKCU\\Software\\Px\\B"));
    EXPECT_TRUE(reg.KeyExists("HKCU\\Software"));
    EXPECT_EQ(reg.KillKey("HKCU\\Software\\Px"), 0);
    EXPECT_FALSE(reg.HaveSubkey("HKCU\\Software\\Px"));
}

TEST_P(RegistryAccessTest, ARootIsNeverDeletedNorEmptied) {
    // "0px" comes first in an enumeration, so emptying the root would take it first.
    ASSERT_NE(reg.CreateKey("HKCU\\0px\\Kept"), 0);
    ASSERT_NE(reg.CreateKey("HKCU\\Software\\Px\\Kept"), 0);
    for (const char* root : {"HKCU", "HKCU\\", "HKEY_CURRENT_USER", "hkcu"}) {
        EXPECT_EQ(reg.KillKey(root), 0) << root;
        EXPECT_TRUE(reg.KeyExists("HKCU\\0px\\Kept")) << root;
        EXPECT_TRUE(reg.KeyExists("HKCU\\Software\\Px\\Kept")) << root;
    }
}

TEST_F(PortableRegistryAccessTest, RootsAndTheHardwareKeysCannotBeDeleted) {
    EXPECT_TRUE(reg.KeyExists("HKCU"));
    EXPECT_EQ(reg.KillKey("HKCU"), 0);
    EXPECT_EQ(reg.KillKey("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"), 0);
    EXPECT_EQ(reg.KillKey("HKLM\\HARDWARE"), 0);
    EXPECT_TRUE(reg.KeyExists("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"));
    EXPECT_EQ(reg.CreateKey("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM\\Sub"), 0);
    EXPECT_EQ(reg.WriteString("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "/dev/fake", "COM9"), 0);
    EXPECT_EQ(reg.KillValue("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "x"), 0);

    std::vector<std::string> keys;
    ASSERT_EQ(reg.EnumKeys("HKLM", keys), 1);
    EXPECT_EQ(keys[0], "HARDWARE");
    ASSERT_EQ(reg.EnumKeys("HKLM\\HARDWARE\\DEVICEMAP", keys), 1);
    EXPECT_EQ(keys[0], "SERIALCOMM");
}

TEST_P(RegistryAccessTest, TypedValuesRoundTrip) {
    const std::string key = "HKCU\\Software\\Px";
    EXPECT_NE(reg.WriteString(key, "Name", " padded text  "), 0);
    EXPECT_NE(reg.WriteString(key, "Empty", ""), 0);
    EXPECT_NE(reg.WriteDWORD(key, "Count", 0xDEADBEEF), 0);
    EXPECT_NE(reg.WriteBinary(key, "Blob", "41 00 ff"), 0);
    EXPECT_NE(reg.WriteBinary(key, "NoBytes", ""), 0);
    EXPECT_NE(reg.WriteString(key, "@", "default"), 0);

    EXPECT_EQ(reg.ReadString(key, "name", "x"), " padded text  ");
    EXPECT_EQ(reg.ReadString(key, "Empty", "x"), "");
    EXPECT_EQ(reg.ReadDWORD(key, "Count", 7), 0xDEADBEEFu);
    EXPECT_EQ(reg.ReadBinary(key, "Blob", "x"), "41 00 FF");
    EXPECT_EQ(reg.ReadBinary(key, "NoBytes", "x"), "");
    EXPECT_EQ(reg.ReadString(key, "", "x"), "default");  // "@" wrote the unnamed value
    EXPECT_FALSE(reg.ValueExists(key, "@"));

    // A value of another type is no value of the type asked for.
    EXPECT_EQ(reg.ReadString(key, "Count", "x"), "x");
    EXPECT_EQ(reg.ReadDWORD(key, "Name", 7), 7u);
    // A binary read gives the bytes of any value, a string's closing zero included.
    EXPECT_EQ(reg.ReadBinary(key, "Name", "x"), "20 70 61 64 64 65 64 20 74 65 78 74 20 20 00");
    EXPECT_EQ(reg.ReadString(key, "Missing", "x"), "x");
    EXPECT_EQ(reg.ReadDWORD("HKCU\\Nowhere", "Count", 9), 9u);

    // Rewriting changes type and data in place.
    EXPECT_NE(reg.WriteDWORD(key, "Name", 5), 0);
    EXPECT_EQ(reg.ReadDWORD(key, "Name", 0), 5u);
}

TEST_P(RegistryAccessTest, TextKeepsEveryCharacterOfAFolderName) {
    const std::string key = "HKCU\\Software\\Px\\File Places";
    // Accents, Greek and CJK, longer than the string reads' 255 characters.
    const std::string folder = "C:\\Users\\J\u00fcrgen\\\u03a6\u03ac\u03ba\u03b5\u03bb\u03bf\u03c2\\\u8868\u683c\\" +
                               std::string(300, 'x');
    EXPECT_NE(reg.WriteText(key, "LastFolder", folder), 0);
    EXPECT_EQ(reg.ReadText(key, "LastFolder", "d"), folder);
    // Windows' ANSI functions would have kept '?' or 'O' for the Greek and CJK
    // letters; the other stores keep the UTF-8 bytes as they are.
    EXPECT_NE(reg.WriteText(key, "Omega", "\u03a9"), 0);
    EXPECT_EQ(reg.ReadText(key, "Omega", "d"), "\u03a9");
    if (!windows()) {
        EXPECT_EQ(reg.ReadBinary(key, "Omega", "d"), "CE A9 00");
    }
    EXPECT_NE(reg.WriteDWORD(key, "Count", 1), 0);
    EXPECT_EQ(reg.ReadText(key, "Count", "d"), "d");
    EXPECT_EQ(reg.ReadText(key, "Missing", "d"), "d");
}

TEST_P(RegistryAccessTest, WritesCreateTheKeyOnlyWhenAllowed) {
    EXPECT_TRUE(reg.CreateKeyIfDoesntExists());
    reg.CreateKeyIfDoesntExists(false);
    EXPECT_EQ(reg.WriteString("HKCU\\New\\Key", "n", "v"), 0);
    EXPECT_EQ(reg.WriteDWORD("HKCU\\New\\Key", "n", 1), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\New"));
    reg.CreateKeyIfDoesntExists(true);
    EXPECT_NE(reg.WriteDWORD("HKCU\\New\\Key", "n", 1), 0);
    EXPECT_TRUE(reg.KeyExists("HKCU\\New\\Key"));
}

TEST_P(RegistryAccessTest, BinaryWritesRefuseInvalidHex) {
    const std::string key = "HKCU\\Px";
    EXPECT_EQ(reg.WriteBinary(key, "Bad", "0G"), 0);
    EXPECT_EQ(reg.WriteBinary(key, "Odd", "41 4"), 0);
    EXPECT_FALSE(reg.ValueExists(key, "Bad"));
    EXPECT_FALSE(reg.ValueExists(key, "Odd"));
}

TEST_P(RegistryAccessTest, KillValueAndValueExists) {
    const std::string key = "HKCU\\Px";
    reg.WriteString(key, "a", "1");
    EXPECT_TRUE(reg.ValueExists(key, "A"));
    EXPECT_NE(reg.KillValue(key, "a"), 0);
    EXPECT_FALSE(reg.ValueExists(key, "a"));
    EXPECT_NE(reg.KillValue(key, "a"), 0);  // already gone: nothing left to do
    EXPECT_EQ(reg.KillValue("HKCU\\Missing", "a"), 0);
}

TEST_P(RegistryAccessTest, EnumValuesKeepsOrderAndFiltersByType) {
    const std::string key = "HKCU\\Px";
    reg.WriteString(key, "s", "text");
    reg.WriteDWORD(key, "d", 31);
    reg.WriteBinary(key, "b", "01 02");
    reg.WriteBinary(key, "e", "");
    reg.WriteString(key, "s", "changed");  // keeps its place

    std::vector<std::string> names;
    std::vector<RegVariant> values;
    ASSERT_EQ(reg.EnumValues(key, names, values, -1), 4);
    std::vector<std::pair<std::string, RegVariant>> found;
    for (std::size_t i = 0; i < names.size(); ++i) found.emplace_back(names[i], values[i]);
    // The portable store keeps the order of first writing; Windows promises no order.
    if (windows()) std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::vector<std::pair<std::string, RegVariant>> portableOrder{
        {"s", std::string("changed")}, {"d", 31u}, {"b", std::string("01 02")}, {"e", std::string()}};
    const std::vector<std::pair<std::string, RegVariant>> sorted{
        {"b", std::string("01 02")}, {"d", 31u}, {"e", std::string()}, {"s", std::string("changed")}};
    EXPECT_EQ(found, windows() ? sorted : portableOrder);

    ASSERT_EQ(reg.EnumValues(key, names, values, REG_TYPE_DWORD), 1);
    EXPECT_EQ(names[0], "d");
    EXPECT_EQ(reg.EnumValues(key, names, values, 2), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(values.empty());

    reg.CreateKey("HKCU\\Px\\Empty");
    names = {"stale"};
    EXPECT_EQ(reg.EnumValues("HKCU\\Px\\Empty", names, values, -1), 0);
    EXPECT_TRUE(names.empty());
    names = {"kept"};
    EXPECT_EQ(reg.EnumValues("HKCU\\Px\\Missing", names, values, -1), -1);
    EXPECT_EQ(names, std::vector<std::string>{"kept"});
}

TEST_P(RegistryAccessTest, NamesAndDataBeyond255CharactersCannotBeRead) {
    const std::string key = "HKCU\\Px";
    const std::string fits(255, 'a');
    const std::string tooLong(256, 'b');
    reg.WriteString(key, "fits", fits);
    reg.WriteString(key, "long", tooLong);
    reg.WriteString(key, tooLong, "long name");
    reg.WriteBinary(key, "bin", clsRegistryAccess::BinToStr(std::string(256, 'x')));
    EXPECT_EQ(reg.ReadString(key, "fits", "d"), fits);
    EXPECT_EQ(reg.ReadString(key, "long", "d"), "d");
    // A binary read asks for the size first: it is not bound by the buffers.
    EXPECT_EQ(reg.ReadBinary(key, "bin", "d"), clsRegistryAccess::BinToStr(std::string(256, 'x')).substr(1));

    std::vector<std::string> names;
    std::vector<RegVariant> values;
    EXPECT_EQ(reg.EnumValues(key, names, values, -1), 1);
    EXPECT_EQ(names, std::vector<std::string>{"fits"});

    EXPECT_NE(reg.CreateKey("HKCU\\Px\\" + std::string(255, 'k')), 0);
    // Windows refuses longer key names; wine, where the Windows build is tested, does not.
    if (!windows()) {
        EXPECT_EQ(reg.CreateKey("HKCU\\Px\\" + std::string(256, 'k')), 0);
    }
}

TEST(HexTextTest, ConvertsBothWays) {
    EXPECT_EQ(clsRegistryAccess::BinToStr(std::string("\x41\x00\xFF", 3)), " 41 00 FF");
    EXPECT_EQ(clsRegistryAccess::BinToStr("AB"), " 41 42");
    EXPECT_EQ(clsRegistryAccess::BinToStr(""), "");
    EXPECT_EQ(clsRegistryAccess::StrToBin("41 00 FF"), std::string("\x41\x00\xFF", 3));
    EXPECT_EQ(clsRegistryAccess::StrToBin(" 4 1 0 0 f f "), std::string("\x41\x00\xFF", 3));
    EXPECT_EQ(clsRegistryAccess::StrToBin(""), "");
}

TEST(HexTextTest, ValidatesHex) {
    EXPECT_TRUE(clsRegistryAccess::isBinValid("0a 1b"));
    EXPECT_TRUE(clsRegistryAccess::isBinValid("FF"));
    EXPECT_FALSE(clsRegistryAccess::isBinValid("   "));
    EXPECT_FALSE(clsRegistryAccess::isBinValid(""));
    EXPECT_FALSE(clsRegistryAccess::isBinValid("0G"));
    EXPECT_FALSE(clsRegistryAccess::isBinValid("41,42"));
}

TEST(PortableStoreTest, SurvivesReopenAndSeesAnotherConnectionsWrites) {
    TempFolder folder;
    const auto options = test::isolatedOptions(folder);
    {
        clsRegistryAccess first(makePortableRegistryBackend(options));
        ASSERT_NE(first.WriteString("HKCU\\Px", "kept", "yes"), 0);
        ASSERT_NE(first.WriteDWORD("HKCU\\Px\\Sub", "n", 3), 0);
    }
    clsRegistryAccess reopened(makePortableRegistryBackend(options));
    clsRegistryAccess other(makePortableRegistryBackend(options));
    EXPECT_EQ(reopened.ReadString("HKCU\\Px", "kept", ""), "yes");
    EXPECT_EQ(reopened.ReadDWORD("HKCU\\Px\\Sub", "n", 0), 3u);

    // Two connections to one file see each other's changes at once.
    ASSERT_NE(other.WriteString("HKCU\\Px", "late", "x"), 0);
    EXPECT_EQ(reopened.ReadString("HKCU\\Px", "late", ""), "x");
    ASSERT_NE(other.KillKey("HKCU\\Px\\Sub"), 0);
    EXPECT_FALSE(reopened.KeyExists("HKCU\\Px\\Sub"));
}

#ifndef _WIN32  // fork
TEST(PortableStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    TempFolder folder;
    const auto options = test::isolatedOptions(folder);
    constexpr int kWrites = 40;
    const auto writeMany = [&](const std::string& key) {
        clsRegistryAccess reg(makePortableRegistryBackend(options));
        int written = 0;
        for (int i = 0; i < kWrites; ++i) written += reg.WriteDWORD(key, "v" + std::to_string(i), i) != 0;
        return written;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(writeMany("HKCU\\Child") == kWrites ? 0 : 1);
    const int parentWritten = writeMany("HKCU\\Parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(parentWritten, kWrites);

    clsRegistryAccess reg(makePortableRegistryBackend(options));
    std::vector<std::string> names;
    std::vector<RegVariant> values;
    EXPECT_EQ(reg.EnumValues("HKCU\\Child", names, values, -1), kWrites);
    EXPECT_EQ(reg.EnumValues("HKCU\\Parent", names, values, -1), kWrites);
    EXPECT_EQ(reg.ReadDWORD("HKCU\\Child", "v39", 0), 39u);
}

#endif

TEST(PortableStoreTest, AnUnusableStoreFileFailsCleanly) {
    TempFolder folder;
    auto options = test::isolatedOptions(folder);
    options.storeFile = folder.path() / "garbage.sqlite";
    test::writeFile(options.storeFile, std::string(4096, '\x5A'));
    clsRegistryAccess reg(makePortableRegistryBackend(options));
    EXPECT_EQ(reg.WriteString("HKCU\\Px", "n", "v"), 0);
    EXPECT_EQ(reg.ReadString("HKCU\\Px", "n", "d"), "d");
    EXPECT_FALSE(reg.KeyExists("HKCU\\Px"));
    // The serial-port list does not depend on the store.
    EXPECT_TRUE(reg.KeyExists("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM"));
}

#ifndef _WIN32  // the XDG folders are a convention of the Linux desktop
TEST(PortableStoreTest, DefaultFileFollowsXdgDataHome) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", "/tmp/px316t-xdg-data", 1);
    EXPECT_EQ(defaultRegistryStoreFile(), std::filesystem::path("/tmp/px316t-xdg-data/px316t/registry.sqlite"));
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(defaultRegistryStoreFile().filename(), "registry.sqlite");
    EXPECT_NE(defaultRegistryStoreFile().string().find(".local/share/px316t"), std::string::npos);
    if (saved) ::setenv("XDG_DATA_HOME", previous.c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
}

#endif

#ifdef _WIN32
TEST(UserFoldersTest, ComeFromTheWideEnvironment) {
    // A profile name outside the ANSI code page must not lose its letters.
    const std::wstring roaming = L"C:\\users\\\u03A9mega\\AppData\\Roaming";
    const wchar_t* saved = _wgetenv(L"APPDATA");
    const std::wstring previous = saved ? saved : L"";
    ASSERT_EQ(_wputenv_s(L"APPDATA", roaming.c_str()), 0);
    const auto data = userDataHome();
    const auto config = userConfigHome();
    _wputenv_s(L"APPDATA", previous.c_str());
    EXPECT_EQ(data.wstring(), roaming);
    EXPECT_EQ(config.wstring(), roaming);
}
#endif

}  // namespace
}  // namespace px316t
