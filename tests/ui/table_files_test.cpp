// File > Open and File > Save through the file-dialog seam.
#include "support/form1_fixture.h"

#include "editor/frame_mask.h"
#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"
#include "table/builtin_tables.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>

#include <map>
#include <optional>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

class TableFiles : public Form1Fixture {
protected:
    QString path(const QString& name) { return dir.path() + QLatin1Char('/') + name; }
    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readFile(const QString& name)
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void open(const QString& name)
    {
        files.paths.push_back(path(name));
        form->mnuLBFF_Click();
    }
    void save(const QString& name)
    {
        files.paths.push_back(path(name));
        form->mnuSBTF_Click();
    }
    QByteArray imageBytes() { return QByteArray(reinterpret_cast<const char*>(table().data()), PagerTableSize); }
};

} // namespace

TEST_F(TableFiles, SaveThenLoadGivesTheSameImage)
{
    enter(form->capcodes().txtAddr[3], "765432");
    save("a.tbl");
    EXPECT_EQ(files.lastFolder, dir.path());
    EXPECT_EQ(files.lastFilter, "Table files (*.tbl)|*.tbl");
    const QByteArray saved = readFile("a.tbl");
    ASSERT_EQ(saved.size(), 912);
    EXPECT_EQ(saved, imageBytes());

    table() = makeDefaultPagerTable();
    form->init_ctl();
    open("a.tbl");
    EXPECT_EQ(imageBytes(), saved);
    EXPECT_EQ(form->capcodes().txtAddr[3]->text(), "0765432");
}

TEST_F(TableFiles, ShortFileReplacesOnlyItsBytesAndLongFileItsFirst912)
{
    const auto before = table();
    // The first 100 bytes of the image with the bytes no setting interprets marked.
    QByteArray shortFile = imageBytes().left(100);
    for (int i = 0x40; i < 0x64; ++i)
        shortFile[i] = '\x5A';
    writeFile("short.tbl", shortFile);
    open("short.tbl");
    for (int i = 0; i < PagerTableSize; ++i) {
        const std::uint8_t expected = i >= 0x40 && i < 0x64 ? 0x5A : before[i];
        ASSERT_EQ(table()[i], expected) << i;
    }

    QByteArray big(1000, '\0');
    for (int i = 0; i < 1000; ++i)
        big[i] = static_cast<char>(i * 7);
    writeFile("big.tbl", big);
    open("big.tbl");
    EXPECT_EQ(table()[911], static_cast<std::uint8_t>(911 * 7));
    EXPECT_EQ(table()[0], 0);
}

TEST_F(TableFiles, BandFollowsTheImageWithoutAPreset)
{
    struct Case { std::uint8_t f1; int band; };
    for (const Case c : {Case{0x14, 0}, Case{0x44, 1}, Case{0x2F, 1}, Case{0x8D, 2}}) {
        QByteArray bytes = imageBytes();
        for (int i = 0; i < 16; ++i)
            bytes[i] = static_cast<char>(0x30 + i);   // no preset looks like this
        bytes[0xF1] = static_cast<char>(c.f1);
        writeFile("band.tbl", bytes);
        open("band.tbl");
        EXPECT_EQ(form->frequency().cboDft->currentIndex(), c.band) << int(c.f1);
        EXPECT_EQ(table()[0], 0x30) << "no preset was applied";
        EXPECT_EQ(table()[0xF1], c.f1);
        EXPECT_FALSE(form->frequency().PresetSuppressed());
    }
}

TEST_F(TableFiles, LoadRefreshesCapcodeLengths)
{
    PagerTable image = makeDefaultPagerTable();
    // Pair 2 long: 3000000000.
    image[0xB1 + 16] = 0x40 | 0x1F; image[0xB2 + 16] = 0x83; image[0xB3 + 16] = 0xEF;
    writeFile("long.tbl", QByteArray(reinterpret_cast<const char*>(image.data()), 912));
    open("long.tbl");
    EXPECT_EQ(form->capcodes().cboCapLen[2]->currentIndex(), 1);
    EXPECT_TRUE(form->capcodes().txtAddr[5]->isHidden());
}

