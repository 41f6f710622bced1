#pragma once
// The scrolling list "Capcode Address": sixteen capcode rows in eight pairs, each
// pair short (two 7-digit capcodes) or long (one 10-digit capcode over both
// slots). The rows are bound to the catalogue's capcode fields; the list lays
// them out, shows and hides them, and follows the document's capcode changes.
#include "editor/pager_document.h"
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

namespace px316t {

class ControlFactory;

class CapcodeList : public QObject {
public:
    static constexpr int Rows = 16;
    static constexpr int Pairs = 8;

    // Creates the rows inside `frame` (the group "Capcode Address").
    CapcodeList(EditorContext& context, ControlFactory& factory, QWidget* frame);

    // Shows every stored capcode in its 7- or 10-digit form.
    void read_dftaddr();
    // Shows the frame mask and greys out the rows the pager cannot use.
    void set_frame();
    // Each row's tool tip: where its capcode sits in FLEX when it is enabled,
    // and the warning for an address FLEX keeps for itself.
    void showFlexTips();
    // Lays out the visible rows, numbers them, sizes the scroll range, and
    // enables "Manual Write Enable" as the layout allows.
    void ChkCapLen();
    // The pair lengths follow the long-word flags of the image; true when one changed.
    bool read_CapLen();
    // Selectors, second rows and tool tips show the document's pair lengths;
    // nothing is stored.
    void showPairLengths();
    void read_MailAlert();
    // Shows or hides the alert controls of rows 2..16 for "Mail Alert".
    void showMailAlertControls(bool mailAlertTicked);

    // Run by the shared combo handler after the type of row k changed.
    void typeRule(int k);


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
    void showSecondRow(int pair, bool show);
    void setLengthTooltip(int pair, bool longPair);
    QWidget* secondRowControl(int pair, int which) const;

    EditorContext& ctx_;
    PagerDocument::Subscription listening_;
    double scrolledDesignTwips_ = 0;   // the scroll position at design scale
};

} // namespace px316t
