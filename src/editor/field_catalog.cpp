#include "editor/field_catalog.h"

#include "editor/band_rules.h"
#include "editor/capcode_codec.h"
#include "editor/messages.h"
#include "editor/pager_document.h"
#include "editor/capcode_layout.h"
#include "editor/frame_mask.h"
#include "editor/numeric_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

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

bool hiddenSecondSlot(const PagerDocument& s, int k) { return k % 2 == 1 && s.pairShownLong(k / 2); }

SetResult setCapcode(PagerDocument& s, int k, const std::string& value)
{
    if (hiddenSecondSlot(s, k))
        return {SetOutcome::Refused, "capcode." + std::to_string(k + 1) + " is the second half of a long capcode"};
    if (auto refusal = capcodeEntryRefusal(value, k % 2 == 0 && s.pairShownLong(k / 2)))
        return {SetOutcome::Refused, std::move(*refusal)};
    const PagerTable before = s.image();
    if (s.storeCapcode(k, *parseNumber(value)) == CapcodeStoreResult::ReservedGap) {
        s.table() = before;
        s.flags().CapcodeInvalid = false;
        return {SetOutcome::Refused, std::string(messages::InvalidCapcode)};
    }
    s.refreshFrames();
    return {};
}

// Sets a row's bit; in a long pair the second slot follows the first, as the
// window's rules for the type and priority boxes do.
void setRowBitFollowing(PagerDocument& s, map::BitField (*bitOf)(int), int k, bool value)
{
    map::setOn(s.table(), bitOf(k), value);
    if (k % 2 == 0 && s.pairShownLong(k / 2))
        map::setOn(s.table(), bitOf(k + 1), value);
}

// The enable box of row k. In the first row of a long pair the number the row
// shows is stored again, which carries a set enable bit over to the second slot
// (a cleared one leaves the second slot's bit as it is).
void setEnable(PagerDocument& s, int k, bool value)
{
    map::setOn(s.table(), map::capcodeEnable(k), value);
    if (k % 2 == 0 && s.pairShownLong(k / 2))
        if (const auto v = parseNumber(s.shownCapcodeText(k)))
            s.storeCapcode(k, *v);
    s.refreshFrames();
}

const std::vector<std::string> TypeItems = {"Personal", "Mail drop"};
const std::vector<std::string> MailAlertItems = {"Beep", "1 sec", "16 sec"};
const std::vector<std::string> LengthItems = {"Short", "Long"};

std::string showMailAlert(const PagerTable& t, int k)
{
    const std::uint8_t length = t[map::mailDropAlertLength(k)];
    for (std::size_t i = 0; i < MailDropAlertLengths.size(); ++i)
        if (length == MailDropAlertLengths[i])
            return MailAlertItems[i];
    return "(" + std::to_string(length) + ")";
}



// ---- options bound by their field tags ---------------------------------------

FieldEntry checkOption(const std::string& name, map::BitField field)
{
    FieldEntry e;
    e.name = name;
    e.addresses = {field.byte};
    e.values = listed({"on", "off"});
    e.tag = fieldTagText(field, field.inverted ? "chkN" : "chk");
    e.show = [=](const PagerDocument& s) { return OnOff[map::isOn(s.table(), field) ? 1 : 0]; };
    e.set = [=](PagerDocument& s, const std::string& value) -> SetResult {
        const auto index = itemIndex(OnOff, value);
        if (!index)
            return badChoice(OnOff);
        map::setOn(s.table(), field, *index == 1);
        return {};
    };
    return e;
}

