#include "ui/capcode_list.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"
#include "editor/capcode_layout.h"
#include "ui/field_events.h"
#include "editor/frame_mask.h"
#include "editor/numeric_text.h"
#include "ui/control_list.h"
#include "ui/dialogs.h"
#include "ui/field_binding.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace px316t {
namespace {

// Design rectangles of row 1 (k = 0) inside the moving container, in twips.
constexpr int kPitch = 384;
const QRect kLabel1(60, 70, 840, 240);
const QRect kTxtAddr(960, 40, 1230, 285);
const QRect kEnable(2280, 55, 600, 255);
const QRect kLabel2(2940, 70, 480, 240);
const QRect kType(3420, 25, 1380, 315);
const QRect kPriority(4890, 55, 660, 255);
const QRect kAlertLabel(5580, 70, 600, 240);
const QRect kAlertLength(6180, 25, 960, 315);
const QRect kLength(7200, 25, 900, 315);
const QRect kMailAlert(5580, 55, 1560, 255);
constexpr int kText1Offset = 50;   // the decorative box sits 50 twips above the field
constexpr int kViewportHeight = 3060;
constexpr int kListWidth = 8160;

const QString kShortTip = QStringLiteral("Please input Capcode( 7 Dec digits between 1 and 2031615 ).");
const QString kLongTip = QStringLiteral("Please input Capcode( 10 Dec digits between 1 and 4291000000 ).");

QRect onRow(const QRect& rowOne, int row) { return rowOne.translated(0, row * kPitch); }

// The catalogue's name of a setting of capcode row k ("capcode.3.type").
std::string rowField(int k, const char* setting) { return "capcode." + std::to_string(k + 1) + "." + setting; }

// Tops and heights are those the controls stand at now, so that the layout follows
// the window's scale.
int topTwips(const QWidget* w) { return currentTwips(w).top(); }

void setTopTwips(QWidget* w, int top) { moveToTopTwips(w, top); }

void setHeightTwips(QWidget* w, int height)
{
    QRect r = currentTwips(w);
    r.setHeight(height);
    setCurrentTwips(w, r);
}

} // namespace

CapcodeList::CapcodeList(EditorContext& context, ControlFactory& factory, QWidget* frame)
    : QObject(frame), ctx_(context)
{
    Picture1 = factory.pictureBox(frame, QStringLiteral("Picture1"), QRect(120, 300, kListWidth, kViewportHeight));
    Picture1->setFocusPolicy(Qt::NoFocus);
    Picture2 = factory.pictureBox(Picture1, QStringLiteral("Picture2"), QRect(0, 0, kListWidth, Rows * kPitch));
    VScroll1 = new QScrollBar(Qt::Vertical);
    factory.placeWithoutFont(VScroll1, frame, QStringLiteral("VScroll1"), QRect(8300, 300, 255, kViewportHeight));
    VScroll1->setFocusPolicy(Qt::NoFocus);   // a scroll gives the focus to the list instead

    for (int k = 0; k < Rows; ++k)
        createRow(factory, k);

    // Row 1 shows a fixed "Personal" and the "Mail Alert" switch in place of its
    // type selector and alert controls.
    Label25 = factory.label(Picture2, QStringLiteral("Label25"), QStringLiteral("Personal"), kType);
    ctx_.arrays.cboCtl[7]->hide();
    lblAlert[0]->hide();
    cboMailAlert[0]->hide();
    chkMailAlert = factory.checkBox(Picture2, QStringLiteral("chkMailAlert"), QStringLiteral("Mail Alert"), kMailAlert);
    bindCatalogField(chkMailAlert, "mail_alert");
    connect(chkMailAlert, &QCheckBox::stateChanged, this, [this] { chkMailAlert_Click(); });

    // Row 1's own controls come first in the focus order, Mail Alert among them.
    QWidget::setTabOrder(ctx_.arrays.chkCtl[50], chkMailAlert);

    connect(VScroll1, &QScrollBar::valueChanged, this, [this](int v) { VScroll1_Change(v); });
    connect(VScroll1, &QScrollBar::actionTriggered, this, [this] { Picture2->setFocus(); });
    // Whatever moves the focus onto a row (Tab, a refusal, the program) scrolls
    // the row into view, so that nothing is typed into a row the list hides.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now != Picture2 && Picture2->isAncestorOf(now))
            scrollToShow(now);
    });
}

