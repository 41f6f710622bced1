#include <gtest/gtest.h>

#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#include "registry_test_folder.h"

namespace px316t {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempFolder;
using test::writeFile;

class RegistryScriptTest : public test::BackendFixture {
protected:
    std::int32_t import(const std::string& bytes) {
        const fs::path file = folder.path() / ("import" + std::to_string(++m_files) + ".reg");
        writeFile(file, bytes);
        return reg.ImportFromReg(file.string());
    }
    std::string exportFile() { return (folder.path() / ("export" + std::to_string(++m_files) + ".reg")).string(); }

private:
    int m_files = 0;
};
INSTANTIATE_TEST_SUITE_P(Backends, RegistryScriptTest, ::testing::ValuesIn(test::testedBackends()),
                         test::backendName);

TEST_P(RegistryScriptTest, ExportWritesTheExactScript) {
    reg.WriteString("HKCU\\Px", "@", "dflt");
    reg.WriteDWORD("HKCU\\Px", "Count", 31);
    reg.WriteString("HKCU\\Px", "Name", "pager");
    reg.WriteBinary("HKCU\\Px", "Blob", "41 00 FF");
    reg.WriteBinary("HKCU\\Px", "None", "");
    reg.WriteDWORD("HKCU\\Px", "Max", 0xFFFFFFFF);

    const std::string file = exportFile();
    std::vector<std::string> shown;
    ASSERT_EQ(reg.ExportToReg("hkcu\\Px", file, false, [&](const std::string& p) { shown.push_back(p); }), 1);
    EXPECT_EQ(readFile(file),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Px]\r\n"
              "@=\"dflt\"\r\n"
              "\"Name\"=\"pager\"\r\n"
              "\"Blob\"=hex:41,00,FF\r\n"
              "\"None\"=hex:\r\n"
              "\"Count\"=dword:0000001F\r\n"
              "\"Max\"=dword:FFFFFFFF\r\n"
              "\r\n");
    EXPECT_EQ(shown, std::vector<std::string>{"HKEY_CURRENT_USER\\Px"});
}

TEST_P(RegistryScriptTest, SubkeysFollowTheirKeyDepthFirstInEnumerationOrder) {
    reg.CreateKey("HKLM\\Software\\Px\\Zeta");
    reg.CreateKey("HKLM\\Software\\Px\\Alpha\\Inner");
    reg.CreateKey("HKLM\\Software\\Px\\Beta");
    std::vector<std::string> order;
    ASSERT_EQ(reg.EnumKeys("HKLM\\Software\\Px", order), 3);

    const std::string file = exportFile();
    std::vector<std::string> shown;
    ASSERT_EQ(reg.ExportToReg("HKLM\\Software\\Px", file, true, [&](const std::string& p) { shown.push_back(p); }), 1);
    const std::string base = "HKEY_LOCAL_MACHINE\\Software\\Px";
    // The portable store enumerates in creation order; Windows in its own.
    if (!windows()) {
        EXPECT_EQ(order, (std::vector<std::string>{"Zeta", "Alpha", "Beta"}));
    }
    // Alpha's own subkey comes right after Alpha, before the key that follows it.
    std::vector<std::string> expected{base};
    for (const auto& name : order) {
        expected.push_back(base + "\\" + name);
        if (name == "Alpha") expected.push_back(base + "\\Alpha\\Inner");
    }
    EXPECT_EQ(shown, expected);
    std::string text;
    for (const auto& key : shown) text += "[" + key + "]\r\n\r\n";
    EXPECT_EQ(readFile(file), "REGEDIT4\r\n\r\n" + text);
}

TEST_P(RegistryScriptTest, ExportRefusesAnExistingFileAndAMissingKey) {
    reg.WriteString("HKCU\\Px", "n", "v");
    const std::string file = exportFile();
    writeFile(file, "keep me");
    EXPECT_EQ(reg.ExportToReg("HKCU\\Px", file, false), 0);
    EXPECT_EQ(readFile(file), "keep me");

    const std::string missing = exportFile();
    EXPECT_EQ(reg.ExportToReg("HKCU\\Missing", missing, false), 0);
    EXPECT_FALSE(fs::exists(missing));  // no half-written script left behind
    EXPECT_EQ(reg.ExportToReg("HKCU\\Px", (folder.path() / "no-folder" / "x.reg").string(), false), 0);
}

