#include "editor/pager_document.h"

#include "editor/capcode_layout.h"
#include "editor/field_catalog.h"
#include "editor/frame_mask.h"
#include "editor/messages.h"
#include "editor/numeric_text.h"
#include "table/memory_map.h"

#include <algorithm>

namespace px316t {
namespace {

int rowsOf(const PairLengths& lengths)
{
    int rows = 0;
    for (const bool isLong : lengths)
        rows += isLong ? 1 : 2;
    return rows;
}

// set_frame's part in the image: no capcode past the last usable slot is
// enabled, and the mask of the capcodes the rows show is stored with its copies.
void storeFrames(PagerTable& table, const PairLengths& lengths)
{
    for (int k = lastCapcode(table) + 1; k < 16; ++k)
        setCapcodeEnabled(table, k, false);
    writeFrameMask(table, frameMaskOf(table, lengths));
}

// In every pair whose first slot carries the long-word flag the second slot
// follows the first: type and priority, a set enable bit, and (from pair 2 on,
// since capcode 1 has no alert-length selector to take it from) a mail-drop
// alert length of 0, 1 or 16.
void mirrorLongPairs(PagerTable& table)
{
    for (int k = 0; k < 16; k += 2) {
        if (!hasLongWordFlag(table, k))
            continue;
        for (const auto bitOf : {map::capcodeType, map::capcodePriority})
            map::write(table, bitOf(k + 1), map::read(table, bitOf(k)));
        if (capcodeEnabled(table, k))
            setCapcodeEnabled(table, k + 1, true);
        const std::uint8_t length = table[map::mailDropAlertLength(k)];
        if (k > 0 && isMailDropAlertLength(length))
            table[map::mailDropAlertLength(k + 1)] = length;
    }
}

std::string capcodeText(const ShownCapcode& shown)
{
    const std::int64_t value = shown.value;
    const std::string digits = formatCapcode(static_cast<std::uint64_t>(value < 0 ? -value : value), shown.digits);
    return value < 0 ? '-' + digits : digits;
}

} // namespace

void applyArrivalRules(PagerTable& image)
{
    // The slider cannot show a contrast outside 1 to 8: the pager gets the level shown.
    image[map::ScreenContrast] = shownContrast(image[map::ScreenContrast]);
    mirrorLongPairs(image);
    const PairLengths lengths = pairLengthsOf(image);
    applyCapcodeLayoutBits(image, rowsOf(lengths));
    storeFrames(image, lengths);
}

PagerDocument::PagerDocument() : table_(startupPagerTable()), band_(StartupBand) {}

PagerDocument::PagerDocument(const PagerTable& arriving) : band_(StartupBand) { arrive(arriving); }

PagerDocument::PagerDocument(const PagerDocument& other)
    : table_(other.table_), pairLong_(other.pairLong_), band_(other.band_), flags_(other.flags_),
      entered_(other.entered_)
{
}

PagerDocument::Subscription PagerDocument::listen(Listener listener)
{
    listeners_.emplace_back(++lastListener_, std::move(listener));
    return Subscription(this, lastListener_);
}

void PagerDocument::announce(DocumentChange change)
{
    // A listener may start or stop listening while it follows the change.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners)
        listener(change);
}

PagerDocument::Subscription::Subscription(Subscription&& other) noexcept
    : document_(std::exchange(other.document_, nullptr)), id_(other.id_)
{
}

PagerDocument::Subscription& PagerDocument::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        Subscription gone(std::move(*this));
        document_ = std::exchange(other.document_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

PagerDocument::Subscription::~Subscription()
{
    if (!document_)
        return;
    auto& listeners = document_->listeners_;
    listeners.erase(std::remove_if(listeners.begin(), listeners.end(), [this](const auto& l) { return l.first == id_; }),
                    listeners.end());
}

// ---- arrival -------------------------------------------------------------------

void PagerDocument::arrive(const PagerTable& image)
{
    table_ = image;
    applyArrivalRules(table_);
    pairLong_ = pairLengthsOf(table_);
    if (const auto fromImage = bandFromImage(table_))
        band_ = fromImage;
    announce(DocumentChange::Image);
}

TableFileError PagerDocument::openFile(const std::filesystem::path& path, std::error_code& reason)
{
    auto loaded = readTableFile(path, reason);
    if (const auto* error = std::get_if<TableFileError>(&loaded))
        return *error;
    PagerTable next = table_;
    applyTableFileBytes(next, std::get<std::vector<std::uint8_t>>(loaded));
    arrive(next);
    return TableFileError::None;
}

TableFileError PagerDocument::saveFile(const std::filesystem::path& path, std::error_code& reason) const
{
    return writeTableFile(path, table_, reason);
}

bool PagerDocument::followLongWordFlags()
{
    const PairLengths flags = pairLengthsOf(table_);
    if (flags == pairLong_)
        return false;
    pairLong_ = flags;
    announce(DocumentChange::PairLengths);
    return true;
}

void PagerDocument::chooseBand(Band band)
{
    if (band_ == band)
        return;
    band_ = band;
    applyBandPreset(table_, presetForBand(band), true);
    announce(DocumentChange::Image);
}

// ---- capcodes ---------------------------------------------------------------------

std::array<std::optional<ShownCapcode>, 16> PagerDocument::shownCapcodes() const
{
    return px316t::shownCapcodes(table_, pairLong_);
}

std::string PagerDocument::shownCapcodeText(int k) const
{
    if (k < 0 || k > 15)
        return {};
    const auto shown = shownCapcodes()[static_cast<std::size_t>(k)];
    return shown ? capcodeText(*shown) : std::string();
}

CapcodeStoreResult PagerDocument::storeCapcode(int k, double v)
{
    const CapcodeStoreResult result = px316t::storeCapcode(table_, k, v, k % 2 == 0 && pairShownLong(k / 2));
    if (result == CapcodeStoreResult::Short || result == CapcodeStoreResult::Long)
        flags_.CapcodeInvalid = false;
    else if (result == CapcodeStoreResult::ReservedGap)
        flags_.CapcodeInvalid = true;
    return result;
}

void PagerDocument::setPairLength(int pair, bool isLong)
{
    // The selector acts when its choice changes: choosing the length the pair
    // has already stores nothing.
    if (pair < 0 || pair >= 8 || pairLong_[pair] == isLong)
        return;
    const int first = 2 * pair;
    const auto v = parseNumber(shownCapcodeText(first));
    pairLong_[pair] = isLong;
    if (!isLong) {
        map::write(table_, map::longWordFlag(first), 0);
        map::write(table_, map::longWordFlag(first + 1), 0);
        storeCapcode(first + 1, 1234567);
        if (v)
            storeCapcode(first, *v < static_cast<double>(ShortCapcodeLimit) ? *v : 1234567);
    } else if (v) {
        storeCapcode(first, *v);
    }
    // Type, priority and mail-drop alert length of the second slot follow the first.
    for (const auto bitOf : {map::capcodeType, map::capcodePriority})
        if (isLong)
            map::write(table_, bitOf(first + 1), map::read(table_, bitOf(first)));
    if (isLong)
        table_[map::mailDropAlertLength(first + 1)] = table_[map::mailDropAlertLength(first)];
    applyLayoutRules();
    announce(DocumentChange::PairLengths);
}

int PagerDocument::lastUsableSlot() const { return lastCapcode(table_); }

int PagerDocument::visibleRows() const { return rowsOf(pairLong_); }

bool PagerDocument::manualWriteSelectable() const { return px316t::manualWriteSelectable(visibleRows()); }

std::uint16_t PagerDocument::frameMask() const { return frameMaskOf(table_, pairLong_); }

void PagerDocument::refreshFrames()
{
    storeFrames(table_, pairLong_);
    announce(DocumentChange::Frames);
}

void PagerDocument::applyLayoutRules()
{
    applyCapcodeLayoutBits(table_, visibleRows());
    storeFrames(table_, pairLong_);
}

// ---- the entry being typed --------------------------------------------------------

void PagerDocument::enterCapcode(int k) { entered_ = saveCapcodeEntry(table_, k); }

std::optional<std::string> PagerDocument::typeCapcode(int k, const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    if (auto refusal = capcodeEntryRefusal(text, k % 2 == 0 && pairShownLong(k / 2))) {
        // The prefixes stored on the way were never the technician's choice.
        restoreCapcodeEntry(table_, entered_);
        return refusal;
    }
    storeCapcode(k, *parseNumber(text));
    return std::nullopt;
}

std::optional<std::string> PagerDocument::leaveCapcode(int, bool fieldEmpty)
{
    if (fieldEmpty)
        flags_.CapcodeInvalid = false;
    if (flags_.CapcodeInvalid) {
        flags_.EntryRejected = true;
        flags_.CapcodeInvalid = false;
        restoreCapcodeEntry(table_, entered_);
        return std::string(messages::InvalidCapcode);
    }
    refreshFrames();
    return std::nullopt;
}

// ---- fields by name ------------------------------------------------------------------

std::string PagerDocument::show(const std::string& name) const { return fieldCatalog().at(name).show(*this); }

SetResult PagerDocument::set(const std::string& name, const std::string& value)
{
    const FieldEntry& entry = fieldCatalog().at(name);
    if (!entry.set)
        return {SetOutcome::ReadOnly, name + ": shown only; it follows from other fields"};
    return entry.set(*this, value);
}

// ---- a production run ------------------------------------------------------------------

std::optional<std::uint64_t> PagerDocument::firstCapcode() const
{
    const auto shown = shownCapcodes()[0];
    if (!shown || shown->value < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(shown->value);
}

PagerTable PagerDocument::imageWithFirstCapcode(std::uint64_t capcode) const
{
    if (firstCapcode() == capcode)
        return table_;
    PagerTable image = table_;
    px316t::storeCapcode(image, 0, static_cast<double>(capcode), pairShownLong(0));
    storeFrames(image, pairLong_);
    return image;
}

void PagerDocument::showFirstCapcode(std::uint64_t capcode)
{
    table_ = imageWithFirstCapcode(capcode);
    announce(DocumentChange::Capcodes);
}

} // namespace px316t
