#include "editor/prompt_rules.h"

#include <gtest/gtest.h>

#include <string>

using namespace px316t;

namespace {

std::vector<std::uint8_t> bytesOf(const PagerTable& t, int from, int count)
{
    return {t.begin() + from, t.begin() + from + count};
}

// Every byte outside [from, from + count) is as in `before`.
::testing::AssertionResult onlyChanged(const PagerTable& before, const PagerTable& after, int from, int count)
{
    for (int i = 0; i < PagerTableSize; ++i)
        if ((i < from || i >= from + count) && before[i] != after[i])
            return ::testing::AssertionFailure() << "byte " << i << " changed";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(Windows1252, EveryByteIsOneCharacterAndComesBack)
{
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        const std::string text = windows1252ToUtf8({&byte, 1});
        EXPECT_EQ(characterCount(text), 1) << b;
        EXPECT_EQ(utf8ToWindows1252(text), std::vector<std::uint8_t>{byte}) << b;
    }
    // Where Windows-1252 and Latin-1 part ways.
    const std::uint8_t euroAndY[] = {0x80, 0x8A, 0x9F, 0xA0, 0xFF};
    EXPECT_EQ(windows1252ToUtf8(euroAndY), "\u20AC\u0160\u0178\u00A0\u00FF");
    EXPECT_EQ(utf8ToWindows1252("\u0080\u009F"), (std::vector<std::uint8_t>{'?', '?'}));
}

TEST(Windows1252, UnmappableCharactersBecomeOneQuestionMarkEach)
{
    EXPECT_EQ(utf8ToWindows1252("A\u65E5\U0001F600\u0101Z"), (std::vector<std::uint8_t>{'A', '?', '?', '?', 'Z'}));
    // Malformed UTF-8: a stray continuation byte, a cut sequence, an encoded surrogate.
    EXPECT_EQ(utf8ToWindows1252("\x80" "a\xE2\x82"), (std::vector<std::uint8_t>{'?', 'a', '?', '?'}));
    EXPECT_EQ(utf8ToWindows1252("\xED\xA0\x80"), (std::vector<std::uint8_t>{'?', '?', '?'}));
}

TEST(PromptCommit, StoresLeadingSpacesAsCodeAndNeverTrailingOnes)
{
    PagerTable t = makeDefaultPagerTable();
    const int at = promptRecordOffset(2);   // attribute nibble 4 in the English set
    commitPromptText(t, 2, "  HELLO  ");
    EXPECT_EQ(bytesOf(t, at, 7), (std::vector<std::uint8_t>{0x43, 5, 'H', 'E', 'L', 'L', 'O'}));
    EXPECT_EQ(readPromptText(t, 2), "  HELLO");

    commitPromptText(t, 2, "");
    EXPECT_EQ(bytesOf(t, at, 2), (std::vector<std::uint8_t>{0x41, 0}));
    commitPromptText(t, 2, "   ");
    EXPECT_EQ(bytesOf(t, at, 2), (std::vector<std::uint8_t>{0x44, 0}));
    EXPECT_EQ(readPromptText(t, 2), "   ");

    // At most 14 leading spaces: 13 stay 13, 14 and more become 14.
    for (int spaces : {13, 14, 16, 20}) {
        commitPromptText(t, 2, std::string(spaces, ' ') + "AB");
        EXPECT_EQ(readPromptText(t, 2), std::string(std::min(spaces, 14), ' ') + "AB") << spaces;
    }
}

TEST(PromptCommit, NeverWritesOutsideItsRecord)
{
    PagerTable t = makeDefaultPagerTable();
    t.fill(0xA5);
    const PagerTable before = t;
    const int at = promptRecordOffset(LastPrompt);
    commitPromptText(t, LastPrompt, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_TRUE(onlyChanged(before, t, at, PromptRecordSize));
    EXPECT_EQ(t[at + 1], 18);
    EXPECT_EQ(readPromptText(t, LastPrompt), "ABCDEFGHIJKLMNOPQR");

    // Cut at 18, the text ends in a space: that space is not kept either.
    commitPromptText(t, LastPrompt, "ABCDEFGHIJKLMNOPQ RST");
    EXPECT_EQ(readPromptText(t, LastPrompt), "ABCDEFGHIJKLMNOPQ");

    // A short text leaves the rest of the record as it was.
    const PagerTable beforeShort = t;
    commitPromptText(t, 1, "AB");
    EXPECT_TRUE(onlyChanged(beforeShort, t, promptRecordOffset(1), 4));
    const PagerTable beforeOutside = t;
    commitPromptText(t, PromptRecordCount, "outside");
    commitPromptText(t, -1, "outside");
    EXPECT_EQ(t, beforeOutside);
}

TEST(PromptRead, StoredLengthBeyondTheRecordShowsTheRecordOnly)
{
    PagerTable t{};
    t.fill('x');
    const int at = promptRecordOffset(LastPrompt);
    t[at] = 0x00;
    t[at + 1] = 0xFF;
    EXPECT_EQ(readPromptText(t, LastPrompt), std::string(18, 'x'));
    t[at] = 0x0F;
    t[at + 1] = 2;
    EXPECT_EQ(readPromptText(t, LastPrompt), std::string(14, ' ') + "xx");
}

TEST(PromptAlign, PadsWithinTheBoxAndNeverBeyondIt)
{
    EXPECT_EQ(alignPromptText("  ABCD ", PromptAlignment::Left, 20), "ABCD");
    EXPECT_EQ(alignPromptText("ABCD", PromptAlignment::Center, 20), std::string(8, ' ') + "ABCD");
    EXPECT_EQ(alignPromptText("ABC", PromptAlignment::Center, 20), std::string(8, ' ') + "ABC");
    EXPECT_EQ(alignPromptText(" ABCD", PromptAlignment::Right, 20), std::string(16, ' ') + "ABCD");
    // Characters, not bytes, take the room.
    EXPECT_EQ(alignPromptText("\u00C9T\u00C9", PromptAlignment::Right, 15), std::string(12, ' ') + "\u00C9T\u00C9");
    const std::string longLogo = "ABCDEFGHIJKLMNOPQ";
    EXPECT_EQ(alignPromptText(longLogo, PromptAlignment::Center, 15), longLogo);
    EXPECT_EQ(alignPromptText(longLogo, PromptAlignment::Right, 15), longLogo);
}

TEST(PromptSets, LanguageReplacesAllRecordsAndBothNibbles)
{
    PagerTable t = makeDefaultPagerTable();
    t[0x3A] = 0xF2;
    t[0x3E] = 0x52;
    commitPromptText(t, LogoPrompt, "MINE");
    const PagerTable before = t;
    loadPromptLanguage(t, PromptLanguage::Portuguese);
    EXPECT_EQ(t[0x3A], 0xF7);
    EXPECT_EQ(t[0x3E], 0x57);
    const auto& set = PromptSet(PromptLanguage::Portuguese);
    EXPECT_TRUE(std::equal(set.begin(), set.end(), t.begin() + PromptRegionStart));
    EXPECT_EQ(storedPromptLanguage(t), PromptLanguage::Portuguese);
    t[0x3A] = before[0x3A];
    t[0x3E] = before[0x3E];
    EXPECT_TRUE(onlyChanged(before, t, PromptRegionStart, PromptBlockSize));

    // Default takes the English record whatever set is loaded.
    restoreDefaultPrompt(t, 9);
    EXPECT_EQ(readPromptText(t, 9), "      SET TIME");
    EXPECT_EQ(readPromptText(t, 8), " ROLLO DE MENSAGEM");
    EXPECT_FALSE(promptLanguageFromCode(3).has_value());
}
