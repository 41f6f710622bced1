#include "editor/field_catalog.h"

#include "editor/band_rules.h"
#include "editor/capcode_codec.h"
#include "editor/capcode_increase.h"
#include "editor/capcode_layout.h"
#include "editor/frame_mask.h"
#include "editor/numeric_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace px316t {

namespace {

std::string trimmed(const std::string& s)
{
    std::size_t a = 0;
    std::size_t b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string hex(unsigned value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", value);
    return buffer;
}

// The list position of `value` among `items` (compared without case and
// surrounding spaces), or nothing.
std::optional<int> itemIndex(const std::vector<std::string>& items, const std::string& value)
{
    const std::string v = lower(trimmed(value));
    for (std::size_t i = 0; i < items.size(); ++i)
        if (lower(trimmed(items[i])) == v)
            return static_cast<int>(i);
    return std::nullopt;
}

SetResult badChoice(const std::vector<std::string>& items)
{
    std::string text = "expected one of:";
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i ? ", \"" : " \"") + trimmed(items[i]) + "\"";
    return {SetOutcome::BadValue, text};
}

const std::vector<std::string> OnOff = {"off", "on"};

// "a, b, c" of a choice's entries, as `set` takes them.
std::string listed(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + trimmed(item);
    return text;
}

// ---- capcode rows ----------------------------------------------------------

int visibleCapcodeRows(const std::array<bool, 8>& pairLong)
{
    int rows = 0;
    for (bool isLong : pairLong)
        rows += isLong ? 1 : 2;
    return rows;
}

bool hiddenSecondSlot(const EditSession& s, int k) { return k % 2 == 1 && s.pairLong[k / 2]; }

// What the window does after a capcode row changed: the rows are shown again
// and the frame mask follows the enabled capcodes.
void afterCapcodeChange(EditSession& s) { refreshFrameMask(s.table, s.pairLong); }

// Stores the number typed for row k (the window's txt_to_tbl).
CapcodeStoreResult storeTyped(EditSession& s, int k, double v)
{
    return storeCapcode(s.table, k, v, k % 2 == 0 && s.pairLong[k / 2]);
}

SetResult setCapcode(EditSession& s, int k, const std::string& value)
{
    if (hiddenSecondSlot(s, k))
        return {SetOutcome::Refused, "capcode." + std::to_string(k + 1) + " is the second half of a long capcode"};
    const auto v = parseNumber(value);
    if (!v)
        return {SetOutcome::Refused, "Please insert a numeric!"};
    const std::uint64_t limit = (k % 2 == 0 && s.pairLong[k / 2]) ? LongCapcodeLimit : ShortCapcodeLimit;
    if (!(*v > 0 && roundHalfEven(*v) >= 1 && *v <= static_cast<double>(limit)))
        return {SetOutcome::Refused, "Please insert a number between 1 to " + std::to_string(limit)};
    const PagerTable before = s.table;
    if (storeTyped(s, k, *v) == CapcodeStoreResult::ReservedGap) {
        s.table = before;
        return {SetOutcome::Refused, "Invalid Capcode!"};
    }
    afterCapcodeChange(s);
    return {};
}

// A one-bit setting of capcode row k; `inverted` for a bit that is 0 when ticked.
struct RowBit {
    int byte;
    bool inverted;
};

RowBit enableBit(int k) { return {0x73 - k / 8, false}; }
RowBit typeBit(int k) { return {0x38 - k / 8, false}; }
RowBit priorityBit(int k) { return {0x34 + k / 8, true}; }

bool rowBit(const PagerTable& t, RowBit b, int k)
{
    const bool bit = GetBits(t, static_cast<std::int16_t>(b.byte), static_cast<std::uint8_t>(k % 8), 1) != 0;
    return b.inverted ? !bit : bit;
}

void putRowBit(PagerTable& t, RowBit b, int k, bool value)
{
    PutBits(t, static_cast<std::int16_t>(b.byte), static_cast<std::uint8_t>(k % 8),
            static_cast<std::uint8_t>((value != b.inverted) ? 1 : 0), 1);
}

// Sets a row's bit; in a long pair the second slot follows the first, as the
// window's rules for the type, priority and enable boxes do.
void setRowBitFollowing(EditSession& s, RowBit (*bitOf)(int), int k, bool value)
{
    putRowBit(s.table, bitOf(k), k, value);
    if (k % 2 == 0 && s.pairLong[k / 2])
        putRowBit(s.table, bitOf(k + 1), k + 1, value);
}

const std::vector<std::string> TypeItems = {"Personal", "Mail drop"};
const std::vector<std::string> MailAlertItems = {"Beep", "1 sec", "16 sec"};
constexpr std::uint8_t MailAlertLengths[] = {0, 1, 16};
const std::vector<std::string> LengthItems = {"Short", "Long"};

std::string showMailAlert(const PagerTable& t, int k)
{
    switch (t[0x373 + k]) {
    case 0: return MailAlertItems[0];
    case 1: return MailAlertItems[1];
    case 16: return MailAlertItems[2];
    default: return "(" + std::to_string(t[0x373 + k]) + ")";
    }
}

// The window's length selector of pair p: the rows of a short pair keep their
// numbers (a number too large for a short field becomes 1234567, the second
// field 1234567 too); the layout bits of byte 0x3D follow.
SetResult setPairLength(EditSession& s, int p, const std::string& value)
{
    const auto index = itemIndex(LengthItems, value);
    if (!index)
        return badChoice(LengthItems);
    // The selector acts when its choice changes: choosing the length the pair
    // already has stores nothing (it would turn the second row of a short pair
    // into 1234567, or re-store an undecodable long capcode as 0).
    if (s.pairLong[p] == (*index == 1))
        return {};
    const int first = 2 * p;
    const std::string firstText = shownCapcodeText(s.table, first, s.pairLong[p]);
    s.pairLong[p] = *index == 1;
    if (!s.pairLong[p]) {
        PutBits(s.table, static_cast<std::int16_t>(0xB1 + 8 * p), 6, 0, 1);
        PutBits(s.table, static_cast<std::int16_t>(0xB5 + 8 * p), 6, 0, 1);
        const auto v = parseNumber(firstText);
        storeTyped(s, first + 1, 1234567);
        if (v && *v < static_cast<double>(ShortCapcodeLimit))
            storeTyped(s, first, *v);
        else
            storeTyped(s, first, 1234567);
    } else if (const auto v = parseNumber(firstText)) {
        storeTyped(s, first, *v);
    }
    // Type, priority and mail-alert length of the second slot follow the first.
    setRowBitFollowing(s, typeBit, first, rowBit(s.table, typeBit(first), first));
    setRowBitFollowing(s, priorityBit, first, rowBit(s.table, priorityBit(first), first));
    if (s.pairLong[p])
        s.table[0x374 + first] = s.table[0x373 + first];
    applyCapcodeLayoutBits(s.table, visibleCapcodeRows(s.pairLong));
    afterCapcodeChange(s);
    return {};
}

// ---- options bound by their field tags ---------------------------------------

FieldEntry checkOption(const std::string& name, int byte, int bit, bool inverted)
{
    FieldEntry e;
    e.name = name;
    e.addresses = {byte};
    e.values = listed({"on", "off"});
    e.show = [=](const EditSession& s) {
        const bool v = GetBits(s.table, static_cast<std::int16_t>(byte), static_cast<std::uint8_t>(bit), 1) != 0;
        return OnOff[v != inverted ? 1 : 0];
    };
    e.set = [=](EditSession& s, const std::string& value) -> SetResult {
        const auto index = itemIndex(OnOff, value);
        if (!index)
            return badChoice(OnOff);
        PutBits(s.table, static_cast<std::int16_t>(byte), static_cast<std::uint8_t>(bit),
                static_cast<std::uint8_t>((*index == 1) != inverted ? 1 : 0), 1);
        return {};
    };
    return e;
}

FieldEntry comboOption(const std::string& name, int byte, int bit, int width, std::vector<std::string> items)
{
    FieldEntry e;
    e.name = name;
    e.addresses = {byte};
    e.values = listed(items);
    e.show = [=](const EditSession& s) {
        const int v = GetBits(s.table, static_cast<std::int16_t>(byte), static_cast<std::uint8_t>(bit),
                              static_cast<std::uint8_t>(width));
        return v < static_cast<int>(items.size()) ? trimmed(items[v]) : "(" + std::to_string(v) + ")";
    };
    e.set = [=](EditSession& s, const std::string& value) -> SetResult {
        const auto index = itemIndex(items, value);
        if (!index)
            return badChoice(items);
        PutBits(s.table, static_cast<std::int16_t>(byte), static_cast<std::uint8_t>(bit),
                static_cast<std::uint8_t>(*index), static_cast<std::uint8_t>(width));
        return {};
    };
    return e;
}

// A setting stored as one of a few byte values.
FieldEntry byteChoice(const std::string& name, int address, std::vector<std::string> items,
                      std::vector<std::uint8_t> values)
{
    FieldEntry e;
    e.name = name;
    e.addresses = {address};
    e.values = listed(items);
    e.show = [=](const EditSession& s) {
        for (std::size_t i = 0; i < values.size(); ++i)
            if (s.table[address] == values[i])
                return items[i];
        return "(" + std::to_string(s.table[address]) + ")";
    };
    e.set = [=](EditSession& s, const std::string& value) -> SetResult {
        const auto index = itemIndex(items, value);
        if (!index)
            return badChoice(items);
        s.table[address] = values[*index];
        return {};
    };
    return e;
}

FieldEntry shownOnly(const std::string& name, std::vector<int> addresses,
                     std::function<std::string(const PagerTable&)> show)
{
    FieldEntry e;
    e.name = name;
    e.addresses = std::move(addresses);
    e.show = [show = std::move(show)](const EditSession& s) { return show(s.table); };
    return e;
}

std::vector<int> range(int first, int count)
{
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(first + i);
    return out;
}

const std::vector<std::string> BandItems = {"130-180MHz", "400-499MHz", "928-932MHz"};
const std::vector<std::string> SequentialLockoutItems = {"disable", "30 seconds", "60 seconds", "120 seconds",
                                                         "175 seconds"};

SetResult setFrequency(EditSession& s, const std::string& value)
{
    const auto v = parseNumber(value);
    if (!v)
        return {SetOutcome::Refused, "Please insert a decimal numeric!"};
    const auto band = bandFromImage(s.table);
    if (band && !frequencyInBand(*band, *v))
        return {SetOutcome::Refused, bandErrorMessage(*band)};
    const RasterResult raster = checkRaster(band, *v, baseFrequencyHz(s.table), s.table[0x0E]);
    if (raster.verdict == RasterVerdict::Refuse)
        return {SetOutcome::Refused, "Channel Spacing Error!"};
    if (raster.preset)
        applyBandPreset(s.table, *raster.preset, false);
    const double stored = std::clamp(roundHalfEven(*v), 0.0, 4294967295.0);
    writeBigEndian32(s.table, 0xF4, static_cast<std::uint32_t>(stored));
    return {};
}

} // namespace

