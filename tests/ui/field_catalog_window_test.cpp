// The command line's field catalogue and the window agree on every field: the
// value shown, and the image and message a change leaves.
#include "support/form1_fixture.h"

#include "editor/band_rules.h"
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"
#include "images/image_corpus.h"
#include "table/builtin_tables.h"
#include "table/table_file.h"
#include "ui/capcode_list.h"
#include "ui/control_list.h"
#include "ui/ct_eb_slider.h"
#include "ui/binding/field_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>

#include <random>

using namespace px316t;

namespace {

QString onOff(const QCheckBox* box) { return box->isChecked() ? "on" : "off"; }

// The bytes where the window's image and the command line's differ.
std::string differences(const PagerTable& window, const PagerTable& cli)
{
    std::string text;
    char item[32];
    for (int a = 0; a < PagerTableSize; ++a)
        if (window[a] != cli[a]) {
            std::snprintf(item, sizeof item, " 0x%03X: %02X/%02X", a, window[a], cli[a]);
            text += item;
        }
    return "; window/command line at" + text;
}

class CatalogAgreesWithWindow : public px316t::testing::Form1Fixture {
protected:
    // The window's control bound to a catalogue field.
    QObject* control(const std::string& name)
    {
        for (QObject* c : form->controls().all())
            if (const FieldEntry* e = boundCatalogEntry(c); e && e->name == name)
                return c;
        return nullptr;
    }

    // What the window shows for a catalogue name; nothing for a field no control
    // shows, which fails the test so that every new field gets a control.
    std::optional<QString> windowValue(const std::string& name)
    {
        QObject* c = control(name);
        if (auto* box = qobject_cast<QCheckBox*>(c))
            return onOff(box);
        if (auto* combo = qobject_cast<QComboBox*>(c))
            return combo->currentText().trimmed();
        if (auto* field = qobject_cast<QLineEdit*>(c))   // the hidden second row of a long pair shows "-"
            return field->isHidden() ? QString("-") : field->text();
        if (auto* label = qobject_cast<QLabel*>(c))
            return label->text();
        if (auto* slider = qobject_cast<ctlEBSlider*>(c))
            return QString::number(slider->Value());
        return std::nullopt;
    }

    void expectAgreement(PagerTable image, const char* which)
    {
        form->document().arrive(image);
        const PagerDocument session(image);
        for (const FieldEntry& e : fieldCatalog().entries()) {
            const std::string shown = e.show(session);
            if (shown.starts_with("("))
                continue;   // a stored value the window has no entry for: it keeps its selection
            const auto window = windowValue(e.name);
            ASSERT_TRUE(window) << "no window control for " << e.name;
            // A prompt box shows a control byte as its picture.
            const std::string expected = e.name.starts_with("prompt.") ? withControlPictures(shown) : shown;
            EXPECT_EQ(QString::fromStdString(expected), *window) << which << ": " << e.name;
        }
    }

    // Sets `value` through the field's control as the operator does: ticks, picks
    // or pastes and leaves. False when the control cannot take it now (hidden,
    // disabled, or a value it does not offer).
    bool setThroughWindow(const std::string& name, const std::string& value)
    {
        QObject* c = control(name);
        auto* widget = qobject_cast<QWidget*>(c);
        if (!widget || widget->isHidden() || !widget->isEnabled())
            return false;
        const QString text = QString::fromStdString(value);
        if (auto* box = qobject_cast<QCheckBox*>(c)) {
            box->setChecked(text == "on");
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            const int index = combo->findText(text, Qt::MatchFixedString);
            if (index < 0)
                return false;
            // A stored value without an entry leaves the selection as it was:
            // choosing that entry again is no change, and the window stores nothing.
            if (index == combo->currentIndex() && form->document().show(name).starts_with("("))
                return false;
            combo->setCurrentIndex(index);
        } else if (auto* slider = qobject_cast<ctlEBSlider*>(c)) {
            slider->setValue(text.toInt());
        } else if (auto* field = qobject_cast<QLineEdit*>(c)) {
            field->setFocus(Qt::MouseFocusReason);
            field->setText(text);
            leaveField();
            // A refused entry takes the focus back: leave it for good before the next field.
            leaveField();
        } else {
            return false;
        }
        QApplication::processEvents();
        return true;
    }

