#include "ui/capcode_list.h"

#include "editor/capcode_flex.h"
#include "editor/capcode_layout.h"
#include "editor/pager_document.h"
#include "ui/binding/capcode_row_binding.h"
#include "ui/binding/check_binding.h"
#include "ui/binding/choice_binding.h"
#include "ui/control_list.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringList>

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
    VScroll1 = new QScrollBar(Qt::Vertical, frame);
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
    new CheckBinding(chkMailAlert, ctx_.document, "mail_alert");
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
    // The rows follow what the document says changed.
    listening_ = ctx_.document.listen([this](DocumentChange change) {
        if (change == DocumentChange::Capcodes)
            read_dftaddr();
        if (change == DocumentChange::Capcodes || change == DocumentChange::Frames)
            set_frame();
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
    new CapcodeRowBinding(txtAddr[k], k, ctx_.document, ctx_.messages, ctx_.picTabBack, [this] { read_dftaddr(); });

    auto* enable = factory.checkBox(Picture2, QStringLiteral("chkCtl"), QStringLiteral("En"), onRow(kEnable, k),
                                    catalogTag(rowField(k, "enable")));
    new CheckBinding(enable, ctx_.document, rowField(k, "enable"));
    enable->setToolTip(QStringLiteral("Enable or disable the Capcode( address )"));
    ctx_.arrays.chkCtl[10 + k] = enable;

    Label2[k] = factory.label(Picture2, QStringLiteral("Label2"), QStringLiteral("Type"), onRow(kLabel2, k));
    // Row 1 is always "Personal": its hidden selector keeps the tag of its bit.
    ctx_.arrays.cboCtl[7 + k] = factory.comboBox(
        Picture2, QStringLiteral("cboCtl"), catalogItems(rowField(1, "type")), onRow(kType, k),
        QString::fromStdString(capcodeTypeTag(k)));
    if (k > 0)
        new ChoiceBinding(ctx_.arrays.cboCtl[7 + k], ctx_.document, rowField(k, "type"));

    auto* priority = factory.checkBox(Picture2, QStringLiteral("chkCtl"), QStringLiteral("Pri"), onRow(kPriority, k),
                                      catalogTag(rowField(k, "priority")));
    new CheckBinding(priority, ctx_.document, rowField(k, "priority"));
    priority->setToolTip(QStringLiteral("Priority Alert Control"));
    ctx_.arrays.chkCtl[50 + k] = priority;

    lblAlert[k] = factory.label(Picture2, QStringLiteral("lblAlert"), QStringLiteral("Alert"), onRow(kAlertLabel, k));
    lblAlert[k]->setToolTip(QStringLiteral("Mail drop alert length."));
    cboMailAlert[k] = factory.comboBox(Picture2, QStringLiteral("cboMailAlert"), catalogItems(rowField(1, "mail_alert")),
                                       onRow(kAlertLength, k));
    if (k > 0)   // row 1 has the "Mail Alert" switch instead
        new ChoiceBinding(cboMailAlert[k], ctx_.document, rowField(k, "mail_alert"));

    if (k % 2 == 0) {
        const int pair = k / 2;
        cboCapLen[pair] = factory.comboBox(Picture2, QStringLiteral("cboCapLen"), catalogItems("pair.1.length"),
                                           onRow(kLength, k));
        cboCapLen[pair]->setCurrentIndex(0);
        // The document lays the rows out again when a length changes.
        new ChoiceBinding(cboCapLen[pair], ctx_.document, "pair." + std::to_string(pair + 1) + ".length");
    } else {
        const int pair = k / 2;
        cboCapSht[pair] = factory.comboBox(Picture2, QStringLiteral("cboCapSht"), {QStringLiteral("Short")},
                                           onRow(kLength, k));
        cboCapSht[pair]->setCurrentIndex(0);
    }
}

// ---- showing -------------------------------------------------------------------

void CapcodeList::read_dftaddr()
{
    // A slot the display skips shows nothing, never a number of an earlier image.
    for (QLineEdit* field : txtAddr)
        FieldBinding::of(field)->show();
    showFlexTips();
}

void CapcodeList::showFlexTips()
{
    for (int k = 0; k < Rows; ++k) {
        QStringList tip;
        if (const auto flex = flexDescription(ctx_.document, k))
            tip << QString::fromStdString(*flex);
        if (const auto warning = specialAddressWarning(ctx_.document, k))
            tip << QString::fromStdString(*warning);
        txtAddr[k]->setToolTip(tip.join(QLatin1Char('\n')));
    }
}

void CapcodeList::set_frame()
{
    const int last = ctx_.document.lastUsableSlot();
    const bool unlock = !ctx_.editingAllowed || ctx_.editingAllowed();
    for (int k = 0; k < Rows; ++k) {
        QWidget* row[] = {ctx_.arrays.chkCtl[10 + k], Label1[k], txtAddr[k], Label2[k], ctx_.arrays.cboCtl[7 + k]};
        if (k <= last) {
            if (unlock)
                for (QWidget* w : row)
                    w->setEnabled(true);
        } else {
            {
                // The document disabled the capcode; the box only shows it.
                const QSignalBlocker block(ctx_.arrays.chkCtl[10 + k]);
                ctx_.arrays.chkCtl[10 + k]->setChecked(false);
            }
            for (QWidget* w : row)
                w->setEnabled(false);
        }
    }
    if (lblFrame)
        FieldBinding::of(lblFrame)->show();
    showFlexTips();
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

    QCheckBox* manualWrite = ctx_.arrays.chkCtl[9];
    if (manualWrite)
        manualWrite->setEnabled(ctx_.document.manualWriteSelectable()
                                && (!ctx_.editingAllowed || ctx_.editingAllowed()));
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

bool CapcodeList::read_CapLen() { return ctx_.document.followLongWordFlags(); }

void CapcodeList::showPairLengths()
{
    for (int i = 0; i < Pairs; ++i) {
        const bool isLong = ctx_.document.pairShownLong(i);
        {
            // The selector shows the length; only the operator's choice stores one.
            const QSignalBlocker block(cboCapLen[i]);
            cboCapLen[i]->setCurrentIndex(isLong ? 1 : 0);
        }
        showSecondRow(i, !isLong);
        setLengthTooltip(i, isLong);
    }
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

void CapcodeList::read_MailAlert()
{
    // Row 1's selector is not loaded; a length without an entry leaves the
    // selection as it is.
    for (int k = 1; k < Rows; ++k)
        FieldBinding::of(cboMailAlert[k])->show();
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
    showMailAlertControls(chkMailAlert->isChecked());
}

} // namespace px316t
