#include "table/builtin_tables.h"

#include <gtest/gtest.h>

#include <string>

using namespace px316t;

namespace {
std::string recordText(const std::array<std::uint8_t, PromptBlockSize>& set, int record)
{
    const std::uint8_t* r = set.data() + record * PromptRecordSize;
    return std::string(reinterpret_cast<const char*>(r + 2), r[1]);
}
std::string recordPadding(const std::array<std::uint8_t, PromptBlockSize>& set, int record)
{
    const std::uint8_t* r = set.data() + record * PromptRecordSize;
    return std::string(reinterpret_cast<const char*>(r + 2 + r[1]), PromptRecordSize - 2 - r[1]);
}
} // namespace

TEST(DefaultImage, IsTheThreeBlocksInOrder)
{
    const PagerTable t = makeDefaultPagerTable();
    ASSERT_EQ(t.size(), 912u);
    const auto& config = DefaultConfigBlock();
    const auto& english = PromptSet(PromptLanguage::English);
    const auto& trailer = DefaultTrailerBlock();
    EXPECT_EQ(config.size() + english.size() + trailer.size(), 912u);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(t[i], config[i]) << i;
    for (int i = 0; i < 580; ++i)
        ASSERT_EQ(t[0x100 + i], english[i]) << i;
    for (int i = 0; i < 76; ++i)
        ASSERT_EQ(t[0x344 + i], trailer[i]) << i;
}

TEST(DefaultImage, SettingsItEncodes)
{
    const PagerTable t = makeDefaultPagerTable();
    for (int k = 0; k < 16; ++k) {      // every slot: short 1234567 = word 0x135687
        EXPECT_EQ(t[0xB0 + 4 * k], 0x80 + k);
        EXPECT_EQ(t[0xB1 + 4 * k], 0x13);
        EXPECT_EQ(t[0xB2 + 4 * k], 0x56);
        EXPECT_EQ(t[0xB3 + 4 * k], 0x87);
    }
    EXPECT_EQ(t[0x73], 0x01);
    EXPECT_EQ(t[0x38], 0xFE);
    EXPECT_EQ(t[0x37], 0xFF);
    EXPECT_EQ(GetBits(t, 0x3E, 0, 4), 2);
    EXPECT_EQ(GetBits(t, 0x3E, 4, 4), 15);
    EXPECT_EQ(readBigEndian32(t, 0xF0), 9280125u);
    EXPECT_EQ(readBigEndian32(t, 0xF4), 9310125u);
    EXPECT_EQ(t[0x369], 4);
    EXPECT_EQ(t[0x383], 8);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(t[0x373 + k], 0);
    for (int i = 0x36C; i <= 0x36F; ++i)
        EXPECT_LE(t[i], 9) << "password digits are decimal";
}

TEST(PromptSets, LogoLengthsAndLanguageCodes)
{
    EXPECT_EQ(recordText(PromptSet(PromptLanguage::English), 0), "QUORVA  ");
    EXPECT_EQ(recordText(PromptSet(PromptLanguage::French), 0), "QUORVA  ");
    EXPECT_EQ(recordText(PromptSet(PromptLanguage::Spanish), 0), "QUORVA");
    EXPECT_EQ(recordText(PromptSet(PromptLanguage::Portuguese), 0), "QUORVA");
    EXPECT_EQ(promptLanguageCode(PromptLanguage::English), 2);
    EXPECT_EQ(promptLanguageCode(PromptLanguage::Spanish), 5);
    EXPECT_EQ(promptLanguageCode(PromptLanguage::French), 6);
    EXPECT_EQ(promptLanguageCode(PromptLanguage::Portuguese), 7);
}

TEST(PromptSets, EveryRecordFitsAndIsPaddedWithSpaces)
{
    for (auto lang : {PromptLanguage::English, PromptLanguage::Spanish, PromptLanguage::French,
                      PromptLanguage::Portuguese}) {
        const auto& set = PromptSet(lang);
        for (int r = 0; r < PromptRecordCount; ++r) {
            const std::uint8_t* rec = set.data() + r * PromptRecordSize;
            ASSERT_LE(rec[1], 18) << r;
            if (lang == PromptLanguage::French && (r == 5 || r == 17 || r == 22 || r == 26))
                continue;
            EXPECT_EQ(recordPadding(set, r), std::string(PromptRecordSize - 2 - rec[1], ' ')) << r;
        }
    }
}

TEST(PromptSets, FrenchPaddingTravelsWithTheRecords)
{
    const auto& fr = PromptSet(PromptLanguage::French);
    EXPECT_EQ(recordText(fr, 5), "EFFACEMENT");
    EXPECT_EQ(recordPadding(fr, 5), "LETE    ");
    EXPECT_EQ(recordPadding(fr, 17), "TE ?  ");
    EXPECT_EQ(recordPadding(fr, 22), " SET    ");
    EXPECT_EQ(recordPadding(fr, 26), "EP");
    EXPECT_EQ(fr[13 * PromptRecordSize], 0x01);                 // TON UNIQUEMENT
    EXPECT_EQ(recordText(fr, 25), "ZONE BOITE LETTRES");
}

TEST(BandPresets, PresetEDiffersFromTheDefaultBlockOnlyInIncd)
{
    const auto& e = bandPreset(BandPresetId::E);
    for (int i = 0; i < 16; ++i) {
        if (i == 0x0D)
            EXPECT_EQ(e.synthesizer[i], 0x04);
        else
            EXPECT_EQ(e.synthesizer[i], DefaultConfigBlock()[i]) << i;
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(e.frequencies[i], DefaultConfigBlock()[0xF0 + i]);
}

TEST(BoardStrings, LengthsTagsAndChecksums)
{
    struct Case { const Bytes& bytes; std::size_t length; };
    const Case cases[] = {{ReadCommandHead(), 13}, {WriteCommandHead(), 12}, {WriteAck(), 16},
                          {SettingCommandHead(), 14}, {SettingAck(), 16}, {QueryCommand(), 18},
                          {QueryReplyHead(), 13}};
    for (const auto& c : cases) {
        ASSERT_EQ(c.bytes.size(), c.length);
        EXPECT_EQ(std::string(c.bytes.begin(), c.bytes.begin() + 10), "Quorvalent");
    }
    // Complete frames carry the 16-bit sum of the bytes from the command code on.
    for (const Bytes* frame : {&WriteAck(), &SettingAck(), &QueryCommand()}) {
        unsigned sum = 0;
        for (std::size_t i = 10; i + 2 < frame->size(); ++i)
            sum += (*frame)[i];
        EXPECT_EQ((*frame)[frame->size() - 2], (sum >> 8) & 0xFF);
        EXPECT_EQ((*frame)[frame->size() - 1], sum & 0xFF);
    }
}
