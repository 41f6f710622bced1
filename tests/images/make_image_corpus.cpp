// Makes the image corpus of tests/images/: the built-in tables, the table
// files the tests make with the command line, and unusual images no editing
// makes but a hand-edited file or another tool's pager may hold. The files are
// committed; run this only to remake them:
//
//     build/tests/images/px316t-make-image-corpus tests/images
//
// Every image is written as it is made here: the rules of arrival are the
// tests' business, not the corpus's.
#include "editor/capcode_codec.h"
#include "editor/frame_mask.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"
#include "table/builtin_tables.h"
#include "table/memory_map.h"
#include "table/table_file.h"

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace px316t;

namespace {

struct Made {
    std::string name;
    PagerTable image;
};

// The start-up image with fields set by name, as `px316t-cli set` sets them.
PagerTable setByName(std::initializer_list<const char*> assignments)
{
    PagerDocument document;
    for (const std::string assignment : assignments) {
        const auto eq = assignment.find('=');
        const SetResult r = document.set(assignment.substr(0, eq), assignment.substr(eq + 1));
        if (r.outcome != SetOutcome::Changed) {
            std::fprintf(stderr, "%s: %s\n", assignment.c_str(), r.message.c_str());
            std::exit(1);
        }
    }
    return document.image();
}

PagerTable changed(PagerTable image, const std::function<void(PagerTable&)>& change)
{
    change(image);
    return image;
}

void longWords(PagerTable& t, int k, double capcode)
{
    const auto words = encodeLongCapcode(capcode);
    storeCapcodeWord(t, k, words->first, true);
    storeCapcodeWord(t, k + 1, words->second, true);
}

std::vector<Made> corpus()
{
    std::vector<Made> made;
    // The built-in tables.
    made.push_back({"builtin-default", makeDefaultPagerTable()});
    made.push_back({"builtin-startup", startupPagerTable()});
    made.push_back({"builtin-band-130-180", setByName({"band=130-180MHz"})});
    made.push_back({"builtin-band-400-499", setByName({"band=400-499MHz"})});
    made.push_back({"builtin-language-spanish", setByName({"prompt_language=Spainish"})});
    made.push_back({"builtin-language-french", setByName({"prompt_language=French"})});
    made.push_back({"builtin-language-portuguese", setByName({"prompt_language=Portuguese", "logo_font=Small Font"})});

    // What the command line's tests make.
    made.push_back({"cli-capcode-6-in-400-499", setByName({"capcode.6=1357", "band=400-499MHz"})});
    made.push_back({"cli-long-first-capcode",
                    setByName({"pair.1.length=Long", "capcode.1=3000000000", "capcode.1.enable=on"})});
    made.push_back({"cli-contrast-and-capcode-3", setByName({"screen_contrast=7", "capcode.3=77"})});
    made.push_back({"cli-edited",
                    setByName({"band=400-499MHz", "pair.2.length=Long", "capcode.3=3000000000", "capcode.3.enable=on",
                               "capcode.3.type=Mail drop", "capcode.3.priority=on", "capcode.3.mail_alert=16 sec",
                               "capcode.6=77", "capcode.6.enable=on", "screen_contrast=7",
                               "sequential_lockout=120 seconds", "personal_alert_length=32 second",
                               "read_time_out=30 sec", "mail_alert=on", "date_display_method=dd-mm-yy",
                               "paging_display_mode=Direct", "direct_show_lamp_on=on", "prompt.5=  Olá",
                               "password=0815", "password_required=on"})});
    made.push_back({"cli-every-pair-long", [] {
                        PagerDocument d;
                        for (int p = 0; p < 8; ++p) {
                            d.setPairLength(p, true);
                            d.set("capcode." + std::to_string(2 * p + 1), std::to_string(3000000000ull + 17 * p));
                            d.set("capcode." + std::to_string(2 * p + 1) + ".enable", "on");
                        }
                        return d.image();
                    }()});

    // Unusual images: what another tool, a hand-edited file or a damaged
    // pager may hold.
    const PagerTable start = startupPagerTable();
    made.push_back({"odd-stale-frame-mask", changed(setByName({"capcode.1=1000100", "capcode.1.enable=on"}),
                                                    [](PagerTable& t) { writeFrameMask(t, 0); })});
    made.push_back({"odd-stale-mask-copies", changed(start, [](PagerTable& t) {
                        t[map::FrameMaskHigh + 4 * 3] = 0x5A;
                        t[map::FrameMaskLow + 4 * 7] = 0xA5;
                    })});
    made.push_back({"odd-lone-long-flag-slot-2", changed(start, [](PagerTable& t) {
                        longWords(t, 1, 3000000000.0);
                        for (int k : {0, 1, 2, 3})
                            setCapcodeEnabled(t, k, true);
                    })});
    made.push_back({"odd-lone-long-flag-slot-16", changed(start, [](PagerTable& t) {
                        storeCapcodeWord(t, 15, 0x1ABCDE, true);
                        setCapcodeEnabled(t, 15, true);
                    })});
    made.push_back({"odd-stale-long-pair-mirror", changed(setByName({"pair.3.length=Long", "capcode.5=2500000000",
                                                                      "capcode.5.enable=on", "mail_alert=on",
                                                                      "capcode.5.mail_alert=1 sec"}),
                                                          [](PagerTable& t) {
                                                              setCapcodeEnabled(t, 5, false);
                                                              map::write(t, map::capcodeType(5), 0);
                                                              map::write(t, map::capcodePriority(5), 0);
                                                              t[map::mailDropAlertLength(5)] = 16;
                                                          })});
    made.push_back({"odd-enabled-past-last-slot", changed(start, [](PagerTable& t) {
                        map::write(t, map::LastCapcodeSlot, 7);
                        for (int k = 0; k < 16; ++k)
                            setCapcodeEnabled(t, k, true);
                    })});
    made.push_back({"odd-undecodable-long-pair", changed(start, [](PagerTable& t) {
                        storeCapcodeWord(t, 4, 0x000001, true);
                        storeCapcodeWord(t, 5, 0x000002, true);
                        setCapcodeEnabled(t, 4, true);
                    })});
    made.push_back({"odd-short-word-below-offset", changed(start, [](PagerTable& t) {
                        storeCapcodeWord(t, 0, 100, false);
                        storeCapcodeWord(t, 7, 0, false);
                        setCapcodeEnabled(t, 7, true);
                    })});
    made.push_back({"odd-mixed-pairs-manual-write-on", changed(setByName({"pair.4.length=Long", "capcode.7=4000000000"}),
                                                               [](PagerTable& t) {
                                                                   map::write(t, map::ManualWriteEnable, 0);
                                                                   map::write(t, map::AllPairsLong, 1);
                                                               })});
    made.push_back({"odd-unknown-band-nibble", changed(start, [](PagerTable& t) { t[0xF1] = 0x2F; })});
    made.push_back({"odd-contrast-and-lengths", changed(start, [](PagerTable& t) {
                        t[map::ScreenContrast] = 0x20;
                        t[map::PersonalAlertLength] = 5;
                        map::write(t, map::MailAlert, 1);
                        for (int k = 1; k < 16; ++k)
                            t[map::mailDropAlertLength(k)] = static_cast<std::uint8_t>(k * 3);
                        map::write(t, map::LogoFont, 3);
                        map::write(t, map::PromptLanguage, 9);
                        t[map::Password.first] = 12;
                    })});
    made.push_back({"odd-prompt-bytes", changed(start, [](PagerTable& t) {
                        for (int n = 0; n <= LastPrompt; ++n) {
                            const int at = promptRecordOffset(n);
                            t[at] = static_cast<std::uint8_t>((t[at] & 0xF0) | (n % 16));
                            t[at + 1] = static_cast<std::uint8_t>(n % 19);
                            for (int i = 2; i < PromptRecordSize; ++i)
                                t[at + i] = static_cast<std::uint8_t>((n * 37 + i * 11) % 256);
                        }
                    })});
    // Images with every byte random: what nothing guards.
    std::mt19937 random(29);
    for (int i = 1; i <= 3; ++i) {
        PagerTable t{};
        for (auto& b : t)
            b = static_cast<std::uint8_t>(random());
        made.push_back({"odd-random-" + std::to_string(i), t});
    }
    return made;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    for (const Made& m : corpus()) {
        const std::string path = std::string(argv[1]) + "/" + m.name + ".tbl";
        if (writeTableFile(path, m.image) != TableFileError::None) {
            std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