void CapcodeList::createRow(ControlFactory& factory, int k)
{
    Label1[k] = factory.label(Picture2, QStringLiteral("Label1"), QStringLiteral("Cap #%1").arg(k + 1, 2, 10, QLatin1Char('0')),
                              onRow(kLabel1, k));
    Label1[k]->setToolTip(kShortTip);
    QRect box = onRow(kTxtAddr, k).adjusted(-30, -kText1Offset, 30, 50);
    Text1[k] = factory.box(Picture2, QStringLiteral("Text1"), box);
    txtAddr[k] = factory.textBox(Picture2, QStringLiteral("txtAddr"), 10, onRow(kTxtAddr, k));
    bindCatalogField(txtAddr[k], "capcode." + std::to_string(k + 1));

    auto* enable = factory.checkBox(Picture2, QStringLiteral("chkCtl"), QStringLiteral("En"), onRow(kEnable, k),
                                    catalogTag(rowField(k, "enable")));
    bindCatalogField(enable, rowField(k, "enable"));
    enable->setToolTip(QStringLiteral("Enable or disable the Capcode( address )"));
    ctx_.arrays.chkCtl[10 + k] = enable;

    Label2[k] = factory.label(Picture2, QStringLiteral("Label2"), QStringLiteral("Type"), onRow(kLabel2, k));
    // Row 1 is always "Personal": its hidden selector keeps the tag of its bit.
    ctx_.arrays.cboCtl[7 + k] = factory.comboBox(
        Picture2, QStringLiteral("cboCtl"), catalogItems(rowField(1, "type")), onRow(kType, k),
        QString::fromStdString(fieldTagText(map::capcodeType(k), "cbo")));
    if (k > 0)
        bindCatalogField(ctx_.arrays.cboCtl[7 + k], rowField(k, "type"));

    auto* priority = factory.checkBox(Picture2, QStringLiteral("chkCtl"), QStringLiteral("Pri"), onRow(kPriority, k),
                                      catalogTag(rowField(k, "priority")));
    bindCatalogField(priority, rowField(k, "priority"));
    priority->setToolTip(QStringLiteral("Priority Alert Control"));
    ctx_.arrays.chkCtl[50 + k] = priority;

    lblAlert[k] = factory.label(Picture2, QStringLiteral("lblAlert"), QStringLiteral("Alert"), onRow(kAlertLabel, k));
    lblAlert[k]->setToolTip(QStringLiteral("Mail drop alert length."));
    cboMailAlert[k] = factory.comboBox(Picture2, QStringLiteral("cboMailAlert"), catalogItems(rowField(1, "mail_alert")),
                                       onRow(kAlertLength, k));
    if (k > 0)   // row 1 has the "Mail Alert" switch instead
        bindCatalogField(cboMailAlert[k], rowField(k, "mail_alert"));
    connect(cboMailAlert[k], &QComboBox::currentIndexChanged, this, [this, k] { cboMailAlert_Click(k); });

    if (k % 2 == 0) {
        const int pair = k / 2;
        cboCapLen[pair] = factory.comboBox(Picture2, QStringLiteral("cboCapLen"), catalogItems("pair.1.length"),
                                           onRow(kLength, k));
        cboCapLen[pair]->setCurrentIndex(0);
        bindCatalogField(cboCapLen[pair], "pair." + std::to_string(pair + 1) + ".length");
        connect(cboCapLen[pair], &QComboBox::currentIndexChanged, this, [this, pair] { cboCapLen_Click(pair); });
    } else {
        const int pair = k / 2;
        cboCapSht[pair] = factory.comboBox(Picture2, QStringLiteral("cboCapSht"), {QStringLiteral("Short")},
                                           onRow(kLength, k));
        cboCapSht[pair]->setCurrentIndex(0);
    }

    fieldEvents_[k] = new FieldEvents(txtAddr[k], {
        [this, k] { txtAddr_GotFocus(k); },
        [this, k](QKeyEvent* e) { return txtAddr_KeyPress(k, e); },
        [this, k](QKeyEvent*) { txtAddr_KeyUp(k); },
        [this, k] { txtAddr_LostFocus(k); },
    });
}