TEST_P(RegistryScriptTest, ValuesThatWouldBreakTheScriptFailTheExport) {
    // Unescaped, a line break would let a value add its own lines to the script.
    reg.WriteString("HKCU\\Px", "evil", "x\r\n[-HKEY_CURRENT_USER\\Software]");
    const std::string file = exportFile();
    EXPECT_EQ(reg.ExportToReg("HKCU\\Px", file, false), 0);
    EXPECT_FALSE(fs::exists(file));

    reg.KillValue("HKCU\\Px", "evil");
    reg.WriteString("HKCU\\Px", "long", std::string(300, 'x'));  // cannot be read back
    EXPECT_EQ(reg.ExportToReg("HKCU\\Px", exportFile(), false), 0);
}

TEST_P(RegistryScriptTest, RoundTripKeepsDwordsAndBinaryButNotQuotesOrEquals) {
    reg.WriteDWORD("HKCU\\Px", "Dw", 31);
    reg.WriteBinary("HKCU\\Px", "Bin", "00 7F 80");
    reg.WriteString("HKCU\\Px", "Quote", "say \"hi\"");
    reg.WriteString("HKCU\\Px", "Eq", "a=b");
    reg.WriteDWORD("HKCU\\Px\\Sub", "Deep", 2);
    const std::string file = exportFile();
    ASSERT_EQ(reg.ExportToReg("HKCU\\Px", file, true), 1);
    EXPECT_NE(readFile(file).find("\"Dw\"=dword:0000001F\r\n"), std::string::npos);

    ASSERT_NE(reg.KillKey("HKCU\\Px"), 0);
    ASSERT_EQ(reg.ImportFromReg(file), 1);
    EXPECT_EQ(reg.ReadDWORD("HKCU\\Px", "Dw", 0), 31u);
    EXPECT_EQ(reg.ReadBinary("HKCU\\Px", "Bin", ""), "00 7F 80");
    EXPECT_EQ(reg.ReadString("HKCU\\Px", "Quote", ""), "say hi");
    EXPECT_EQ(reg.ReadString("HKCU\\Px", "Eq", ""), "a");
    EXPECT_EQ(reg.ReadDWORD("HKCU\\Px\\Sub", "Deep", 0), 2u);
}

TEST_P(RegistryScriptTest, RoundTripKeepsSpacesAtTheEdgesOfNamesAndStrings) {
    reg.WriteString("HKCU\\Px", "@", "  default  ");
    reg.WriteString("HKCU\\Px", "Trail", "x  ");
    reg.WriteString("HKCU\\Px", "Lead", "  x");
    reg.WriteString("HKCU\\Px", " spaced name ", "v");
    reg.WriteString("HKCU\\Px", "Empty", "");
    reg.WriteBinary("HKCU\\Px", "Bin", "00 20 FF");
    reg.WriteDWORD("HKCU\\Px", "Dw", 0x80000001u);
    const std::string first = exportFile();
    ASSERT_EQ(reg.ExportToReg("HKCU\\Px", first, false), 1);
    ASSERT_NE(reg.KillKey("HKCU\\Px"), 0);
    ASSERT_EQ(reg.ImportFromReg(first), 1);
    const std::string second = exportFile();
    ASSERT_EQ(reg.ExportToReg("HKCU\\Px", second, false), 1);
    EXPECT_EQ(readFile(second), readFile(first));
    EXPECT_EQ(reg.ReadString("HKCU\\Px", "Trail", ""), "x  ");
    EXPECT_EQ(reg.ReadString("HKCU\\Px", " spaced name ", ""), "v");
}

TEST_P(RegistryScriptTest, LastLineWithoutLineEndIsApplied) {
    EXPECT_EQ(import("REGEDIT4\r\n\r\n[HKCU\\Px]\r\n\"a\"=\"1\"\r\n\"b\"=\"2\""), 1);
    EXPECT_EQ(reg.ReadString("HKCU\\Px", "b", ""), "2");
    EXPECT_EQ(import("REGEDIT4\r\n[HKCU\\Px]\r\n\"d\"=dword:0000001f"), 1);
    EXPECT_EQ(reg.ReadDWORD("HKCU\\Px", "d", 0), 31u);
}