TEST_F(TableFiles, LoadingKeepsEveryByteWhateverTheScreenShowedBefore)
{
    // The screen shows pair 1 as Long; the file holds it short, with capcodes 1
    // and 2 differing in type, priority and alert length.
    form->capcodes().cboCapLen[0]->setCurrentIndex(1);
    PagerTable image = makeDefaultPagerTable();
    PutBits(image, 0x34, 0, 0, 1);        // capcode 1: priority alert, capcode 2: none
    PutBits(image, 0x38, 0, 1, 1);        // capcode 1: Mail drop, capcode 2: Personal
    PutBits(image, 0x38, 1, 0, 1);
    image[0x0D] = 0x04;                   // as the top band preset has it
    writeFile("layout.tbl", QByteArray(reinterpret_cast<const char*>(image.data()), 912));
    open("layout.tbl");
    for (int i = 0; i < PagerTableSize; ++i)
        ASSERT_EQ(table()[i], image[i]) << "byte " << i;
    EXPECT_EQ(form->capcodes().cboCapLen[0]->currentIndex(), 0);
}

TEST_F(TableFiles, ImageAfterALoadDependsOnTheFileAlone)
{
    auto variant = [](auto change) {
        PagerTable image = makeDefaultPagerTable();
        change(image);
        return QByteArray(reinterpret_cast<const char*>(image.data()), 912);
    };
    const std::map<QString, QByteArray> images = {
        {"long.tbl", variant([](PagerTable& t) {   // pair 1 long: capcode 2101249
             t[0xB1] = 0x40, t[0xB2] = 0x00, t[0xB3] = 0x01, t[0xB5] = 0x5F, t[0xB6] = 0xFF, t[0xB7] = 0xFE;
         })},
        {"types.tbl", variant([](PagerTable& t) { t[0x38] = 0xFF, t[0x34] = 0x00, t[0x73] = 0xFF; })},
        {"alerts.tbl", variant([](PagerTable& t) {   // pair 2 long, alert lengths differ, contrast 0
             t[0xB9] = 0x40, t[0xBA] = 0x00, t[0xBB] = 0x01, t[0xBD] = 0x5F, t[0xBE] = 0xFF, t[0xBF] = 0xFE;
             t[0x3B] |= 0x40, t[0x38] = 0x04, t[0x375] = 16, t[0x376] = 1, t[0x369] = 0;
         })},
        {"contrast.tbl", variant([](PagerTable& t) { t[0x369] = 9, t[0x376] = 16, t[0x34] = 0x05; })},
    };
    for (const auto& [name, bytes] : images)
        writeFile(name, bytes);
    for (const auto& [name, bytes] : images) {
        std::optional<QByteArray> first;
        for (const auto& [before, unused] : images) {
            open(before);
            open(name);
            if (!first)
                first = imageBytes();
            EXPECT_EQ(imageBytes(), *first) << name.toStdString() << " after " << before.toStdString();
        }
        // What this program saved loads and saves byte for byte.
        save("saved.tbl");
        open("types.tbl");
        open("saved.tbl");
        EXPECT_EQ(imageBytes(), readFile("saved.tbl")) << name.toStdString();
    }
}

TEST_F(TableFiles, FramesComeFromTheImageNotFromAnEarlierFieldText)
{
    PagerTable image = makeDefaultPagerTable();
    image[0xB9] = 0x00, image[0xBA] = 0x80, image[0xBB] = 0x10;   // capcode 3 = 16: frame 1
    writeFile("sixteen.tbl", QByteArray(reinterpret_cast<const char*>(image.data()), 912));
    image = makeDefaultPagerTable();
    image[0xB5] = 0x53;   // a long-word flag on slot 2, which makes the display skip capcode 3
    image[0x73] = 0x05;   // capcodes 1 and 3 enabled
    writeFile("oddflag.tbl", QByteArray(reinterpret_cast<const char*>(image.data()), 912));
    open("sixteen.tbl");
    open("oddflag.tbl");
    EXPECT_EQ(readFrameMask(table()), 0x0100);
    EXPECT_EQ(table()[0x93 + 4 * 7], 0x00);
    EXPECT_EQ(form->frequency().lblFrame->text(), "0100");
    EXPECT_EQ(form->capcodes().txtAddr[2]->text(), "") << "a skipped field shows nothing stale";
}