bool CapcodeList::pairIsLong(int pair) const
{
    return pair >= 0 && pair < Pairs && cboCapLen[pair]->currentIndex() == 1;
}

// ---- storing and showing ---------------------------------------------------

void CapcodeList::txt_to_tbl(int k)
{
    const auto v = parseNumber(txtAddr[k]->text().toStdString());
    if (!v)
        return;
    const bool pairLong = k % 2 == 0 && pairIsLong(k / 2);
    switch (storeCapcode(ctx_.table, k, *v, pairLong)) {
    case CapcodeStoreResult::Short:
    case CapcodeStoreResult::Long:
        ctx_.flags.CapcodeInvalid = false;
        break;
    case CapcodeStoreResult::ReservedGap:
        ctx_.flags.CapcodeInvalid = true;
        break;
    case CapcodeStoreResult::TooLarge:
        break;
    }
}

PairLengths CapcodeList::shownPairLengths() const
{
    PairLengths lengths{};
    for (int i = 0; i < Pairs; ++i)
        lengths[i] = pairIsLong(i);
    return lengths;
}

void CapcodeList::read_dftaddr()
{
    const auto shown = shownCapcodes(ctx_.table, shownPairLengths());
    for (int k = 0; k < Rows; ++k) {
        // A slot the display skips shows nothing, never a number of an earlier image.
        if (!shown[k]) {
            setFieldText(txtAddr[k], QString());
            continue;
        }
        const std::int64_t value = shown[k]->value;
        const QString digits = QString::fromStdString(
            formatCapcode(static_cast<std::uint64_t>(value < 0 ? -value : value), shown[k]->digits));
        setFieldText(txtAddr[k], value < 0 ? QLatin1Char('-') + digits : digits);
    }
}

void CapcodeList::set_frame()
{
    const int last = lastCapcode(ctx_.table);
    const bool unlock = !ctx_.editingAllowed || ctx_.editingAllowed();
    for (int k = 0; k < Rows; ++k) {
        QWidget* row[] = {ctx_.arrays.chkCtl[10 + k], Label1[k], txtAddr[k], Label2[k], ctx_.arrays.cboCtl[7 + k]};
        if (k <= last) {
            if (unlock)
                for (QWidget* w : row)
                    w->setEnabled(true);
        } else {
            if (!ctx_.showing)
                setCapcodeEnabled(ctx_.table, k, false);
            {
                const QSignalBlocker block(ctx_.arrays.chkCtl[10 + k]);
                ctx_.arrays.chkCtl[10 + k]->setChecked(false);
            }
            for (QWidget* w : row)
                w->setEnabled(false);
        }
    }
    // Frames come from the capcodes the image holds, as the fields show them; a
    // skipped slot (the hidden second slot of a long pair) adds none.
    // Showing the image leaves the mask as it arrived (the refresh rules made it).
    if (!ctx_.showing)
        writeFrameMask(ctx_.table, frameMaskOf(ctx_.table, shownPairLengths()));
    if (lblFrame)
        lblFrame->setText(QString::fromStdString(shownField(ctx_, "frame_mask")));
}

// ---- layout ----------------------------------------------------------------