TEST_P(RegistryScriptTest, KeysWithoutValuesComeBackFromTheirScript) {
    reg.CreateKey("HKCU\\Px\\Empty\\Leaf");
    const std::string file = exportFile();
    ASSERT_EQ(reg.ExportToReg("HKCU\\Px", file, true), 1);
    ASSERT_NE(reg.KillKey("HKCU\\Px"), 0);
    ASSERT_EQ(reg.ImportFromReg(file), 1);
    EXPECT_TRUE(reg.KeyExists("HKCU\\Px\\Empty\\Leaf"));
}

TEST_P(RegistryScriptTest, ImportAppliesEveryKindOfLine) {
    reg.WriteString("HKCU\\Px", "Old", "x");
    reg.WriteString("HKCU\\Px", "@", "old default");
    reg.WriteString("HKCU\\Gone\\Sub", "v", "x");
    reg.CreateKeyIfDoesntExists(false);
    const std::string script =
        "regedit4\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Px]\r\n"
        "; a comment=ignored\r\n"
        "no equals sign\r\n"
        "  \"Str\" = \"text\"  \r\n"
        "\"Bin\"=HEX:0a,1B\r\n"
        "\"EmptyBin\"=hex:\r\n"
        "\"Dw\"=DWORD:0000001f\r\n"
        "\"Old\"=-\r\n"
        "@=\"\"\r\n"
        "[-HKCU\\Gone]\r\n"
        "\"After\"=\"dropped with the deleted key\"\r\n"
        "[hkcu\\New\\Key]\r\n"
        "@=\"fresh\"\r\n";
    ASSERT_EQ(import(script), 1);
    EXPECT_TRUE(reg.CreateKeyIfDoesntExists());
    EXPECT_EQ(reg.ReadString("HKCU\\Px", "Str ", ""), " text");  // split at "=", spaces kept inside
    EXPECT_EQ(reg.ReadBinary("HKCU\\Px", "Bin", ""), "0A 1B");
    EXPECT_TRUE(reg.ValueExists("HKCU\\Px", "EmptyBin"));
    EXPECT_EQ(reg.ReadDWORD("HKCU\\Px", "Dw", 0), 31u);
    EXPECT_FALSE(reg.ValueExists("HKCU\\Px", "Old"));
    EXPECT_FALSE(reg.ValueExists("HKCU\\Px", ""));
    EXPECT_FALSE(reg.ValueExists("HKCU\\Px", "; a comment"));
    EXPECT_FALSE(reg.KeyExists("HKCU\\Gone"));
    EXPECT_EQ(reg.ReadString("HKCU\\New\\Key", "", ""), "fresh");

    std::vector<std::string> names;
    std::vector<RegVariant> values;
    EXPECT_EQ(reg.EnumValues("HKCU\\Px", names, values, -1), 4);
}

TEST_P(RegistryScriptTest, ImportRefusesFilesWithoutTheHeader) {
    EXPECT_EQ(import("\r\nREGEDIT4\r\n[HKCU\\Px]\r\n\"a\"=\"b\"\r\n"), 0);
    EXPECT_EQ(import(""), 0);
    EXPECT_EQ(import("REGEDIT5\r\n[HKCU\\Px]\r\n\"a\"=\"b\"\r\n"), 0);
    EXPECT_EQ(import("Windows Registry Editor Version 5.00\r\n"), 0);
    // Line ends other than CR LF leave the header line unrecognised.
    EXPECT_EQ(import("REGEDIT4\n[HKCU\\Px]\n\"a\"=\"b\"\n"), 0);
    EXPECT_EQ(reg.ImportFromReg((folder.path() / "missing.reg").string()), 0);
    EXPECT_EQ(reg.ImportFromReg(folder.path().string()), 0);  // a folder
    EXPECT_FALSE(reg.KeyExists("HKCU\\Px"));
    EXPECT_EQ(import("REGEDIT4"), 1);
}