TEST_F(TableFiles, NamesInAccentsGreekAndCjkAreSavedAndOpenedAsTheyAre)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("J\u00fcrgen")));
    const QString name = QStringLiteral("J\u00fcrgen/Pr\u00fcfung \u03a9 \u8868\u683c.tbl");
    enter(form->capcodes().txtAddr[3], "765432");
    save(name);
    EXPECT_EQ(QDir(path(QStringLiteral("J\u00fcrgen"))).entryList(QDir::Files),
              QStringList{QStringLiteral("Pr\u00fcfung \u03a9 \u8868\u683c.tbl")});
    const QByteArray saved = readFile(name);
    EXPECT_EQ(saved, imageBytes());

    table() = makeDefaultPagerTable();
    open(name);
    EXPECT_EQ(imageBytes(), saved);
    EXPECT_TRUE(messages.messages.empty());
}

// A file saved without an extension is found again (Open lists every file
// too), and the title names the file the window last opened or saved.
TEST_F(TableFiles, TheTitleNamesTheFileAndOpenListsEveryFile)
{
    const QString program = form->windowTitle();
    save("saved1");
    EXPECT_EQ(form->windowTitle(), program + " - saved1");
    open("nothing-here");
    EXPECT_EQ(form->windowTitle(), program + " - saved1") << "a failed open names no file";
    EXPECT_TRUE(files.lastFilter.contains("All files (*)|*")) << files.lastFilter.toStdString();
}

TEST_F(TableFiles, MissingFileAndCancel)
{
    const auto before = table();
    open("nothing-here.tbl");
    EXPECT_EQ(messages.texts(), QStringList{"This file is not exit!"});
    form->mnuLBFF_Click();   // no scripted path: the operator cancels
    form->mnuSBTF_Click();
    EXPECT_EQ(table(), before);
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(TableFiles, NoAtTheOverwriteQuestionLeavesTheFile)
{
    writeFile("keep.tbl", "old contents");
    messages.answers.push_back(false);
    save("keep.tbl");
    ASSERT_EQ(messages.questions.size(), 1);
    EXPECT_EQ(messages.questions[0], "This file is arealy exist ! \r\nAre you sure overwrite this file?");
    EXPECT_EQ(readFile("keep.tbl"), "old contents");

    messages.answers.push_back(true);
    save("keep.tbl");
    EXPECT_EQ(readFile("keep.tbl"), imageBytes());
}

TEST_F(TableFiles, FailingSaveKeepsTheOldFileAndSaysSo)
{
    writeFile("blocker", "a file, not a folder");
    save("blocker/inside.tbl");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MessageBoxes::Icon::Warning);
    EXPECT_EQ(readFile("blocker"), "a file, not a folder");

    QDir(dir.path()).mkdir("folder.tbl");
    messages.clear();
    messages.answers.push_back(true);
    save("folder.tbl");
    EXPECT_EQ(messages.messages.size(), 1u) << "a folder of that name is reported";
    EXPECT_TRUE(QFileInfo(path("folder.tbl")).isDir());
}

TEST_F(TableFiles, SaveCommitsTheFieldBeingTyped)
{
    typeInto(form->capcodes().txtAddr[6], "4321");
    save("typed.tbl");
    const QByteArray saved = readFile("typed.tbl");
    ASSERT_EQ(saved.size(), 912);
    EXPECT_EQ(static_cast<std::uint8_t>(saved[0xB3 + 24]), (4321 + 32768) & 0xFF);
    EXPECT_EQ(form->capcodes().txtAddr[6]->text(), "0004321");
}

TEST_F(TableFiles, RefusedEntrySavesNothing)
{
    typeInto(form->frequency().txtFreq, "1000");   // outside the top band
    save("refused.tbl");
    EXPECT_FALSE(QFile::exists(path("refused.tbl")));
    EXPECT_EQ(messages.texts().value(0), "Frequency setting error(9280000 < = Frequency < =9320000 )");
    EXPECT_FALSE(form->document().flags().EntryRejected) << "the dropped save consumed the flag";
}

TEST_F(TableFiles, RefusalReportedEarlierDoesNotDropSaveOrOpen)
{
    QLineEdit* capcode = form->capcodes().txtAddr[0];
    typeInto(capcode, "2031615");
    leaveField();
    ASSERT_EQ(messages.texts(), QStringList{"Invalid Capcode!"});
    leaveField();   // the field shows the stored capcode again
    messages.clear();
    save("after.tbl");
    EXPECT_EQ(readFile("after.tbl"), imageBytes());
    EXPECT_TRUE(messages.texts().isEmpty());

    typeInto(form->frequency().txtFreq, "1000");   // refused by Open's own commit
    open("after.tbl");
    EXPECT_EQ(files.paths.size(), 1u) << "no open dialog after the refusal";
    EXPECT_EQ(messages.texts().size(), 1);
}
