// Where the file dialogs start, and the table file named on the command line.
#include "support/form1_fixture.h"

#include "table/builtin_tables.h"
#include "ui/frequency_panel.h"
#include "ui/file_places.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

using namespace px316t;
using px316t::testing::Form1Fixture;

namespace {

// An installed program: its folder is not the user's to write in.
class InstalledProgram : public Form1Fixture {
protected:
    void customize(ApplicationOptions& services) override
    {
        QDir(dir.path()).mkpath(QStringLiteral("bin"));
        QDir(dir.path()).mkpath(QStringLiteral("Documents"));
        services.appFolder = folder("bin");
        services.documentsFolder = folder("Documents");
        services.folderWritable = [program = folder("bin")](const QString& f) { return f != program; };
    }
    QString folder(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    QString openDialogFolder()
    {
        form->mnuLBFF_Click();   // no scripted answer: cancelled
        return files.lastFolder;
    }
};

} // namespace

TEST_F(InstalledProgram, DialogsStartInTheLastFolderUsedAndRememberItAcrossRuns)
{
    EXPECT_EQ(openDialogFolder(), folder("Documents")) << "the first time";

    QDir(dir.path()).mkpath(QStringLiteral("work/tray"));
    files.paths.push_back(folder("work/tray/a.tbl"));
    form->mnuSBTF_Click();
    ASSERT_TRUE(QFile::exists(folder("work/tray/a.tbl")));
    EXPECT_EQ(openDialogFolder(), folder("work/tray"));

    start(LinkKind::USB);   // the next run, with the same registry store
    EXPECT_EQ(openDialogFolder(), folder("work/tray"));
    files.paths.push_back(folder("Documents/none.tbl"));
    form->mnuLBFF_Click();   // a chosen name counts even when the file is missing
    EXPECT_EQ(openDialogFolder(), folder("Documents"));

    QDir(folder("work")).removeRecursively();
    files.paths.push_back(folder("work/tray/a.tbl"));
    form->mnuLBFF_Click();
    EXPECT_EQ(openDialogFolder(), folder("Documents")) << "a folder that is gone is no place to start";
}

TEST(FilePlaces, ProgramFolderOnlyWhenTheUserMayWriteInIt)
{
    QTemporaryDir dir;
    const QString documents = dir.path() + QStringLiteral("/Documents");
    QDir(dir.path()).mkpath(QStringLiteral("Documents"));
    // The file system's own answer: a temporary folder is writable, a missing one is not.
    EXPECT_EQ(FilePlaces(dir.path(), documents).dialogFolder(nullptr), dir.path());
    EXPECT_EQ(FilePlaces(dir.path() + QStringLiteral("/gone"), documents).dialogFolder(nullptr), documents);
    EXPECT_EQ(FilePlaces(dir.path() + QStringLiteral("/gone"), dir.path() + QStringLiteral("/no-docs"))
                  .dialogFolder(nullptr),
              QDir::homePath());
}

TEST(FilePlaces, TableFileArgument)
{
    const QString cwd = QDir::currentPath();
    const struct {
        QStringList arguments;
        std::optional<QString> file;
    } cases[] = {
        {{"px316t"}, std::nullopt},
        {{"px316t", "/data/a.tbl"}, QString("/data/a.tbl")},
        {{"px316t", "a.tbl"}, cwd + "/a.tbl"},
        {{"px316t", "--lpt-simulated", "m.tbl", "--lpt-vcd", "b.vcd", "/x/b.tbl"}, QString("/x/b.tbl")},
        {{"px316t", "--lpt-simulated", "m.tbl"}, std::nullopt},
        {{"px316t", "--", "-odd.tbl"}, cwd + "/-odd.tbl"},
        {{"px316t", "/one.tbl", "/two.tbl"}, QString("/one.tbl")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tableFileArgument(c.arguments), c.file) << c.arguments.join(' ').toStdString();
}

TEST_F(Form1Fixture, FileArgumentLoadsAsFileOpenDoes)
{
    PagerTable image = makeDefaultPagerTable();
    image[0xF1] = 0x44;   // the 400-499MHz band, with no preset applied
    image[0x40] = 0x5A;
    const QString path = dir.path() + QStringLiteral("/started with.tbl");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(image.data()), PagerTableSize);
    file.close();

    const auto argument = tableFileArgument({QStringLiteral("px316t"), path});
    ASSERT_TRUE(argument);
    form->openTableFile(*argument);
    EXPECT_EQ(table()[0x40], 0x5A);
    EXPECT_EQ(table()[0xF1], 0x44);
    EXPECT_EQ(form->frequency().cboDft->currentText(), "400-499MHz");
    EXPECT_TRUE(messages.texts().isEmpty());

    form->openTableFile(dir.path() + QStringLiteral("/missing.tbl"));
    EXPECT_EQ(messages.texts(), QStringList{"This file is not exit!"});
    EXPECT_EQ(table()[0x40], 0x5A);
}
