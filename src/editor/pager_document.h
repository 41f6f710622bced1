#pragma once
// The pager being edited, as both faces hold it: the image, the pair lengths
// the capcode rows show, the band the selector shows, and the entry being
// typed into a capcode field. It is the one owner of the capcode, pair and
// frame rules, of the rules applied to an image that arrives whole (a table
// file, a pager read), and of the image a production run writes. The window
// and the command line open every file and pager image through it, so the
// same file gives the same pager from both; the field catalogue's entries
// operate on it. Every change a view may have to follow is announced.
#include "editor/band_rules.h"
#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"
#include "editor/field_catalog.h"
#include "table/pager_table.h"
#include "table/table_file.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace px316t {

// The entry-error flags of the typed fields.
struct EntryFlags {
    bool EntryRejected = false;   // a field refused its entry; the next Pager command drops itself
    bool CapcodeInvalid = false;  // the last capcode conversion fell in the reserved gap
};

// What a change touched, for the views that follow the document.
enum class DocumentChange {
    Image,         // the image changed as a whole (it arrived, a band's preset): show everything
    PairLengths,   // a pair's length changed: lay the rows out again and show everything
    Capcodes,      // capcode numbers changed (a production run's first capcode): the rows and frames
    Frames,        // enable bits and the frame mask: the frame label and which rows can be used
    Prompts,       // the prompt records (a language's set)
    Frequency,     // the operating frequency, and with it perhaps a preset's synthesizer values
};

class PagerDocument {
public:
    // The image a freshly started window holds.
    PagerDocument();
    // An image that arrives whole, with the rules of arrival applied.
    explicit PagerDocument(const PagerTable& arriving);
    // A copy holds the same pager, selectors and entry; nobody listens to it.
    PagerDocument(const PagerDocument& other);
    PagerDocument& operator=(const PagerDocument&) = delete;

    // ---- the image -------------------------------------------------------------
    const PagerTable& image() const { return table_; }
    // The image for the catalogue's entries and the rules below, which say
    // themselves what they changed.
    PagerTable& table() { return table_; }
    const PagerTable& table() const { return table_; }

    // An image that arrives whole replaces this one: the second slot of every
    // long pair follows its first (type, priority, a set enable bit, a
    // mail-drop alert length from pair 2 on), the capcode layout's bits are
    // stored, capcodes past the last usable slot are disabled, the frame
    // mask is rebuilt and a contrast outside 1 to 8 becomes the level the
    // slider shows. The pair lengths follow the long-word flags, the band
    // follows byte 0xF1 (an unknown band leaves it). Announces Image.
    void arrive(const PagerTable& image);
    // A table file, read whole before anything changes: a shorter file
    // replaces only its leading bytes, a longer one gives its first 912. On
    // failure the image stays as it was and `reason` holds the system's
    // reason when known.
    TableFileError openFile(const std::filesystem::path& path, std::error_code& reason);
    // The image into a table file, replaced whole.
    TableFileError saveFile(const std::filesystem::path& path, std::error_code& reason) const;

    // ---- what the selectors show -------------------------------------------------
    const PairLengths& pairLengths() const { return pairLong_; }
    bool pairShownLong(int pair) const { return pair >= 0 && pair < 8 && pairLong_[pair]; }
    // The pair lengths as the image's long-word flags give them (the window's
    // read_CapLen); true when one changed. Announces PairLengths then.
    bool followLongWordFlags();
    std::optional<Band> band() const { return band_; }
    // Loads the preset of `band`, operating frequency included, unless that
    // band is shown already. Announces Image.
    void chooseBand(Band band);

    // ---- capcodes ------------------------------------------------------------------------
    // The capcode each row shows (nothing for a slot the display skips) and as text.
    std::array<std::optional<ShownCapcode>, 16> shownCapcodes() const;
    std::string shownCapcodeText(int k) const;
    // Stores number v typed for row k (txt_to_tbl), in the form its pair shows;
    // CapcodeInvalid follows the result.
    CapcodeStoreResult storeCapcode(int k, double v);
    // The length selector of a pair: a short pair keeps its rows' numbers (a
    // number too large for a short row becomes 1234567, the second row
    // 1234567 too), the second slot follows the first, and the layout's bits
    // and the frames follow. Announces PairLengths.
    void setPairLength(int pair, bool isLong);
    // The last capcode slot the pager supports (byte 0x3E bits 4..7).
    int lastUsableSlot() const;
    // Rows the pair lengths leave: one per long pair, two per short one.
    int visibleRows() const;
    // Whether "Manual Write Enable" may be changed (all pairs short or all long).
    bool manualWriteSelectable() const;
    // The frame mask of the capcodes the rows show: every enabled capcode up to
    // the last usable slot adds its frame; a skipped slot adds none.
    std::uint16_t frameMask() const;
    // Clears the enable bits past the last usable slot and stores the frame
    // mask with its copies (set_frame). Announces Frames.
    void refreshFrames();
    // The capcode layout's bits, then the frames, without announcing: the
    // caller shows everything anyway.
    void applyLayoutRules();

    // ---- the entry being typed ----------------------------------------------------------
    EntryFlags& flags() { return flags_; }
    const EntryFlags& flags() const { return flags_; }
    // Row k's field is entered: what its slots hold is kept, so that a refused
    // entry puts back the capcode the field held, not a prefix stored on the way.
    void enterCapcode(int k);
    // The text of row k after a key release: stored at once, or refused (the
    // entry put back) with the message returned. Empty text does nothing.
    std::optional<std::string> typeCapcode(int k, const std::string& text);
    // Leaving row k's field: a number in the reserved gap is refused ("Invalid
    // Capcode!", the entry put back, EntryRejected set); otherwise the frames
    // follow. An empty field clears CapcodeInvalid first.
    std::optional<std::string> leaveCapcode(int k, bool fieldEmpty);

    // ---- fields by name ---------------------------------------------------------------------
    std::string show(const std::string& name) const;
    // Through the catalogue's entry: the same checks and messages as the window.
    SetResult set(const std::string& name, const std::string& value);

    // ---- a production run --------------------------------------------------------------------
    // What row 1 shows, when that is a whole number.
    std::optional<std::uint64_t> firstCapcode() const;
    // The image for the pager with first capcode `capcode`: this one with row 1
    // replaced and the frames rebuilt; this one itself for its own first capcode.
    PagerTable imageWithFirstCapcode(std::uint64_t capcode) const;
    // Row 1 shows `capcode` from now on. Announces Capcodes.
    void showFirstCapcode(std::uint64_t capcode);

    // ---- listeners --------------------------------------------------------------------------------
    using Listener = std::function<void(DocumentChange)>;
    // Listening lasts as long as the subscription; a view keeps it as a member,
    // so that it stops listening when it goes. The document must outlive it.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription();

    private:
        friend class PagerDocument;
        Subscription(PagerDocument* document, int id) : document_(document), id_(id) {}
        PagerDocument* document_ = nullptr;
        int id_ = 0;
    };
    [[nodiscard]] Subscription listen(Listener listener);
    void announce(DocumentChange change);

private:
    PagerTable table_{};
    PairLengths pairLong_{};
    std::optional<Band> band_;
    EntryFlags flags_;
    CapcodeEntry entered_;
    std::vector<std::pair<int, Listener>> listeners_;
    int lastListener_ = 0;
};

// The rules of arrival, on an image alone (see PagerDocument::arrive).
void applyArrivalRules(PagerTable& image);

} // namespace px316t