EditSession::EditSession(PagerTable& image) : table(image), pairLong(pairsLongInImage(image)) {}

FieldCatalog::FieldCatalog()
{
    // Capcode rows.
    for (int k = 0; k < 16; ++k) {
        const std::string row = "capcode." + std::to_string(k + 1);
        const int slot = 0xB0 + 4 * k;
        entries_.push_back({row,
                            [k](const EditSession& s) {
                                // The second row of a long pair is hidden: its slot holds half the number.
                                return hiddenSecondSlot(s, k) ? std::string("-")
                                                              : shownCapcodeText(s.table, k, s.pairLong[k / 2]);
                            },
                            [k](EditSession& s, const std::string& v) { return setCapcode(s, k, v); },
                            {slot + 1, slot + 2, slot + 3}, "the capcode as its row shows it: 1 to " + std::to_string(ShortCapcodeLimit)
                                + " (7 digits), in the first row of a long pair up to "
                                + std::to_string(LongCapcodeLimit) + "; \"-\" shows the hidden second row of a long pair"});
        if (k % 2 == 0) {
            const int p = k / 2;
            entries_.push_back({"pair." + std::to_string(p + 1) + ".length",
                                [p](const EditSession& s) { return LengthItems[s.pairLong[p] ? 1 : 0]; },
                                [p](EditSession& s, const std::string& v) { return setPairLength(s, p, v); },
                                {}, listed(LengthItems) + " (rows 2N-1 and 2N; make a pair Long before giving "
                                                           "it a long capcode)"});
        }
        entries_.push_back({row + ".enable",
                            [k](const EditSession& s) { return OnOff[capcodeEnabled(s.table, k)]; },
                            [k](EditSession& s, const std::string& v) -> SetResult {
                                const auto index = itemIndex(OnOff, v);
                                if (!index)
                                    return badChoice(OnOff);
                                setRowBitFollowing(s, enableBit, k, *index == 1);
                                afterCapcodeChange(s);
                                return {};
                            },
                            {enableBit(k).byte}, listed({"on", "off"})});
        if (k > 0) {   // row 1 is always "Personal"
            entries_.push_back({row + ".type",
                                [k](const EditSession& s) { return TypeItems[rowBit(s.table, typeBit(k), k)]; },
                                [k](EditSession& s, const std::string& v) -> SetResult {
                                    const auto index = itemIndex(TypeItems, v);
                                    if (!index)
                                        return badChoice(TypeItems);
                                    setRowBitFollowing(s, typeBit, k, *index == 1);
                                    return {};
                                },
                                {typeBit(k).byte}, listed(TypeItems)});
        }
        entries_.push_back({row + ".priority",
                            [k](const EditSession& s) { return OnOff[rowBit(s.table, priorityBit(k), k)]; },
                            [k](EditSession& s, const std::string& v) -> SetResult {
                                const auto index = itemIndex(OnOff, v);
                                if (!index)
                                    return badChoice(OnOff);
                                setRowBitFollowing(s, priorityBit, k, *index == 1);
                                return {};
                            },
                            {priorityBit(k).byte}, listed({"on", "off"})});
        if (k > 0) {   // row 1 has the "Mail Alert" switch instead
            entries_.push_back({row + ".mail_alert",
                                [k](const EditSession& s) { return showMailAlert(s.table, k); },
                                [k](EditSession& s, const std::string& v) -> SetResult {
                                    const auto index = itemIndex(MailAlertItems, v);
                                    if (!index)
                                        return badChoice(MailAlertItems);
                                    s.table[0x373 + k] = MailAlertLengths[*index];
                                    if (k % 2 == 0 && s.pairLong[k / 2])
                                        s.table[0x374 + k] = s.table[0x373 + k];
                                    return {};
                                },
                                {0x373 + k}, listed(MailAlertItems)});
        }
    }
    entries_.push_back(checkOption("mail_alert", 0x3B, 6, false));
    std::vector<int> frameMaskBytes;
    for (int j = 0; j < 8; ++j)   // the mask and its copies in the seven other frame records
        frameMaskBytes.insert(frameMaskBytes.end(), {0x92 + 4 * j, 0x93 + 4 * j});
    entries_.push_back(shownOnly("frame_mask", frameMaskBytes, [](const PagerTable& t) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%02X%02X", t[0x92], t[0x93]);
        return std::string(buffer);
    }));

    // Frequency and synthesizer.
    entries_.push_back({"band",
                        [](const EditSession& s) {
                            const auto band = bandFromImage(s.table);
                            return band ? std::string(bandText(*band)) : std::string("(none)");
                        },
                        [](EditSession& s, const std::string& v) -> SetResult {
                            const auto index = itemIndex(BandItems, v);
                            if (!index)
                                return badChoice(BandItems);
                            // Choosing a band loads its preset, operating frequency included;
                            // the band the selector already shows changes nothing, as in the window.
                            if (bandFromImage(s.table) == static_cast<Band>(*index))
                                return {};
                            applyBandPreset(s.table, presetForBand(static_cast<Band>(*index)), true);
                            return {};
                        },
                        range(0x00, 16), listed(BandItems) + " (setting it loads the band's preset)"});
    entries_.push_back({"frequency",
                        [](const EditSession& s) { return std::to_string(readBigEndian32(s.table, 0xF4)); },
                        [](EditSession& s, const std::string& v) { return setFrequency(s, v); },
                        range(0xF4, 4), "in units of 100 Hz (9310125 is 931.0125 MHz), inside the band and on its channel "
                             "raster, as the window checks it"});
    entries_.push_back(shownOnly("base_frequency", range(0xF0, 4),
                                 [](const PagerTable& t) { return std::to_string(baseFrequencyHz(t) / 100); }));
    entries_.push_back(shownOnly("pll.incd", {0x0D}, [](const PagerTable& t) { return hex(t[0x0D]); }));
    entries_.push_back(shownOnly("pll.r", {0x0A, 0x0B}, [](const PagerTable& t) { return hex(t[0x0A] * 256u + t[0x0B]); }));
    entries_.push_back(shownOnly("pll.n", {0x05, 0x06, 0x07}, [](const PagerTable& t) {
        return hex((t[0x05] * 256u + t[0x06]) * 256u + t[0x07]);
    }));
    entries_.push_back(shownOnly("channel_spacing", {0x0E},
                                 [](const PagerTable& t) { return std::to_string(t[0x0E]) + "KHz"; }));

    // Alerts.
    entries_.push_back(checkOption("counter_out_enable", 0x39, 4, true));
    entries_.push_back(checkOption("alert_and_vibrate", 0x36, 3, true));
    entries_.push_back(checkOption("alert_cadence_enable", 0x36, 4, true));
    entries_.push_back(byteChoice("personal_alert_length", 0x383,
                                  {"continuous", "2 second", "8 second", "16 second", "32 second"}, {0, 2, 8, 16, 32}));
    entries_.push_back(checkOption("lowcell_alert_control", 0x39, 6, false));
    entries_.push_back(checkOption("out_of_service_control", 0x3D, 3, false));
    entries_.push_back(comboOption("music_type_select", 0x3D, 5, 1, {"Taiwan Music", "World Wild Music "}));
    entries_.push_back(comboOption("reminder_duartion_control", 0x3C, 6, 2,
                                   {"Disable", "2 minutes", "10 minutes", "60 minutes"}));
    // Manual write.
    {
        FieldEntry manual = checkOption("manual_write_enable", 0x3D, 4, true);
        auto plainShow = manual.show;
        // The window applies the layout's rule to byte 0x3D when it shows an image.
        manual.show = [plainShow](const EditSession& s) {
            PagerTable shown = s.table;
            EditSession view(shown);
            view.pairLong = s.pairLong;
            applyCapcodeLayoutBits(shown, visibleCapcodeRows(s.pairLong));
            return plainShow(view);
        };
        auto plainSet = manual.set;
        manual.set = [plainSet](EditSession& s, const std::string& v) -> SetResult {
            // The window locks the box while short and long pairs are mixed.
            const auto longs = std::count(s.pairLong.begin(), s.pairLong.end(), true);
            if (longs != 0 && longs != 8)
                return {SetOutcome::Refused, "Manual Write Enable can not be changed while short and long "
                                             "capcodes are mixed"};
            return plainSet(s, v);
        };
        entries_.push_back(std::move(manual));
    }
    entries_.push_back(checkOption("frequency_modification_enable", 0x36, 0, true));
    // Status.
    entries_.push_back(checkOption("air_program_enable", 0x3D, 6, false));
    entries_.push_back(checkOption("discard_error_message", 0x3D, 0, false));
    entries_.push_back(comboOption("read_time_out", 0x39, 0, 2, {"8 sec", "14 sec", "20 sec", "30 sec"}));
    entries_.push_back(comboOption("numeric_display_mode", 0x3D, 2, 1, {"Standard", "OEC(china)"}));
    entries_.push_back(comboOption("paging_display_mode", 0x3B, 4, 1, {"Page Count", "Direct"}));
    entries_.push_back(checkOption("direct_show_lamp_on", 0x36, 6, true));
    entries_.push_back({"sequential_lockout",
                        [](const EditSession& s) {
                            if (GetBits(s.table, 0x3C, 3, 1) == 0)
                                return SequentialLockoutItems[0];
                            return SequentialLockoutItems[GetBits(s.table, 0x3C, 0, 2) + 1];
                        },
                        [](EditSession& s, const std::string& v) -> SetResult {
                            const auto index = itemIndex(SequentialLockoutItems, v);
                            if (!index)
                                return badChoice(SequentialLockoutItems);
                            PutBits(s.table, 0x3C, 3, *index == 0 ? 0 : 1, 1);
                            if (*index > 0)
                                PutBits(s.table, 0x3C, 0, static_cast<std::uint8_t>(*index - 1), 2);
                            return {};
                        },
                        {0x3C}, listed(SequentialLockoutItems)});
    entries_.push_back(checkOption("display_source_enable", 0x39, 7, false));
    entries_.push_back({"screen_contrast",
                        [](const EditSession& s) { return std::to_string(s.table[0x369] > 8 ? 4 : s.table[0x369]); },
                        [](EditSession& s, const std::string& v) -> SetResult {
                            const auto n = parseNumber(v);
                            if (!n || *n != static_cast<int>(*n) || *n < 1 || *n > 8)
                                return {SetOutcome::BadValue, "expected a whole number from 1 to 8"};
                            s.table[0x369] = static_cast<std::uint8_t>(*n);
                            return {};
                        },
                        {0x369}, "1 to 8"});
    entries_.push_back(checkOption("password_required", 0x36, 1, false));
    entries_.push_back(checkOption("password_modification_enable", 0x36, 2, false));
    // Prompts page.
    entries_.push_back(comboOption("date_display_method", 0x3B, 3, 1, {"dd-mm-yy", "mm-dd-yy"}));
    addPromptAndPasswordFields(*this);
}

