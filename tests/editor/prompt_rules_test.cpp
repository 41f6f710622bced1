#include "editor/prompt_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace px316t;

using ByteList = std::vector<std::uint8_t>;

TEST(Windows1252, EveryByteIsOneCharacterAndComesBack)
{
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        const std::string text = windows1252ToUtf8({&byte, 1});
        EXPECT_EQ(characterCount(text), 1) << b;
        EXPECT_EQ(utf8ToWindows1252(text), ByteList{byte}) << b;
    }
    // Where Windows-1252 and Latin-1 part ways.
    const std::uint8_t bytes[] = {0x80, 0x8A, 0x9F, 0xA0, 0xFF};
    EXPECT_EQ(windows1252ToUtf8(bytes), "\u20AC\u0160\u0178\u00A0\u00FF");
    EXPECT_EQ(utf8ToWindows1252("\u0080\u009F"), (ByteList{'?', '?'}));
}

TEST(Windows1252, UnmappableCharactersBecomeOneQuestionMarkEach)
{
    EXPECT_EQ(utf8ToWindows1252("A\u65E5\U0001F600\u0101Z"), (ByteList{'A', '?', '?', '?', 'Z'}));
    // Malformed UTF-8: a stray continuation byte, a cut sequence, an encoded surrogate.
    EXPECT_EQ(utf8ToWindows1252("\x80" "a\xE2\x82"), (ByteList{'?', 'a', '?', '?'}));
    EXPECT_EQ(utf8ToWindows1252("\xED\xA0\x80"), (ByteList{'?', '?', '?'}));
}

TEST(PromptRecord, CommitStaysInsideTheRecord)
{
    PagerTable t{};
    t.fill(0xA5);
    const PagerTable before = t;
    const int at = promptRecordOffset(LastPrompt);
    commitPromptText(t, LastPrompt, std::string(20, ' ') + "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(t[at], 0xAF) << "attribute kept, 14 leading spaces";
    EXPECT_EQ(readPromptText(t, LastPrompt), std::string(14, ' ') + "ABCDEFGHIJKLMNOPQR");
    for (int i = 0; i < PagerTableSize; ++i) {
        if (i < at || i >= at + PromptRecordSize) {
            EXPECT_EQ(t[i], before[i]) << "byte " << i;
        }
    }

    // Cut at 18 characters the text ends in a space, which is not kept either.
    commitPromptText(t, LastPrompt, "ABCDEFGHIJKLMNOPQ RST");
    EXPECT_EQ(readPromptText(t, LastPrompt), "ABCDEFGHIJKLMNOPQ");
    for (int spaces : {13, 14}) {
        commitPromptText(t, 1, std::string(spaces, ' ') + "AB  ");
        EXPECT_EQ(readPromptText(t, 1), std::string(spaces, ' ') + "AB");
    }
    const PagerTable kept = t;
    commitPromptText(t, PromptRecordCount, "outside");
    commitPromptText(t, -1, "outside");
    EXPECT_EQ(t, kept);
}

TEST(PromptRecord, StoredLengthBeyondTheRecordShowsTheRecordOnly)
{
    PagerTable t{};
    t.fill('x');
    const int at = promptRecordOffset(LastPrompt);
    t[at] = 0x00;
    t[at + 1] = 0xFF;
    EXPECT_EQ(readPromptText(t, LastPrompt), std::string(18, 'x'));
}

TEST(PromptAlign, CountsCharactersAndNeverPadsBeyondTheBox)
{
    EXPECT_EQ(alignPromptText(" \u00C9T\u00C9 ", PromptAlignment::Right, 15), std::string(12, ' ') + "\u00C9T\u00C9");
    EXPECT_EQ(alignPromptText("ABC", PromptAlignment::Center, 20), std::string(8, ' ') + "ABC");
    const std::string longLogo = "ABCDEFGHIJKLMNOPQ";
    EXPECT_EQ(alignPromptText(longLogo, PromptAlignment::Center, 15), longLogo);
    EXPECT_EQ(alignPromptText(longLogo, PromptAlignment::Right, 15), longLogo);
}

// Every text of code-page characters comes back from its one-line form, which
// holds no character that shows nothing; composing keeps such texts as they are.
TEST(PromptText, OneLineFormComesBackForEveryByteString)
{
    std::uint32_t seed = 7;
    for (int round = 0; round < 500; ++round) {
        ByteList bytes(round % 24);
        for (auto& b : bytes) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(seed >> 16);
        }
        const std::string text = windows1252ToUtf8(bytes);
        const std::string line = escapedText(text);
        for (unsigned char c : line)
            ASSERT_TRUE(c >= 0x20 && c != 0x7F) << line;
        EXPECT_EQ(unescapedText(line), text);
        EXPECT_EQ(composedText(text), text);
        EXPECT_FALSE(characterOutsideCodePage(text));
    }
    EXPECT_EQ(escapedText("a\\b\n\x01\xC2\xA0"), "a\\\\b\\n\\x01\\xA0");
    EXPECT_EQ(composedText("e\xCC\x81"), "\xC3\xA9");
    EXPECT_EQ(characterOutsideCodePage("a\xE2\x82\xAC\xE6\x97\xA5"), "\xE6\x97\xA5");
    for (const char* bad : {"\\", "\\q", "\\x", "\\x4", "\\xG0"})
        EXPECT_FALSE(unescapedText(bad)) << bad;
}

TEST(PromptBoxText, ControlBytesShowAsPicturesAndEveryByteComesBack)
{
    std::vector<std::uint8_t> all(256);
    for (int b = 0; b < 256; ++b)
        all[b] = static_cast<std::uint8_t>(b);
    const std::string shown = withControlPictures(windows1252ToUtf8(all));
    EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
    EXPECT_EQ(shown.substr(0, 9), "\u2400\u2401\u2402");
    EXPECT_EQ(utf8ToWindows1252(withoutControlPictures(shown)), all);
    EXPECT_EQ(withoutControlPictures("\u2420\u2421\xE2\x90"), "\u2420\u2421\xE2\x90") << "no picture of a byte";
    // A paste never brings a picture in, so it can never store the byte pictured.
    EXPECT_EQ(pastedPromptText("A\u2400B\u241F\u2420\u2421C\u2422\u23FF\xE2\x90"), "ABC\u2422\u23FF\xE2\x90");
}
