// The command line's `set FILE NAME=VALUE ...`: values as a script types them
// are applied, in order, through the field catalogue to an image. The input is
//
//     byte 0            number of image bytes to overwrite (low five bits)
//     3 bytes each      address (big-endian, modulo 912) and the byte to put there
//     then, repeated    field index (modulo the catalogue's size), a length byte L:
//                         L < 0x80: the next L & 0x3F bytes are the value
//                         L >= 0x80: the next byte names a field whose shown value
//                                    is the value (so real values of every kind occur)
//
// on top of the default image, opened as a file is. Promises checked:
//  - a set that is not Changed leaves the 912 bytes and the pair lengths alone;
//  - a Changed set writes only the field's own bytes and the bits its window
//    rules derive (frame mask and copies, enable bits of slots past the last,
//    long-pair mirrors, layout bits of 0x3D, band presets, the prompt region);
//  - it changes what no unrelated field shows;
//  - every field's show is valid UTF-8 after every step;
//  - at the end, every settable field takes the value it shows: accepted, and the
//    image stays as it was, except where a rule of the catalogue rewrites it (see
//    checkOwnValue).
#include "fuzz_check.h"

#include "editor/capcode_codec.h"
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "editor/prompt_rules.h"
#include "table/builtin_tables.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

using namespace px316t;