FieldEntry comboOption(const std::string& name, map::BitField field, std::vector<std::string> items)
{
    FieldEntry e;
    e.name = name;
    e.addresses = {field.byte};
    e.values = listed(items);
    e.items = items;
    e.tag = fieldTagText(field, "cbo");
    e.show = [=](const PagerDocument& s) {
        const int v = map::read(s.table(), field);
        return v < static_cast<int>(items.size()) ? trimmed(items[v]) : "(" + std::to_string(v) + ")";
    };
    e.set = [=](PagerDocument& s, const std::string& value) -> SetResult {
        const auto index = itemIndex(items, value);
        if (!index)
            return badChoice(items);
        map::write(s.table(), field, *index);
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
    e.items = items;
    e.show = [=](const PagerDocument& s) {
        for (std::size_t i = 0; i < values.size(); ++i)
            if (s.table()[address] == values[i])
                return items[i];
        return "(" + std::to_string(s.table()[address]) + ")";
    };
    e.set = [=](PagerDocument& s, const std::string& value) -> SetResult {
        const auto index = itemIndex(items, value);
        if (!index)
            return badChoice(items);
        s.table()[address] = values[*index];
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
    e.show = [show = std::move(show)](const PagerDocument& s) { return show(s.table()); };
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

// The mail-drop alert length of capcode row k from its selector entry (0..2);
// in a long pair the second slot follows the first.
void storeMailDropAlert(PagerDocument& s, int k, int entry)
{
    if (entry < 0 || entry >= static_cast<int>(MailDropAlertLengths.size()))
        return;
    s.table()[map::mailDropAlertLength(k)] = MailDropAlertLengths[static_cast<std::size_t>(entry)];
    if (k % 2 == 0 && s.pairShownLong(k / 2))
        s.table()[map::mailDropAlertLength(k + 1)] = s.table()[map::mailDropAlertLength(k)];
}

// A typed operating frequency (units of 100 Hz) checked against the band the
// selector shows and, in the top band, against the raster of the image's base
// frequency and channel spacing; an accepted one may load a preset of its
// raster and is stored.
SetResult storeOperatingFrequency(PagerTable& table, double value, std::optional<Band> band,
                                  std::int64_t baseFreqHz, double channelSpacingKHz)
{
    if (band && !frequencyInBand(*band, value))
        return {SetOutcome::Refused, bandErrorMessage(*band)};
    const RasterResult raster = checkRaster(band, value, baseFreqHz, channelSpacingKHz);
    if (raster.verdict == RasterVerdict::Refuse)
        return {SetOutcome::Refused, std::string(messages::ChannelSpacingError)};
    if (raster.preset)
        applyBandPreset(table, *raster.preset, false);
    // Inside a band the number always fits the 32-bit field; without a band it is
    // kept to the field's range rather than wrapped.
    const double stored = std::clamp(roundHalfEven(value), 0.0, 4294967295.0);
    writeBigEndian32(table, map::OperatingFrequency.first, static_cast<std::uint32_t>(stored));
    return {};
}

SetResult setFrequency(PagerDocument& s, const std::string& value)
{
    const auto v = parseNumber(value);
    if (!v)
        return {SetOutcome::Refused, std::string(messages::NotDecimal)};
    const SetResult stored = storeOperatingFrequency(s.table(), *v, s.band(), baseFrequencyHz(s.image()),
                                                     s.image()[map::ChannelSpacingKHz]);
    if (stored.outcome == SetOutcome::Changed)
        s.announce(DocumentChange::Frequency);
    return stored;
}

std::vector<int> range(map::ByteRange r) { return range(r.first, r.count); }

FieldEntry choiceEntry(FieldEntry e, std::vector<std::string> items)
{
    e.items = std::move(items);
    return e;
}

// The setter of a selector (a check box, a choice, the slider): like the
// window's controls it acts when the choice changes, so choosing what the
// field shows already stores nothing and runs no rule.
std::function<SetResult(PagerDocument&, const std::string&)> actingOnChange(const FieldEntry& e)
{
    const bool onOff = e.values == listed({"on", "off"});
    const std::vector<std::string> choices = !e.items.empty() ? e.items : onOff ? OnOff : std::vector<std::string>{};
    return [set = e.set, show = e.show, choices](PagerDocument& s, const std::string& value) -> SetResult {
        const std::string shown = show(s);
        if (choices.empty()) {   // a number
            const auto wanted = parseNumber(value);
            if (wanted && wanted == parseNumber(shown))
                return {};
        } else if (const auto wanted = itemIndex(choices, value); wanted && wanted == itemIndex(choices, shown)) {
            return {};
        }
        return set(s, value);
    };
}

bool isSelector(const FieldEntry& e)
{
    return !e.items.empty() || e.values == listed({"on", "off"}) || e.name == "screen_contrast";
}

} // namespace

std::optional<int> choiceIndex(const FieldEntry& entry, const std::string& value)
{
    if (!entry.items.empty())
        return itemIndex(entry.items, value);
    if (entry.values == listed({"on", "off"}))
        return itemIndex(OnOff, value);
    return std::nullopt;
}

std::uint8_t shownContrast(std::uint8_t stored)
{
    if (stored > 8)
        return 4;
    return stored < 1 ? 1 : stored;
}

bool isMailDropAlertLength(std::uint8_t length)
{
    return std::find(MailDropAlertLengths.begin(), MailDropAlertLengths.end(), length) != MailDropAlertLengths.end();
}

std::optional<std::string> capcodeEntryRefusal(const std::string& text, bool pairShowsLong)
{
    const auto v = parseNumber(text);
    if (!v)
        return std::string(messages::NotNumeric);
    const std::uint64_t limit = pairShowsLong ? LongCapcodeLimit : ShortCapcodeLimit;
    // A fraction that rounds to 0 would store capcode 0: it is refused like 0.
    if (*v > 0 && roundHalfEven(*v) >= 1 && *v <= static_cast<double>(limit))
        return std::nullopt;
    return messages::capcodeOutOfRange(limit);
}

std::string fieldTagText(const map::BitField& field, const std::string& kind)
{
    return "&H" + hex(static_cast<unsigned>(field.byte)) + "," + std::to_string(field.firstBit) + ","
           + std::to_string(field.width) + "," + kind;
}

std::string capcodeTypeTag(int k) { return fieldTagText(map::capcodeType(k), "cbo"); }

FieldCatalog::FieldCatalog()
{
    // Capcode rows.
    for (int k = 0; k < 16; ++k) {
        const std::string row = "capcode." + std::to_string(k + 1);
        const map::ByteRange slot = map::capcodeSlot(k);
        entries_.push_back({row,
                            [k](const PagerDocument& s) {
                                // The second row of a long pair is hidden: its slot holds half the number.
                                return hiddenSecondSlot(s, k) ? std::string("-") : s.shownCapcodeText(k);
                            },
                            [k](PagerDocument& s, const std::string& v) { return setCapcode(s, k, v); },
                            {slot.at(1), slot.at(2), slot.at(3)}, "the capcode as its row shows it: 1 to " + std::to_string(ShortCapcodeLimit)
                                + " (7 digits), in the first row of a long pair up to "
                                + std::to_string(LongCapcodeLimit) + "; \"-\" shows the hidden second row of a long pair"});
        if (k % 2 == 0) {
            const int p = k / 2;
            entries_.push_back(choiceEntry(
                {"pair." + std::to_string(p + 1) + ".length",
                 [p](const PagerDocument& s) { return LengthItems[s.pairShownLong(p) ? 1 : 0]; },
                 [p](PagerDocument& s, const std::string& v) -> SetResult {
                     const auto index = itemIndex(LengthItems, v);
                     if (!index)
                         return badChoice(LengthItems);
                     s.setPairLength(p, *index == 1);
                     return {};
                 },
                 {}, listed(LengthItems) + " (rows 2N-1 and 2N; make a pair Long before giving it a long capcode)"},
                LengthItems));
        }
        FieldEntry enable{row + ".enable",
                          [k](const PagerDocument& s) { return OnOff[capcodeEnabled(s.table(), k)]; },
                          [k](PagerDocument& s, const std::string& v) -> SetResult {
                              const auto index = itemIndex(OnOff, v);
                              if (!index)
                                  return badChoice(OnOff);
                              setEnable(s, k, *index == 1);
                              return {};
                          },
                          {map::capcodeEnable(k).byte}, listed({"on", "off"})};
        enable.tag = fieldTagText(map::capcodeEnable(k), "chk");
        entries_.push_back(std::move(enable));
        if (k > 0) {   // row 1 is always "Personal"
            FieldEntry type{row + ".type",
                            [k](const PagerDocument& s) { return TypeItems[map::isOn(s.table(), map::capcodeType(k))]; },
                            [k](PagerDocument& s, const std::string& v) -> SetResult {
                                const auto index = itemIndex(TypeItems, v);
                                if (!index)
                                    return badChoice(TypeItems);
                                setRowBitFollowing(s, map::capcodeType, k, *index == 1);
                                return {};
                            },
                            {map::capcodeType(k).byte}, listed(TypeItems)};
            type.items = TypeItems;
            type.tag = capcodeTypeTag(k);
            entries_.push_back(std::move(type));
        }
        FieldEntry priority{row + ".priority",
                            [k](const PagerDocument& s) { return OnOff[map::isOn(s.table(), map::capcodePriority(k))]; },
                            [k](PagerDocument& s, const std::string& v) -> SetResult {
                                const auto index = itemIndex(OnOff, v);
                                if (!index)
                                    return badChoice(OnOff);
                                setRowBitFollowing(s, map::capcodePriority, k, *index == 1);
                                return {};
                            },
                            {map::capcodePriority(k).byte}, listed({"on", "off"})};
        priority.tag = fieldTagText(map::capcodePriority(k), "chkN");
        entries_.push_back(std::move(priority));
        if (k > 0) {   // row 1 has the "Mail Alert" switch instead
            entries_.push_back(choiceEntry({row + ".mail_alert",
                                            [k](const PagerDocument& s) { return showMailAlert(s.table(), k); },
                                            [k](PagerDocument& s, const std::string& v) -> SetResult {
                                                const auto index = itemIndex(MailAlertItems, v);
                                                if (!index)
                                                    return badChoice(MailAlertItems);
                                                storeMailDropAlert(s, k, *index);
                                                return {};
                                            },
                                            {map::mailDropAlertLength(k)}, listed(MailAlertItems)},
                                           MailAlertItems));
        }
    }
    {
        FieldEntry mailAlert = checkOption("mail_alert", map::MailAlert);
        mailAlert.tag.clear();   // the "Mail Alert" switch has rules of its own
        entries_.push_back(std::move(mailAlert));
    }
    std::vector<int> frameMaskBytes;
    for (int j = 0; j < map::FrameRecordCount; ++j)   // the mask and its copies in the seven other frame records
        frameMaskBytes.insert(frameMaskBytes.end(), {map::FrameMaskHigh + map::FrameRecordSize * j,
                                                     map::FrameMaskLow + map::FrameRecordSize * j});
    entries_.push_back(shownOnly("frame_mask", frameMaskBytes, [](const PagerTable& t) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04X", readFrameMask(t));
        return std::string(buffer);
    }));

    // Frequency and synthesizer.
    entries_.push_back(choiceEntry({"band",
                        [](const PagerDocument& s) {
                            const auto band = s.band();
                            return band ? std::string(bandText(*band)) : std::string("(none)");
                        },
                        [](PagerDocument& s, const std::string& v) -> SetResult {
                            const auto index = itemIndex(BandItems, v);
                            if (!index)
                                return badChoice(BandItems);
                            // Choosing a band loads its preset, operating frequency included;
                            // the band the selector already shows changes nothing, as in the window.
                            s.chooseBand(static_cast<Band>(*index));
                            return {};
                        },
                        range(map::SynthesizerBlock), listed(BandItems) + " (setting it loads the band's preset)"},
                                   BandItems));
    {
        FieldEntry frequency{"frequency",
                             [](const PagerDocument& s) {
                                 return std::to_string(readBigEndian32(s.table(), map::OperatingFrequency.first));
                             },
                             [](PagerDocument& s, const std::string& v) { return setFrequency(s, v); },
                             range(map::OperatingFrequency),
                             "in units of 100 Hz (9310125 is 931.0125 MHz), inside the band and on its channel "
                             "raster, as the window checks it"};
        // While typing only the number is checked; band and raster when the field is left.
        frequency.check = [](const PagerDocument&, const std::string& text) -> std::optional<std::string> {
            if (text.empty() || parseNumber(text))
                return std::nullopt;
            return std::string(messages::NotDecimal);
        };
        entries_.push_back(std::move(frequency));
    }
    entries_.push_back(shownOnly("base_frequency", range(map::BaseFrequency),
                                 [](const PagerTable& t) { return std::to_string(baseFrequencyHz(t) / 100); }));
    entries_.push_back(shownOnly("pll.incd", {map::Incd}, [](const PagerTable& t) { return hex(t[map::Incd]); }));
    entries_.push_back(shownOnly("pll.r", range(map::PllR), [](const PagerTable& t) {
        return hex(t[map::PllR.at(0)] * 256u + t[map::PllR.at(1)]);
    }));
    entries_.push_back(shownOnly("pll.n", range(map::PllN), [](const PagerTable& t) {
        return hex((t[map::PllN.at(0)] * 256u + t[map::PllN.at(1)]) * 256u + t[map::PllN.at(2)]);
    }));
    entries_.push_back(shownOnly("channel_spacing", {map::ChannelSpacingKHz}, [](const PagerTable& t) {
        return std::to_string(t[map::ChannelSpacingKHz]) + "KHz";
    }));

    // Alerts.
    entries_.push_back(checkOption("counter_out_enable", map::CounterOutEnable));
    entries_.push_back(checkOption("alert_and_vibrate", map::AlertAndVibrate));
    entries_.push_back(checkOption("alert_cadence_enable", map::AlertCadenceEnable));
    entries_.push_back(byteChoice("personal_alert_length", map::PersonalAlertLength,
                                  {"continuous", "2 second", "8 second", "16 second", "32 second"}, {0, 2, 8, 16, 32}));
    entries_.push_back(checkOption("lowcell_alert_control", map::LowcellAlertControl));
    entries_.push_back(checkOption("out_of_service_control", map::OutOfServiceControl));
    entries_.push_back(comboOption("music_type_select", map::MusicTypeSelect, {"Taiwan Music", "World Wild Music "}));
    entries_.push_back(comboOption("reminder_duartion_control", map::ReminderDuartionControl,
                                   {"Disable", "2 minutes", "10 minutes", "60 minutes"}));
    // Manual write.
    {
        FieldEntry manual = checkOption("manual_write_enable", map::ManualWriteEnable);
        // The window applies the layout's rule to byte 0x3D when it shows an image.
        manual.show = [](const PagerDocument& s) {
            PagerTable shown = s.image();
            applyCapcodeLayoutBits(shown, s.visibleRows());
            return OnOff[map::isOn(shown, map::ManualWriteEnable) ? 1 : 0];
        };
        auto plainSet = manual.set;
        manual.set = [plainSet](PagerDocument& s, const std::string& v) -> SetResult {
            // The window locks the box while short and long pairs are mixed.
            if (!s.manualWriteSelectable())
                return {SetOutcome::Refused, "Manual Write Enable can not be changed while short and long "
                                             "capcodes are mixed"};
            return plainSet(s, v);
        };
        entries_.push_back(std::move(manual));
    }
    entries_.push_back(checkOption("frequency_modification_enable", map::FrequencyModificationEnable));
    // Status.
    entries_.push_back(checkOption("air_program_enable", map::AirProgramEnable));
    entries_.push_back(checkOption("discard_error_message", map::DiscardErrorMessage));
    entries_.push_back(comboOption("read_time_out", map::ReadTimeOut, {"8 sec", "14 sec", "20 sec", "30 sec"}));
    entries_.push_back(comboOption("numeric_display_mode", map::NumericDisplayMode, {"Standard", "OEC(china)"}));
    entries_.push_back(comboOption("paging_display_mode", map::PagingDisplayMode, {"Page Count", "Direct"}));
    entries_.push_back(checkOption("direct_show_lamp_on", map::DirectShowLampOn));
    entries_.push_back(choiceEntry({"sequential_lockout",
                                    [](const PagerDocument& s) {
                                        if (map::read(s.table(), map::SequentialLockoutOn) == 0)
                                            return SequentialLockoutItems[0];
                                        return SequentialLockoutItems[map::read(s.table(), map::SequentialLockoutPeriod) + 1];
                                    },
                                    [](PagerDocument& s, const std::string& v) -> SetResult {
                                        const auto index = itemIndex(SequentialLockoutItems, v);
                                        if (!index)
                                            return badChoice(SequentialLockoutItems);
                                        map::write(s.table(), map::SequentialLockoutOn, *index == 0 ? 0 : 1);
                                        if (*index > 0)
                                            map::write(s.table(), map::SequentialLockoutPeriod, *index - 1);
                                        return {};
                                    },
                                    {map::SequentialLockoutOn.byte}, listed(SequentialLockoutItems)},
                                   SequentialLockoutItems));
    entries_.push_back(checkOption("display_source_enable", map::DisplaySourceEnable));
    entries_.push_back({"screen_contrast",
                        [](const PagerDocument& s) {
                            return std::to_string(shownContrast(s.table()[map::ScreenContrast]));
                        },
                        [](PagerDocument& s, const std::string& v) -> SetResult {
                            const auto n = parseNumber(v);
                            if (!n || *n != static_cast<int>(*n) || *n < 1 || *n > 8)
                                return {SetOutcome::BadValue, "expected a whole number from 1 to 8"};
                            s.table()[map::ScreenContrast] = static_cast<std::uint8_t>(*n);
                            return {};
                        },
                        {map::ScreenContrast}, "1 to 8"});
    entries_.push_back(checkOption("password_required", map::PasswordRequired));
    entries_.push_back(checkOption("password_modification_enable", map::PasswordModificationEnable));
    // Prompts page.
    entries_.push_back(comboOption("date_display_method", map::DateDisplayMethod, {"dd-mm-yy", "mm-dd-yy"}));
    addPromptAndPasswordFields(*this);
    for (FieldEntry& e : entries_)
        if (e.set && isSelector(e))
            e.set = actingOnChange(e);
}

const FieldEntry* FieldCatalog::find(const std::string& name) const
{
    for (const FieldEntry& e : entries_)
        if (e.name == name)
            return &e;
    return nullptr;
}

const FieldEntry& FieldCatalog::at(const std::string& name) const
{
    if (const FieldEntry* e = find(name))
        return *e;
    throw std::out_of_range("no field " + name);
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