TEST_P(RegistryScriptTest, BadValueDataEndsTheImportWithoutInventedValues) {
    struct Case {
        const char* what;
        std::string tail;  // follows a good first value; "later" comes after it when it ends a line
    };
    const std::vector<Case> cases{
        {"odd hex digits", "\"v\"=hex:41,4\r\n"},
        {"non-hex characters", "\"v\"=hex:4G\r\n"},
        {"dword not hexadecimal", "\"v\"=dword:12xy\r\n"},
        {"dword too large", "\"v\"=dword:100000000\r\n"},
        {"dword without digits", "\"v\"=dword:\r\n"},
        {"cut off inside the quotes of the last line", "\"v\"=\"abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(reg.KillKey("HKCU\\Px") != 0 || !reg.KeyExists("HKCU\\Px"));
        const bool cutOff = c.tail.back() != '\n';  // nothing can follow a cut
        const std::string later = cutOff ? "" : "\"later\"=\"2\"\r\n";
        EXPECT_EQ(import("REGEDIT4\r\n\r\n[HKCU\\Px]\r\n\"first\"=\"1\"\r\n" + c.tail + later), 0);
        EXPECT_EQ(reg.ReadString("HKCU\\Px", "first", ""), "1");  // changes already made stay
        EXPECT_FALSE(reg.ValueExists("HKCU\\Px", "v"));
        EXPECT_FALSE(reg.ValueExists("HKCU\\Px", "later"));
    }
}

TEST_P(RegistryScriptTest, RegistryFailuresEndTheImport) {
    if (!windows()) {  // the portable store's live serial-port key
        EXPECT_EQ(import("REGEDIT4\r\n[HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"v\"=\"COM9\"\r\n"), 0);
        EXPECT_EQ(import("REGEDIT4\r\n[-HKLM\\HARDWARE]\r\n"), 0);
    }
    EXPECT_EQ(import("REGEDIT4\r\n[HKXX\\Px]\r\n\"v\"=\"x\"\r\n"), 0);
    // A root is never deleted: the rest of the script is not applied either.
    ASSERT_NE(reg.WriteString("HKCU\\0px", "kept", "yes"), 0);  // first in an enumeration
    for (const char* root : {"HKEY_CURRENT_USER", "HKCU\\", "hkcu"}) {
        EXPECT_EQ(import(std::string("REGEDIT4\r\n\r\n[-") + root + "]\r\n[HKCU\\After]\r\n"), 0) << root;
        EXPECT_EQ(reg.ReadString("HKCU\\0px", "kept", ""), "yes") << root;
        EXPECT_FALSE(reg.KeyExists("HKCU\\After")) << root;
    }
    // Deleting what is not there is no failure.
    EXPECT_EQ(import("REGEDIT4\r\n[-HKCU\\Never]\r\n[HKCU\\Never2]\r\n\"v\"=-\r\n"), 1);
    EXPECT_FALSE(reg.ValueExists("HKCU\\Never2", "v"));
}

TEST_P(RegistryScriptTest, MalformedFilesChangeNothing) {
    // A key line without its closing bracket would name a key one character short.
    EXPECT_EQ(import("REGEDIT4\r\n[HKCU\\Px\r\n\"v\"=\"x\"\r\n"), 0);
    EXPECT_EQ(import("REGEDIT4\r\n[\r\n\"v\"=\"x\"\r\n"), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\P"));
    EXPECT_FALSE(reg.KeyExists("HKCU\\Px"));

    EXPECT_EQ(import("REGEDIT4\r\n[HKCU\\Bin]\r\n\"v\"=\"a" + std::string(1, '\0') + "b\"\r\n"), 0);
    std::string noise(4096, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919) & 0xFF);
    EXPECT_EQ(import(noise), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\Bin"));

    std::string huge = "REGEDIT4\r\n[HKCU\\Huge]\r\n\"v\"=\"x\"\r\n";
    const std::string comment = ";" + std::string(1021, '-') + "\r\n";
    while (huge.size() <= 17u * 1024u * 1024u) huge += comment;
    EXPECT_EQ(import(huge), 0);
    EXPECT_FALSE(reg.KeyExists("HKCU\\Huge"));

    // Values before the first key line have no key to go to.
    EXPECT_EQ(import("REGEDIT4\r\n\"stray\"=\"x\"\r\n"), 1);
}

}  // namespace
}  // namespace px316t