void CapcodeList::ChkCapLen()
{
    const int pitch = topTwips(Label1[1]) - topTwips(Label1[0]);
    int visible = 0;
    for (int k = 0; k < Rows; ++k) {
        if (Label1[k]->isHidden())
            continue;
        ++visible;
        Label1[k]->setText(QStringLiteral("cap #%1").arg(visible, 2, 10, QLatin1Char('0')));
        QWidget* rowControls[] = {Label1[k], txtAddr[k], ctx_.arrays.chkCtl[10 + k], Label2[k],
                                  ctx_.arrays.cboCtl[7 + k], ctx_.arrays.chkCtl[50 + k], lblAlert[k], cboMailAlert[k]};
        QWidget* rowOne[] = {Label1[0], txtAddr[0], ctx_.arrays.chkCtl[10], Label2[0],
                             ctx_.arrays.cboCtl[7], ctx_.arrays.chkCtl[50], lblAlert[0], cboMailAlert[0]};
        for (int c = 0; c < 8; ++c)
            setTopTwips(rowControls[c], capcodeRowTop(visible, pitch, topTwips(rowOne[c])));
        setTopTwips(Text1[k], topTwips(txtAddr[k]) - kText1Offset);
        QWidget* lengthSelector = k % 2 == 0 ? static_cast<QWidget*>(cboCapLen[k / 2]) : cboCapSht[(k - 1) / 2];
        setTopTwips(lengthSelector, capcodeRowTop(visible, pitch, topTwips(cboCapLen[0])));
    }

    const int listHeight = visible * pitch;
    setHeightTwips(Picture2, listHeight);
    const auto range = capcodeScrollRange(visible, pitch, currentTwips(Picture1).height());
    {
        // The scroll position is kept at design scale, so that a window made very
        // small for a while (minimised) scrolls the list back to where it was.
        const QSignalBlocker quiet(VScroll1);
        VScroll1->setSingleStep(range.smallStep);
        VScroll1->setPageStep(range.largeStep);
        VScroll1->setRange(0, std::max(0, range.maximum));
        VScroll1->setValue(static_cast<int>(std::lround(scrolledDesignTwips_ * listScale())));
    }
    placeList(VScroll1->value());

    manualWriteSelectable_ = ctx_.showing ? px316t::manualWriteSelectable(visible)
                                          : applyCapcodeLayoutBits(ctx_.table, visible);
    QCheckBox* manualWrite = ctx_.arrays.chkCtl[9];
    if (manualWrite)
        manualWrite->setEnabled(manualWriteSelectable_ && (!ctx_.editingAllowed || ctx_.editingAllowed()));
}

void CapcodeList::VScroll1_Change(int value)
{
    if (listScale() > 0)
        scrolledDesignTwips_ = value / listScale();
    placeList(value);
}

double CapcodeList::listScale() const
{
    const int design = designRect(Picture1).height();
    return design > 0 ? static_cast<double>(currentTwips(Picture1).height()) / design : 0.0;
}

int CapcodeList::rowOf(const QWidget* control) const
{
    if (control == chkMailAlert || control == Label25)
        return 0;
    for (int k = 0; k < Rows; ++k) {
        const QWidget* row[] = {Label1[k], txtAddr[k], Text1[k], Label2[k], lblAlert[k], cboMailAlert[k],
                                ctx_.arrays.cboCtl[7 + k], ctx_.arrays.chkCtl[10 + k], ctx_.arrays.chkCtl[50 + k],
                                k % 2 == 0 ? static_cast<QWidget*>(cboCapLen[k / 2]) : cboCapSht[k / 2]};
        if (std::find(std::begin(row), std::end(row), control) != std::end(row))
            return k;
    }
    return -1;
}

void CapcodeList::scrollToShow(const QWidget* control)
{
    // The row's band runs from its label's top over one pitch; the control itself
    // is taken in too, whatever it is.
    const int k = rowOf(control);
    QRect band = currentTwips(control);
    if (k >= 0) {
        const int pitch = topTwips(Label1[1]) - topTwips(Label1[0]);
        const int rowTop = topTwips(Label1[k]) - (topTwips(Label1[0]) - topTwips(Text1[0]));
        band = band.united(QRect(band.left(), rowTop, 1, pitch));
    }
    const int value = capcodeScrollToShow(VScroll1->value(), VScroll1->maximum(), currentTwips(Picture1).height(),
                                          band.top(), band.top() + band.height());
    VScroll1->setValue(value);
}

