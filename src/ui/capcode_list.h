#pragma once
// The scrolling list "Capcode Address": sixteen capcode rows in eight pairs, each
// pair short (two 7-digit capcodes) or long (one 10-digit capcode over both
// slots). The rows show the pager image and write every accepted change into it.
#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"
#include "ui/editor_context.h"

#include <QObject>

#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QScrollBar;
class QWidget;
class QKeyEvent;

namespace px316t {

class ControlFactory;
class FieldEvents;

class CapcodeList : public QObject {
public:
    static constexpr int Rows = 16;
    static constexpr int Pairs = 8;

    // Creates the rows inside `frame` (the group "Capcode Address").
    CapcodeList(EditorContext& context, ControlFactory& factory, QWidget* frame);

    // Stores the number shown in txtAddr(k) into slot k (and k + 1 for a long capcode).
    void txt_to_tbl(int k);
    // Shows every stored capcode in its 7- or 10-digit form.
    void read_dftaddr();
    // Rebuilds the frame mask from the enabled capcodes and greys out unsupported rows.
    void set_frame();
    // Lays out the visible rows, numbers them, sizes the scroll range, applies the
    // manual-write rule.
    void ChkCapLen();
    // The rules the shown layout implies for the image: the manual-write bits,
    // no enabled capcode beyond the last usable slot, the frame mask.
    void applyLayoutRules();
    // Follows the long-word flags of the image; true when a length selector changed.
    bool read_CapLen();
    // The display part of read_CapLen: selectors, second rows and tool tips follow
    // the long-word flags; nothing is stored and no refresh runs. True when a
    // selector changed.
    bool showPairLengths();
    void read_MailAlert();
    // Shows or hides the alert controls of rows 2..16 for "Mail Alert".
    void showMailAlertControls(bool mailAlertTicked);

    // Rules run by the shared check-box and combo handlers after the bound bit was written.
    void typeRule(int k);
    void enableRule(int k);

    bool pairIsLong(int pair) const;
    // The rows the selectors leave visible: one for a long pair, two for a short one.
    int visibleRows() const;
    // The pair lengths the selectors show.
    PairLengths shownPairLengths() const;
    // Whether "Manual Write Enable" may be changed under the current layout.
    bool manualWriteSelectable() const { return manualWriteSelectable_; }

    std::array<QLabel*, Rows> Label1{};
    std::array<QLineEdit*, Rows> txtAddr{};
    std::array<QFrame*, Rows> Text1{};
    std::array<QLabel*, Rows> Label2{};
    std::array<QLabel*, Rows> lblAlert{};
    std::array<QComboBox*, Rows> cboMailAlert{};
    std::array<QComboBox*, Pairs> cboCapLen{};
    std::array<QComboBox*, Pairs> cboCapSht{};
    QLabel* Label25 = nullptr;
    QCheckBox* chkMailAlert = nullptr;
    QWidget* Picture1 = nullptr;
    QWidget* Picture2 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QLabel* lblFrame = nullptr;   // on the synthesizer panel; set by the main window

private:
    void createRow(ControlFactory& factory, int k);
    void cboCapLen_Click(int pair);
    void cboMailAlert_Click(int k);
    void chkMailAlert_Click();
    void VScroll1_Change(int value);
    // The list's present scale against its design (the viewport's height ratio).
    double listScale() const;
    // Puts the rows' container at the top the scroll value gives.
    void placeList(int scrollValue);
    // The row (k) a control of the list belongs to; -1 for none.
    int rowOf(const QWidget* control) const;
    // Scrolls the list so that the control's row lies inside the viewport.
    void scrollToShow(const QWidget* control);
    void txtAddr_GotFocus(int k);
    bool txtAddr_KeyPress(int k, QKeyEvent* event);
    void txtAddr_KeyUp(int k);
    void txtAddr_LostFocus(int k);
    // The key-release check; false when the entry was refused (message shown).
    bool checkTypedCapcode(int k);
    void showSecondRow(int pair, bool show);
    void setLengthTooltip(int pair, bool longPair);
    void refuseTypedCapcode(int k, const QString& message);
    QWidget* secondRowControl(int pair, int which) const;

    EditorContext& ctx_;
    std::array<FieldEvents*, Rows> fieldEvents_{};
    std::array<QString, Rows> checkedText_{};   // the text the key-release check last passed
    std::array<CapcodeEntry, Rows> entered_{};   // the capcodes a field held when it was entered
    bool manualWriteSelectable_ = true;
    double scrolledDesignTwips_ = 0;   // the scroll position at design scale
};

} // namespace px316t