    // The values a field is tried with: every entry of a choice, both states of a
    // switch, and for the typed fields accepted and refused entries alike.
    static std::vector<std::string> samples(const FieldEntry& e)
    {
        if (!e.items.empty())
            return e.items;
        if (e.values == "on, off")
            return {"on", "off"};
        if (e.name == "frequency")
            return {"9310125", "9310130", "4540000", "9.31e6x"};
        if (e.name == "screen_contrast")
            return {"1", "8"};
        if (e.name == "password")
            return {"0815", "7", "12a", "12345"};
        if (e.name.starts_with("prompt."))
            return {"  Olá", "Hello World"};
        return {"1000100", "2031614", "2031615", "2050000", "3000000000", "0", "0.4", "x1"};   // capcodes
    }

    // From `base`, every value of every field set through the window and through
    // the catalogue as the command line's set does: the same image, and the
    // window's message is the catalogue's refusal.
    void expectSameChanges(const PagerTable& base, const char* which, int& compared)
    {
        for (const FieldEntry& e : fieldCatalog().entries()) {
            if (!e.set)
                continue;
            ASSERT_NE(control(e.name), nullptr) << "no window control for " << e.name;
            for (const std::string& value : samples(e)) {
                // As a newly started window opens the file: a band the image
                // does not name leaves the start-up band selected.
                form->document().chooseBand(StartupBand);
                form->document().arrive(base);
                messages.clear();
                form->document().flags() = {};
                if (!setThroughWindow(e.name, value))
                    continue;
                PagerDocument session(base);
                const SetResult r = e.set(session, value);
                if (r.outcome == SetOutcome::BadValue || r.outcome == SetOutcome::ReadOnly)
                    continue;   // a value the command line refuses in its own words (the window has its own way)
                const std::string what = std::string(which) + ": " + e.name + "=" + value;
                EXPECT_TRUE(table() == session.image()) << what << differences(table(), session.image());
                const QStringList expectedMessages =
                    r.outcome == SetOutcome::Refused ? QStringList{QString::fromStdString(r.message)} : QStringList{};
                EXPECT_EQ(messages.texts(), expectedMessages) << what;
                ++compared;
            }
        }
    }

