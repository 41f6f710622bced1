// The command line's field catalogue and the window show the same value for
// every field of an image.
#include "support/form1_fixture.h"

#include "editor/field_catalog.h"
#include "table/builtin_tables.h"
#include "ui/capcode_list.h"
#include "ui/frequency_panel.h"
#include "ui/option_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <map>
#include <random>

using namespace px316t;

namespace {

QString onOff(const QCheckBox* box) { return box->isChecked() ? "on" : "off"; }
QString item(const QComboBox* box) { return box->currentText().trimmed(); }

class CatalogAgreesWithWindow : public px316t::testing::Form1Fixture {
protected:
    // What the window shows for a catalogue name; nothing for a name it does
    // not know, which fails the test so that every new field gets compared.
    std::optional<QString> windowValue(const std::string& name)
    {
        auto& chk = form->arrays().chkCtl;
        auto& cbo = form->arrays().cboCtl;
        CapcodeList& list = form->capcodes();
        FrequencyPanel& f = form->frequency();
        OptionControls& o = form->options();
        static const std::map<std::string, int> checks = {
            {"counter_out_enable", 2}, {"alert_and_vibrate", 4}, {"alert_cadence_enable", 26},
            {"lowcell_alert_control", 6}, {"out_of_service_control", 7}, {"manual_write_enable", 9},
            {"frequency_modification_enable", 3}, {"air_program_enable", 5}, {"discard_error_message", 1},
            {"direct_show_lamp_on", 8}, {"display_source_enable", 0}};
        static const std::map<std::string, int> combos = {
            {"music_type_select", 3}, {"reminder_duartion_control", 4}, {"read_time_out", 1},
            {"numeric_display_mode", 5}, {"paging_display_mode", 0}, {"date_display_method", 6}};
        if (auto it = checks.find(name); it != checks.end())
            return onOff(chk[it->second]);
        if (auto it = combos.find(name); it != combos.end())
            return item(cbo[it->second]);
        const std::map<std::string, QString> others = {
            {"mail_alert", onOff(list.chkMailAlert)}, {"frame_mask", list.lblFrame->text()},
            {"band", item(f.cboDft)}, {"frequency", f.txtFreq->text()}, {"base_frequency", f.lblBfreq->text()},
            {"pll.incd", f.lblINCD->text()}, {"pll.r", f.lblPLLR->text()}, {"pll.n", f.lblPLLN->text()},
            {"channel_spacing", f.lblCHANNEL->text()}, {"personal_alert_length", item(o.cboPersonAlert)},
            {"sequential_lockout", item(o.cboSLC)}, {"screen_contrast", o.lblValue->text()}};
        if (auto it = others.find(name); it != others.end())
            return it->second;
        const QString n = QString::fromStdString(name);
        const QStringList parts = n.split('.');
        if (parts.size() < 2)
            return std::nullopt;
        const int number = parts[1].toInt() - 1;
        if (parts[0] == "pair" && parts.size() == 3)
            return item(list.cboCapLen[number]);
        if (parts[0] != "capcode")
            return std::nullopt;
        if (parts.size() == 2)
            return list.pairIsLong(number / 2) && number % 2 == 1 ? QString("-") : list.txtAddr[number]->text();
        if (parts[2] == "enable")
            return onOff(chk[10 + number]);
        if (parts[2] == "type")
            return item(cbo[7 + number]);
        if (parts[2] == "priority")
            return onOff(chk[50 + number]);
        if (parts[2] == "mail_alert")
            return item(list.cboMailAlert[number]);
        return std::nullopt;
    }

    void expectAgreement(PagerTable image, const char* which)
    {
        table() = image;
        form->refreshFromImage();
        PagerTable copy = image;
        const EditSession session(copy);
        for (const FieldEntry& e : fieldCatalog().entries()) {
            const std::string shown = e.show(session);
            if (shown.starts_with("("))
                continue;   // a stored value the window has no entry for: it keeps its selection
            const auto window = windowValue(e.name);
            ASSERT_TRUE(window) << "no window control for " << e.name;
            EXPECT_EQ(QString::fromStdString(shown), *window) << which << ": " << e.name;
        }
    }
};

TEST_F(CatalogAgreesWithWindow, OnEveryFieldOfSeveralImages)
{
    expectAgreement(makeDefaultPagerTable(), "default");

    PagerTable edited = makeDefaultPagerTable();
    EditSession session(edited);
    const auto& catalog = fieldCatalog();
    for (const char* assignment :
         {"band=400-499MHz", "pair.2.length=Long", "capcode.3=3000000000", "capcode.3.enable=on",
          "capcode.3.type=Mail drop", "capcode.3.priority=on", "capcode.3.mail_alert=16 sec", "capcode.6=77",
          "capcode.6.enable=on", "capcode.1=0", "screen_contrast=7", "sequential_lockout=120 seconds",
          "personal_alert_length=32 second", "read_time_out=30 sec", "mail_alert=on", "date_display_method=dd-mm-yy",
          "paging_display_mode=Direct", "direct_show_lamp_on=on"}) {
        const std::string a = assignment;
        const auto eq = a.find('=');
        const FieldEntry* e = catalog.find(a.substr(0, eq));
        ASSERT_NE(e, nullptr) << a;
        const SetResult r = e->set(session, a.substr(eq + 1));
        // capcode.1=0 is refused as the window refuses it.
        EXPECT_EQ(r.outcome == SetOutcome::Changed, a != "capcode.1=0") << a << ": " << r.message;
    }
    expectAgreement(edited, "edited");

    // Option and capcode bytes scrambled.
    std::mt19937 random(316);
    PagerTable scrambled = makeDefaultPagerTable();
    for (int a = 0x34; a <= 0x3D; ++a)
        scrambled[a] = static_cast<std::uint8_t>(random());
    for (int a = 0x70; a <= 0x73; ++a)
        scrambled[a] = static_cast<std::uint8_t>(random());
    expectAgreement(scrambled, "scrambled");
}

} // namespace
