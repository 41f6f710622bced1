// Every image of the corpus through the pager document: opened and saved, it
// comes back the same, and the rules of arrival change only the bytes the
// image derives from its capcodes.
#include "editor/field_assignments.h"
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"
#include "images/image_corpus.h"
#include "support/unique_folder.h"
#include "table/memory_map.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

namespace px316t {
namespace {

// The bits the rules of arrival may rewrite: the frame mask and its copies,
// the enable, type and priority bytes, the mail-drop alert lengths of the
// second rows, the layout's bits of 0x3D and the contrast.
bool derived(int address, int bit)
{
    if (address == map::ScreenContrast)   // a level the slider cannot show
        return true;
    if (map::FrameRecords.contains(address))
        return (address - map::FrameRecords.first) % map::FrameRecordSize >= 2;
    for (const int k : {0, 8}) {
        if (address == map::capcodeEnable(k).byte || address == map::capcodeType(k).byte
            || address == map::capcodePriority(k).byte)
            return true;
    }
    if (map::MailDropAlertLengths.contains(address))
        return address != map::mailDropAlertLength(0);
    return address == map::AllPairsLong.byte && (bit == map::AllPairsLong.firstBit || bit == map::ManualWriteEnable.firstBit);
}

class ImageCorpus : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        folder_ = (std::filesystem::temp_directory_path() / "px316t-corpus-XXXXXX").string();
        ASSERT_TRUE(test::makeUniqueFolder(folder_));
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path file(const char* name) const { return std::filesystem::path(folder_) / name; }

    std::string folder_;
};

TEST_P(ImageCorpus, OpenSaveOpenKeepsTheImageAndOnlyTheDerivedBytesChange)
{
    const testing::CorpusImage image = testing::corpusImage(GetParam());
    std::error_code reason;
    PagerDocument opened;
    ASSERT_EQ(opened.openFile(image.path, reason), TableFileError::None);
    ASSERT_EQ(opened.saveFile(file("saved.tbl"), reason), TableFileError::None);
    PagerDocument again;
    ASSERT_EQ(again.openFile(file("saved.tbl"), reason), TableFileError::None);
    EXPECT_EQ(again.image(), opened.image()) << "arriving twice changes nothing more";
    EXPECT_EQ(again.pairLengths(), opened.pairLengths());
    EXPECT_EQ(again.band(), opened.band());
    for (int a = 0; a < PagerTableSize; ++a) {
        for (int bit = 0; bit < 8; ++bit) {
            if (((opened.image()[a] ^ image.bytes[a]) >> bit) & 1) {
                EXPECT_TRUE(derived(a, bit)) << "byte 0x" << std::hex << a << " bit " << bit;
            }
        }
    }
}

// What show prints, set back line by line, is taken and leaves every byte.
TEST_P(ImageCorpus, EveryShownLineSetBackLeavesTheImageByteForByte)
{
    const PagerDocument opened(testing::corpusImage(GetParam()).bytes);
    std::vector<FieldAssignment> lines;
    for (const FieldEntry& e : fieldCatalog().entries())
        if (e.set)
            lines.push_back({e.name, unescapedText(escapedText(e.show(opened))).value()});
    PagerDocument edited(opened);
    const AssignmentsResult result = applyAssignments(edited, lines);
    EXPECT_TRUE(result.ok() && !result.changed) << lines[result.index].name << ": " << result.message;
    EXPECT_EQ(edited.image(), opened.image());
}

INSTANTIATE_TEST_SUITE_P(Files, ImageCorpus, ::testing::ValuesIn(testing::imageCorpusNames()),
                         testing::corpusTestName);

} // namespace
} // namespace px316t