    // An image whose long pair and mail-drop rows bring the pair rules and the
    // alert-length selectors into play.
    static PagerTable editedImage()
    {
        PagerDocument session;
        const auto& catalog = fieldCatalog();
        std::vector<std::string> assignments = {"pair.2.length=Long", "capcode.3=3000000000", "capcode.3.enable=on",
                                                "capcode.3.priority=on", "mail_alert=on", "capcode.6=77",
                                                "capcode.6.enable=on", "paging_display_mode=Direct"};
        for (int n = 2; n <= 16; ++n)
            assignments.push_back("capcode." + std::to_string(n) + ".type=Mail drop");
        for (const std::string& a : assignments) {
            const auto eq = a.find('=');
            const SetResult r = catalog.at(a.substr(0, eq)).set(session, a.substr(eq + 1));
            EXPECT_EQ(r.outcome, SetOutcome::Changed) << a << ": " << r.message;
        }
        return session.image();
    }
};

TEST_F(CatalogAgreesWithWindow, OnEveryFieldOfSeveralImages)
{
    expectAgreement(makeDefaultPagerTable(), "default");

    PagerDocument session(makeDefaultPagerTable());
    const auto& catalog = fieldCatalog();
    for (const char* assignment :
         {"band=400-499MHz", "pair.2.length=Long", "capcode.3=3000000000", "capcode.3.enable=on",
          "capcode.3.type=Mail drop", "capcode.3.priority=on", "capcode.3.mail_alert=16 sec", "capcode.6=77",
          "capcode.6.enable=on", "capcode.1=0", "screen_contrast=7", "sequential_lockout=120 seconds",
          "personal_alert_length=32 second", "read_time_out=30 sec", "mail_alert=on", "date_display_method=dd-mm-yy",
          "paging_display_mode=Direct", "direct_show_lamp_on=on", "prompt_language=Portuguese",
          "prompt.5=  Olá", "prompt.logo=ÉTÉ", "logo_font=Small Font", "password=0815", "password_required=on"}) {
        const std::string a = assignment;
        const auto eq = a.find('=');
        const FieldEntry* e = catalog.find(a.substr(0, eq));
        ASSERT_NE(e, nullptr) << a;
        const SetResult r = e->set(session, a.substr(eq + 1));
        // capcode.1=0 is refused as the window refuses it.
        EXPECT_EQ(r.outcome == SetOutcome::Changed, a != "capcode.1=0") << a << ": " << r.message;
    }
    expectAgreement(session.image(), "edited");

    // Option and capcode bytes scrambled.
    std::mt19937 random(316);
    PagerTable scrambled = makeDefaultPagerTable();
    for (int a = 0x34; a <= 0x3D; ++a)
        scrambled[a] = static_cast<std::uint8_t>(random());
    for (int a = 0x70; a <= 0x73; ++a)
        scrambled[a] = static_cast<std::uint8_t>(random());
    for (int a = 0x36C; a <= 0x36F; ++a)
        scrambled[a] = static_cast<std::uint8_t>(random() % 12);   // a byte above 9 shows as two characters
    expectAgreement(scrambled, "scrambled");
}

TEST_F(CatalogAgreesWithWindow, EveryChangeLeavesTheSameImageAndMessage)
{
    int compared = 0;
    expectSameChanges(startupPagerTable(), "start-up", compared);
    expectSameChanges(editedImage(), "edited", compared);
    // Most fields take most of their values on one of the two images.
    EXPECT_GT(compared, 300);
}

TEST_F(CatalogAgreesWithWindow, NewWritesTheImageOfAFreshlyStartedWindow)
{
    const PagerTable started = table();
    QProcess cli;
    cli.setWorkingDirectory(dir.path());
    cli.start(QStringLiteral(PX316T_CLI), {"new", "fresh.tbl"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    std::error_code reason;
    auto written = readTableFile((dir.path() + "/fresh.tbl").toStdString(), reason);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(written));
    PagerTable fromFile{};
    applyTableFileBytes(fromFile, std::get<std::vector<std::uint8_t>>(written));
    EXPECT_EQ(fromFile, started);
    EXPECT_EQ(started, startupPagerTable());
}

// Every file of the image corpus, as File > Open gives it to the window and
// the command line opens it: the same image, every field shown alike, every
// change the same, and File > Save writes what the document saves.
class CatalogAgreesWithWindowOnTheCorpus : public CatalogAgreesWithWindow,
                                           public ::testing::WithParamInterface<std::string> {};

TEST_P(CatalogAgreesWithWindowOnTheCorpus, OnEveryFieldAndEveryChange)
{
    const px316t::testing::CorpusImage file = px316t::testing::corpusImage(GetParam());
    files.paths = {QString::fromStdString(file.path.string())};
    form->mnuLBFF_Click();
    PagerDocument opened;
    std::error_code reason;
    ASSERT_EQ(opened.openFile(file.path, reason), TableFileError::None);
    EXPECT_EQ(table(), opened.image());
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('|').toStdString();

    const QString saved = dir.filePath("saved.tbl");
    files.paths = {saved};
    form->mnuSBTF_Click();
    auto written = readTableFile(saved.toStdString(), reason);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(written));
    EXPECT_TRUE(std::equal(opened.image().begin(), opened.image().end(),
                           std::get<std::vector<std::uint8_t>>(written).begin()));

    expectAgreement(file.bytes, file.name.c_str());
    int compared = 0;
    expectSameChanges(file.bytes, file.name.c_str(), compared);
    EXPECT_GT(compared, 50);
}

INSTANTIATE_TEST_SUITE_P(Files, CatalogAgreesWithWindowOnTheCorpus,
                         ::testing::ValuesIn(px316t::testing::imageCorpusNames()), px316t::testing::corpusTestName);

} // namespace