namespace {

using BitMask = std::array<std::uint8_t, PagerTableSize>;

bool validUtf8(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; minimum = 0x80; }
        else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; minimum = 0x800; }
        else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; minimum = 0x10000; }
        else return false;
        if (i + static_cast<std::size_t>(extra) >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool endsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Row k (0..15) of a "capcode.N..." name, and the part after "capcode.N".
struct RowName {
    int k;
    std::string suffix;
};
std::optional<RowName> rowOf(const std::string& name)
{
    if (!startsWith(name, "capcode."))
        return std::nullopt;
    std::size_t i = 8;
    int n = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9')
        n = n * 10 + (name[i++] - '0');
    FUZZ_CHECK(n >= 1 && n <= 16);
    return RowName{n - 1, name.substr(i)};
}
std::optional<int> pairOf(const std::string& name)
{
    if (!startsWith(name, "pair.") || !endsWith(name, ".length"))
        return std::nullopt;
    const int p = std::stoi(name.substr(5)) - 1;
    FUZZ_CHECK(p >= 0 && p < 8);
    return p;
}

bool capcodeGroup(const std::string& name) { return rowOf(name) || pairOf(name) || name == "frame_mask"; }
bool synthesizerGroup(const std::string& name)
{
    return name == "band" || name == "frequency" || name == "base_frequency" || startsWith(name, "pll.")
        || name == "channel_spacing";
}

void allowBit(BitMask& m, int byte, int bit) { m[byte] |= static_cast<std::uint8_t>(1u << bit); }
void allowBytes(BitMask& m, int first, int count)
{
    for (int i = 0; i < count; ++i)
        m[first + i] = 0xFF;
}
void allowEnable(BitMask& m, int k) { allowBit(m, 0x73 - k / 8, k % 8); }
void allowSlot(BitMask& m, int k) { allowBytes(m, 0xB0 + 4 * k + 1, 3); }   // never the identifier byte

// What follows every capcode change: the frame mask and its seven copies, and
// the enable bits of the slots past the last one the pager supports.
void allowFrameRefresh(BitMask& m, const PagerTable& before)
{
    for (int j = 0; j < 8; ++j)
        allowBytes(m, 0x92 + 4 * j, 2);
    for (int k = GetBits(before, 0x3E, 4, 4) + 1; k < 16; ++k)
        allowEnable(m, k);
}

// The bits a Changed set of `e` may write, given the image and pair lengths before it.
BitMask allowedBits(const FieldEntry& e, const PagerDocument& s)
{
    BitMask m{};
    const std::string& name = e.name;
    if (name == "prompt_language") {
        // The language code only (the high nibble of 0x3E is the last slot), and
        // the whole prompt region.
        m[0x3A] = 0x0F;
        m[0x3E] = 0x0F;
        allowBytes(m, PromptRegionStart, PromptRecordCount * PromptRecordSize);
        return m;
    }
    if (name == "logo_font") {
        m[0x3F] = 0x0F;
        return m;
    }
    if (startsWith(name, "prompt.")) {
        // The attribute nibble keeps what it holds.
        allowBytes(m, e.addresses.front(), static_cast<int>(e.addresses.size()));
        m[e.addresses.front()] = 0x0F;
        return m;
    }
    for (int a : e.addresses)
        m[a] = 0xFF;
    if (const auto row = rowOf(name)) {
        const int k = row->k;
        const bool firstOfLong = k % 2 == 0 && s.pairLengths()[k / 2];
        if (row->suffix.empty()) {
            if (firstOfLong) {
                allowSlot(m, k + 1);
                allowEnable(m, k + 1);
            }
            allowFrameRefresh(m, s.image());
        } else if (row->suffix == ".enable") {
            m[0x73 - k / 8] = 0;
            allowEnable(m, k);
            if (firstOfLong) {
                // The first row of a long pair stores the number it shows again.
                allowSlot(m, k);
                allowSlot(m, k + 1);
                allowEnable(m, k + 1);
            }
            allowFrameRefresh(m, s.image());
        } else if (row->suffix == ".type" || row->suffix == ".priority") {
            const int byte = row->suffix == ".type" ? 0x38 - k / 8 : 0x34 + k / 8;
            m[byte] = 0;
            allowBit(m, byte, k % 8);
            if (firstOfLong)
                allowBit(m, byte, (k + 1) % 8);
        } else if (row->suffix == ".mail_alert") {
            if (firstOfLong)
                m[0x374 + k] = 0xFF;
        }
    } else if (const auto p = pairOf(name)) {
        const int first = 2 * *p;
        allowSlot(m, first);
        allowSlot(m, first + 1);
        allowEnable(m, first + 1);
        allowBit(m, 0x38 - first / 8, (first + 1) % 8);   // type of the second slot
        allowBit(m, 0x34 + first / 8, (first + 1) % 8);   // priority of the second slot
        m[0x374 + first] = 0xFF;                          // its mail-alert length
        allowBit(m, 0x3D, 7);                             // layout bits
        allowBit(m, 0x3D, 4);
        allowFrameRefresh(m, s.image());
    } else if (name == "band" || name == "frequency") {
        // A band, or the raster of a frequency, loads a preset: synthesizer
        // block, base frequency and (band) operating frequency.
        allowBytes(m, 0x00, 16);
        allowBytes(m, 0xF0, name == "band" ? 8 : 4);
        if (name == "frequency")
            allowBytes(m, 0xF4, 4);
    }
    return m;
}

// Whether a Changed set of `f` may change what `g` shows.
bool linked(const std::string& f, const std::string& g)
{
    if (capcodeGroup(f))
        // The layout bits follow the pair lengths, and the manual-write box shows them.
        return capcodeGroup(g) || (pairOf(f) && g == "manual_write_enable");
    if (f == "band" || f == "frequency")
        return synthesizerGroup(g);
    if (f == "prompt_language")
        return startsWith(g, "prompt.");
    return false;
}

std::vector<std::string> shows(const PagerDocument& s)
{
    std::vector<std::string> out;
    for (const FieldEntry& e : fieldCatalog().entries()) {
        out.push_back(e.show(s));
        FUZZ_CHECK(validUtf8(out.back()));
    }
    return out;
}

void report(const char* what, const std::string& name, const std::string& value)
{
    std::fprintf(stderr, "%s: %s=\"%s\"\n", what, name.c_str(), value.c_str());
}

// Whether the field may refuse the value it shows: a shown value that the
// field's own kind does not take (the image holds something a user cannot type).
bool mayRefuseOwnValue(const FieldEntry& e, const std::string& shown, const PagerDocument& s)
{
    const std::string& name = e.name;
    if (const auto row = rowOf(name); row && row->suffix.empty()) {
        // Capcode 0, negative numbers, numbers past the limit or in the reserved gap.
        std::uint64_t v = 0;
        for (char c : shown) {
            if (c < '0' || c > '9' || v > LongCapcodeLimit)
                return true;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        const bool isLong = row->k % 2 == 0 && s.pairLengths()[row->k / 2];
        return v < 1 || (v >= ShortCapcodeLimit && (!isLong || v < FirstLongCapcode || v > LongCapcodeLimit));
    }
    if (startsWith(name, "prompt.")) {
        // Leading spaces and characters together may exceed what the box takes.
        const bool logo = name == "prompt.logo";
        const int limit = logo ? logoMaxLength(GetBits(s.image(), 0x3F, 0, 4) == 2 ? LogoFont::Small : LogoFont::Large)
                               : PromptBoxMaxLength;
        return characterCount(shown) > limit;
    }
    if (name == "password")   // a byte above 9 shows more than four digits
        return shown.size() > 4;
    if (name == "screen_contrast")   // 0 is stored, 1..8 are offered
        return shown == "0";
    if (name == "manual_write_enable") {   // locked while short and long pairs are mixed
        int longs = 0;
        for (bool l : s.pairLengths())
            longs += l ? 1 : 0;
        return longs != 0 && longs != 8;
    }
    // The stored frequency may lie outside the image's band or off its raster.
    return name == "frequency";
}

// Setting a field to the value it shows. Accepted (unless mayRefuseOwnValue),
// and nothing any field shows changes. Fields whose rules rewrite the image
// while keeping what they show may change bytes the first time; set once more
// to the value now shown, they must leave every byte alone:
//  - capcode rows and enables rebuild the frame mask from the
//    capcodes (a stored mask may be stale); a row re-encodes its number (the
//    unused bits of a slot's second byte become 0; a long capcode may have more
//    than one pair of words); a short number in the first row of a long pair
//    disables the hidden second slot; slots past the last one the pager
//    supports are disabled;
//  - enable, type, priority and mail-alert length of the first row of a long
//    pair are copied to the hidden second row;
//  - a band loads its preset with the default operating frequency, and a
//    frequency on a raster loads the raster's synthesizer preset;
//  - a language loads its whole prompt set;
//  - a prompt is stored without trailing spaces, with at most 14 leading ones
//    and at most 18 characters, and a leading-space code of 0 becomes 1 (no
//    spaces either way); so a prompt's own show may change too;
//  - a contrast above 8 shows (and is stored as) 4;
//  - the manual-write box shows what the capcode layout makes of bit 4 of 0x3D
//    (the window applies the layout's rule when it shows an image), not the
//    stored bit, so storing the shown state may change that bit.
// A pair length set to the length it has stores nothing at all.
void checkOwnValue(const FieldEntry& e, const PagerDocument& document, const std::vector<std::string>& before)
{
    if (!e.set)
        return;
    const PagerTable& image = document.image();
    const std::array<bool, 8>& pairLong = document.pairLengths();
    PagerDocument s(document);
    const PagerTable& copy = s.image();
    const std::string shown = e.show(s);
    if (startsWith(shown, "(") || startsWith(shown, "-"))
        return;
    const SetResult r = e.set(s, shown);
    if (r.outcome != SetOutcome::Changed) {
        if (!mayRefuseOwnValue(e, shown, s))
            report(("own value refused: " + r.message).c_str(), e.name, shown);
        FUZZ_CHECK(mayRefuseOwnValue(e, shown, s));
        FUZZ_CHECK(copy == image);
        return;
    }
    FUZZ_CHECK(s.pairLengths() == pairLong);

    const auto row = rowOf(e.name);
    const bool firstOfLong = row && row->k % 2 == 0 && pairLong[row->k / 2];
    const bool rewrites = (row && (row->suffix.empty() || row->suffix == ".enable"))
        || e.name == "manual_write_enable"
        || (firstOfLong && (row->suffix == ".type" || row->suffix == ".priority" || row->suffix == ".mail_alert"))
        || e.name == "band" || e.name == "frequency" || e.name == "prompt_language"
        || startsWith(e.name, "prompt.") || (e.name == "screen_contrast" && image[0x369] > 8);
    if (!rewrites) {
        if (copy != image)
            report("own value changed the image", e.name, shown);
        FUZZ_CHECK(copy == image);
        return;
    }

    const std::vector<std::string> after = shows(s);
    const auto& entries = fieldCatalog().entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (after[i] == before[i])
            continue;
        const std::string& g = entries[i].name;
        bool expected = g == "frame_mask" && capcodeGroup(e.name);
        expected = expected || (startsWith(e.name, "prompt.") && g == e.name);
        expected = expected || ((e.name == "band" || e.name == "frequency") && synthesizerGroup(g) && g != "band");
        expected = expected || (e.name == "prompt_language" && startsWith(g, "prompt."));
        // The hidden second slot of a long pair: disabled by a short number in
        // the first row, and following its enable, type, priority and alert length.
        const std::string second = firstOfLong ? "capcode." + std::to_string(row->k + 2) : std::string();
        expected = expected || (firstOfLong && row->suffix.empty() && g == second + ".enable");
        expected = expected || (firstOfLong && !row->suffix.empty() && g == second + row->suffix);
        // A frame refresh turns off the slots past the last one the pager supports.
        const auto other = rowOf(g);
        expected = expected
            || (row && (row->suffix.empty() || row->suffix == ".enable") && other && other->suffix == ".enable"
                && other->k > GetBits(image, 0x3E, 4, 4) && after[i] == "off");
        if (!expected)
            std::fprintf(stderr, "set %s=\"%s\" changed %s: \"%s\" -> \"%s\"\n", e.name.c_str(), shown.c_str(),
                         g.c_str(), before[i].c_str(), after[i].c_str());
        FUZZ_CHECK(expected);
    }
    // A frequency keeps the number it shows; only the preset around it may change.
    if (e.name == "frequency")
        FUZZ_CHECK(std::equal(copy.begin() + 0xF4, copy.begin() + 0xF8, image.begin() + 0xF4));

    const PagerTable once = copy;
    const std::string again = e.show(s);
    const SetResult r2 = e.set(s, again);
    FUZZ_CHECK(r2.outcome == SetOutcome::Changed);
    if (copy != once)
        report("own value not stable", e.name, again);
    FUZZ_CHECK(copy == once);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Built once, as in the command line.
    FUZZ_CHECK(!fieldCatalog().entries().empty());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Longer inputs only repeat what shorter ones reach, more slowly.
    if (size > 512)
        return -1;
    const auto& entries = fieldCatalog().entries();
    std::size_t at = 0;
    auto next = [&]() -> std::optional<std::uint8_t> {
        if (at >= size)
            return std::nullopt;
        return data[at++];
    };

    PagerTable image = makeDefaultPagerTable();
    const int overwrites = size ? (next().value() & 0x1F) : 0;
    for (int i = 0; i < overwrites && at + 3 <= size; ++i) {
        const int address = ((data[at] << 8) | data[at + 1]) % PagerTableSize;
        image[address] = data[at + 2];
        at += 3;
    }

    PagerDocument session(image);
    std::vector<std::string> shown = shows(session);
    while (at + 2 <= size) {
        const FieldEntry& e = entries[*next() % entries.size()];
        const std::uint8_t length = *next();
        std::string value;
        if (length >= 0x80) {
            const auto other = next();
            if (!other)
                break;
            value = shown[*other % entries.size()];
        } else {
            const std::size_t n = std::min<std::size_t>(length & 0x3F, size - at);
            value.assign(reinterpret_cast<const char*>(data + at), n);
            at += n;
        }
        if (!e.set)
            continue;

        const PagerTable before = session.image();
        const std::array<bool, 8> pairsBefore = session.pairLengths();
        const BitMask allowed = allowedBits(e, session);
        const SetResult r = e.set(session, value);
        const std::vector<std::string> now = shows(session);
        if (r.outcome != SetOutcome::Changed) {
            FUZZ_CHECK(session.image() == before);
            FUZZ_CHECK(session.pairLengths() == pairsBefore);
            FUZZ_CHECK(now == shown);
            continue;
        }
        for (int a = 0; a < PagerTableSize; ++a) {
            const std::uint8_t changed = session.image()[a] ^ before[a];
            if (changed & ~allowed[a])
                std::fprintf(stderr, "set %s=\"%s\" wrote byte 0x%03X: %02X -> %02X (may change %02X)\n",
                             e.name.c_str(), value.c_str(), a, before[a], session.image()[a], allowed[a]);
            FUZZ_CHECK((changed & ~allowed[a]) == 0);
        }
        if (!pairOf(e.name))
            FUZZ_CHECK(session.pairLengths() == pairsBefore);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (now[i] == shown[i] || entries[i].name == e.name)
                continue;
            if (!linked(e.name, entries[i].name))
                std::fprintf(stderr, "set %s=\"%s\" changed %s: \"%s\" -> \"%s\"\n", e.name.c_str(), value.c_str(),
                             entries[i].name.c_str(), shown[i].c_str(), now[i].c_str());
            FUZZ_CHECK(linked(e.name, entries[i].name));
        }
        shown = now;
    }

    for (const FieldEntry& e : entries)
        checkOwnValue(e, session, shown);
    return 0;
}