void CapcodeList::placeList(int scrollValue)
{
    QRect r = currentTwips(Picture2);
    r.moveTo(0, -scrollValue);
    setCurrentTwips(Picture2, r);
}

QWidget* CapcodeList::secondRowControl(int pair, int which) const
{
    const int k = 2 * pair + 1;
    switch (which) {
    case 0: return Label1[k];
    case 1: return txtAddr[k];
    case 2: return ctx_.arrays.chkCtl[10 + k];
    case 3: return Label2[k];
    case 4: return ctx_.arrays.cboCtl[7 + k];
    case 5: return cboCapSht[pair];
    // The rest of the hidden row goes with it, so that nothing of it stays behind
    // on the row that closes up into its place.
    case 6: return Text1[k];
    case 7: return ctx_.arrays.chkCtl[50 + k];
    default: return nullptr;
    }
}

void CapcodeList::showSecondRow(int pair, bool show)
{
    for (int which = 0; which < 8; ++which)
        secondRowControl(pair, which)->setVisible(show);
    const int k = 2 * pair + 1;
    if (!show) {
        lblAlert[k]->hide();
        cboMailAlert[k]->hide();
    } else {
        showMailAlertControls(chkMailAlert->isChecked());
    }
}

void CapcodeList::setLengthTooltip(int pair, bool longPair)
{
    Label1[2 * pair]->setToolTip(longPair ? kLongTip : kShortTip);
}

bool CapcodeList::read_CapLen()
{
    const bool changed = showPairLengths();
    if (changed && ctx_.init_ctl)
        ctx_.init_ctl();
    return changed;
}

bool CapcodeList::showPairLengths()
{
    bool changed = false;
    for (int i = 0; i < Pairs; ++i) {
        const bool isLong = hasLongWordFlag(ctx_.table, 2 * i);
        const int index = isLong ? 1 : 0;
        changed = changed || cboCapLen[i]->currentIndex() != index;
        {
            // A refresh shows the pair lengths; it never stores capcodes.
            const QSignalBlocker block(cboCapLen[i]);
            cboCapLen[i]->setCurrentIndex(index);
        }
        showSecondRow(i, !isLong);
        setLengthTooltip(i, isLong);
    }
    return changed;
}

void CapcodeList::cboCapLen_Click(int pair)
{
    if (ctx_.showing)
        return;
    const int first = 2 * pair;
    if (pairIsLong(pair)) {
        showSecondRow(pair, false);
        setLengthTooltip(pair, true);
    } else {
        map::write(ctx_.table, map::longWordFlag(first), 0);
        map::write(ctx_.table, map::longWordFlag(first + 1), 0);
        showSecondRow(pair, true);
        setLengthTooltip(pair, false);
        const auto v = parseNumber(txtAddr[first]->text().toStdString());
        if (v && *v >= static_cast<double>(ShortCapcodeLimit))
            txtAddr[first]->setText(QStringLiteral("1234567"));
        txtAddr[first + 1]->setText(QStringLiteral("1234567"));
        txt_to_tbl(first + 1);
    }
    txt_to_tbl(first);
    {
        EditSession session = windowSession(ctx_);
        followLongPairBits(session, first);
    }
    typeRule(first);
    cboMailAlert_Click(first);
    // The refresh stores the layout's bits and the frame mask of the new lengths
    // and shows the result.
    if (ctx_.init_ctl)
        ctx_.init_ctl();
}

void CapcodeList::applyLayoutRules()
{
    manualWriteSelectable_ = applyCapcodeLayoutBits(ctx_.table, visibleRows());
    for (int k = lastCapcode(ctx_.table) + 1; k < Rows; ++k)
        setCapcodeEnabled(ctx_.table, k, false);
    writeFrameMask(ctx_.table, frameMaskOf(ctx_.table, shownPairLengths()));
}

int CapcodeList::visibleRows() const
{
    int rows = 0;
    for (int i = 0; i < Pairs; ++i)
        rows += pairIsLong(i) ? 1 : 2;
    return rows;
}