const FieldEntry* FieldCatalog::find(const std::string& name) const
{
    for (const FieldEntry& e : entries_)
        if (e.name == name)
            return &e;
    return nullptr;
}

std::vector<FieldNameGroup> fieldNameGroups(const std::vector<FieldEntry>& entries)
{
    std::vector<FieldNameGroup> groups;
    for (const FieldEntry& e : entries) {
        std::string pattern;
        std::optional<int> number;
        for (std::size_t i = 0; i < e.name.size();) {
            if (std::isdigit(static_cast<unsigned char>(e.name[i]))) {
                std::size_t end = i;
                while (end < e.name.size() && std::isdigit(static_cast<unsigned char>(e.name[end])))
                    ++end;
                number = std::stoi(e.name.substr(i, end - i));
                pattern += 'N';
                i = end;
            } else {
                pattern += e.name[i++];
            }
        }
        auto group = std::find_if(groups.begin(), groups.end(), [&](const FieldNameGroup& g) { return g.pattern == pattern; });
        if (group == groups.end()) {
            groups.push_back({pattern, {}, e.values});
            group = groups.end() - 1;
        }
        if (number)
            group->numbers.push_back(*number);
    }
    return groups;
}

const FieldCatalog& fieldCatalog()
{
    static const FieldCatalog catalog;
    return catalog;
}

} // namespace px316t