// ---- rules of the shared handlers ------------------------------------------

void CapcodeList::typeRule(int k)
{
    const int value = ctx_.arrays.cboCtl[7 + k]->currentIndex();
    if (k > 0 && chkMailAlert->isChecked() && !Label1[k]->isHidden()) {
        const bool mailDrop = value != 0;
        lblAlert[k]->setVisible(mailDrop);
        cboMailAlert[k]->setVisible(mailDrop);
    }
}

void CapcodeList::enableRule(int)
{
    // The catalogue stored the box (with the long pair's number); the rows and
    // the frame mask follow.
    set_frame();
}

void CapcodeList::cboMailAlert_Click(int k)
{
    if (ctx_.showing)
        return;
    EditSession session = windowSession(ctx_);
    storeMailDropAlert(session, k, cboMailAlert[k]->currentIndex());
}

void CapcodeList::read_MailAlert()
{
    // Row 1's selector is not loaded; a length without an entry leaves the
    // selection as it is.
    for (int k = 1; k < Rows; ++k)
        showCatalogField(ctx_, cboMailAlert[k]);
}

void CapcodeList::showMailAlertControls(bool mailAlertTicked)
{
    for (int k = 1; k < Rows; ++k) {
        const bool show = mailAlertTicked && !Label1[k]->isHidden() && ctx_.arrays.cboCtl[7 + k]->currentIndex() != 0;
        lblAlert[k]->setVisible(show);
        cboMailAlert[k]->setVisible(show);
    }
}

void CapcodeList::chkMailAlert_Click()
{
    const bool ticked = chkMailAlert->isChecked();
    storeCatalogField(ctx_, chkMailAlert);
    showMailAlertControls(ticked);
}

// ---- the capcode fields ----------------------------------------------------

void CapcodeList::txtAddr_GotFocus(int k)
{
    entered_[k] = saveCapcodeEntry(ctx_.table, k);
    setFieldText(txtAddr[k], QString());
    checkedText_[k].clear();
}

bool CapcodeList::txtAddr_KeyPress(int, QKeyEvent* event)
{
    return entryKeyPress(ctx_, event);
}

void CapcodeList::refuseTypedCapcode(int k, const QString& message)
{
    ctx_.messages.message(message);
    // The prefixes stored on the way were never the technician's choice.
    restoreCapcodeEntry(ctx_.table, entered_[k]);
    read_dftaddr();
    checkedText_[k] = txtAddr[k]->text();
    txtAddr[k]->setFocus(Qt::OtherFocusReason);
}

bool CapcodeList::checkTypedCapcode(int k)
{
    const QString text = txtAddr[k]->text();
    if (text.isEmpty())
        return true;
    if (const auto refusal = capcodeEntryRefusal(text.toStdString(), k % 2 == 0 && pairIsLong(k / 2))) {
        refuseTypedCapcode(k, QString::fromStdString(*refusal));
        return false;
    }
    txt_to_tbl(k);
    checkedText_[k] = text;
    return true;
}

void CapcodeList::txtAddr_KeyUp(int k)
{
    checkTypedCapcode(k);
}

void CapcodeList::txtAddr_LostFocus(int k)
{
    // Text that reached the field without a key release (pasted with the mouse)
    // gets the same check before it is committed.
    const QString text = txtAddr[k]->text();
    if (!text.isEmpty() && text != checkedText_[k] && !checkTypedCapcode(k)) {
        ctx_.flags.EntryRejected = true;
        return;
    }
    if (txtAddr[k]->text().isEmpty())
        ctx_.flags.CapcodeInvalid = false;
    if (ctx_.flags.CapcodeInvalid) {
        ctx_.flags.EntryRejected = true;
        ctx_.flags.CapcodeInvalid = false;
        restoreCapcodeEntry(ctx_.table, entered_[k]);
        ctx_.messages.message(QString::fromLatin1(InvalidCapcodeMessage));
        txtAddr[k]->setFocus(Qt::OtherFocusReason);
        return;
    }
    read_dftaddr();
    set_frame();
}

} // namespace px316t
