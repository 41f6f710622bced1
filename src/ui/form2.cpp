#include "ui/form2.h"

#include "editor/capcode_codec.h"
#include "ui/capcode_list.h"
#include "link/parallel_port_link.h"
#include "link/usb_link.h"
#include "ui/dialogs.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace px316t {
namespace {

const QColor kPurple(128, 0, 128);
const QString kAutoCaption = QStringLiteral(" 1st capcode : ");

QLabel* makeLabel(QWidget* parent, const QString& name, const QRect& twips, const QFont& font,
                  const QColor& text, const QColor& background)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(twipsToPixels(twips));
    label->setFont(font);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Window, background);
    label->setPalette(p);
    return label;
}

QFont courierBold(double points)
{
    QFont f(QStringLiteral("Courier New"));
    f.setPointSizeF(points);
    f.setBold(true);
    return f;
}

// A transfer holds the window open until it ends.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy), previous_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = previous_; }

private:
    bool& busy_;
    bool previous_;
};

} // namespace

Form2::Form2(ProgrammingContext context, QWidget* parent) : QDialog(parent), ctx_(std::move(context))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Pager Program"));
    setModal(true);
    setFixedSize(twipsToPixels(QRect(0, 0, 5280, 3720)).size());

    lblAuto1 = makeLabel(this, QStringLiteral("lblAuto1"), QRect(588, 252, 4080, 312), courierBold(12),
                         QColor(0, 255, 255), QColor(0, 128, 128));
    lblAuto1->setText(kAutoCaption);
    lblAuto1->hide();
    Label1 = makeLabel(this, QStringLiteral("Label1"), QRect(588, 1128, 4068, 408), courierBold(18), Qt::white,
                       QColor(128, 128, 128));
    PB1 = new QProgressBar(this);
    PB1->setObjectName(QStringLiteral("PB1"));
    PB1->setGeometry(twipsToPixels(QRect(588, 1692, 4080, 312)));
    PB1->setTextVisible(false);
    PB1->setRange(0, 100);
    PB1->setValue(0);
    cmdWrite = new QPushButton(QStringLiteral("Write"), this);
    cmdWrite->setObjectName(QStringLiteral("cmdWrite"));
    cmdWrite->setGeometry(twipsToPixels(QRect(1164, 2976, 1116, 432)));
    cmdWrite->hide();
    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(twipsToPixels(QRect(3000, 2976, 1116, 432)));
    cmdExit->hide();
    connect(cmdWrite, &QPushButton::clicked, this, [this] { cmdWrite_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
}

// ---- progress --------------------------------------------------------------

void Form2::setProgressMaximum(int maximum) { PB1->setMaximum(std::max(maximum, PB1->minimum())); }

void Form2::setProgressPosition(int position)
{
    // The bar shows positions beyond its maximum as full.
    PB1->setValue(std::clamp(position, PB1->minimum(), PB1->maximum()));
}

void Form2::setProgressColor(const QColor& color)
{
    QPalette p = PB1->palette();
    p.setColor(QPalette::Highlight, color);
    PB1->setPalette(p);
}

void Form2::setStatusText(const QString& text) { Label1->setText(text); }

void Form2::startProgress(int maximum, int position, const QColor& color, const QString& status)
{
    setProgressMaximum(maximum);
    setProgressPosition(position);
    setProgressColor(color);
    setStatusText(status);
    QCoreApplication::processEvents();
}

// ---- window life -------------------------------------------------------------

void Form2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!activated_) {
        activated_ = true;
        QTimer::singleShot(0, this, [this] { Form_Activate(); });
    }
}

void Form2::closeEvent(QCloseEvent* event)
{
    if (busy_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void Form2::reject()
{
    if (!busy_)
        QDialog::reject();
}

void Form2::cmdExit_Click() { reject(); }

void Form2::Form_Activate()
{
    const int last = PagerTableLast;
    switch (ctx_.state.PagerCommand) {
    case PagerRead:
        tbl_readall(0, last);
        busStopAfterLpt();
        break;
    case PagerVerify:
        tbl_verify(ctx_.table, 0, last);
        busStopAfterLpt();
        break;
    case PagerWrite:
        if (ctx_.inModifyMode && ctx_.inModifyMode()) {
            ctx_.messages.message(QStringLiteral("Modify Mode can not write! Please check!"),
                                  MessageBoxes::Icon::Warning);
            break;
        }
        lblAuto1->setVisible(ctx_.state.AutoIncrease);
        if (ctx_.state.AutoIncrease) {
            cmdWrite->show();
            cmdExit->show();
            cmdWrite->setFocus();
            return;   // the window stays open: each press of "Write" writes one pager
        }
        tbl_writeall(ctx_.table, 0, last);
        busStopAfterLpt();
        if (!ctx_.state.TransferFailed) {
            tbl_verify(ctx_.table, 0, last);
            busStopAfterLpt();
        }
        break;
    default:
        break;
    }
    reject();
}

void Form2::cmdWrite_Click()
{
    if (busy_)
        return;
    cmdWrite->setEnabled(false);
    cmdExit->setEnabled(false);
    lblAuto1->setText(kAutoCaption + ctx_.capcodes.txtAddr[0]->text());
    const int last = PagerTableLast;
    tbl_writeall(ctx_.table, 0, last);
    busStopAfterLpt();
    if (!ctx_.state.TransferFailed)
        tbl_verify(ctx_.table, 0, last);
    busStopAfterLpt();
    if (!ctx_.state.TransferFailed && ctx_.state.AutoIncrease)
        set_capcode(0);
    cmdWrite->setEnabled(true);
    cmdExit->setEnabled(true);
    PB1->setValue(0);
    Label1->clear();
    cmdWrite->setFocus();
}

// ---- dispatch by link --------------------------------------------------------

bool Form2::noParallelLink()
{
    if (ctx_.lpt)
        return false;
    ctx_.messages.message(QStringLiteral("The parallel-port board is not available in this program."),
                          MessageBoxes::Icon::Warning);
    ctx_.state.TransferFailed = true;
    return true;
}

void Form2::busStopAfterLpt()
{
    if (ctx_.linkKind == LinkKind::LPT && ctx_.lpt)
        ctx_.lpt->BusStop();
}

void Form2::tbl_writeall(const PagerTable& table, int first, int last)
{
    const BusyScope busy(busy_);
    if (ctx_.linkKind == LinkKind::LPT) {
        if (!noParallelLink())
            ctx_.state.TransferFailed = ctx_.lpt->lpt_writeall(table, first, last, *this);
        return;
    }
    usb_writeall(table, first, last);
}

void Form2::tbl_readall(int first, int last)
{
    const BusyScope busy(busy_);
    if (ctx_.linkKind == LinkKind::LPT) {
        if (!noParallelLink()) {
            ctx_.state.TransferFailed = ctx_.lpt->lpt_readall(ctx_.table, first, last, *this);
            if (!ctx_.state.TransferFailed && ctx_.refreshAfterRead)
                ctx_.refreshAfterRead();
        }
        return;
    }
    usb_readall(first, last);
}

void Form2::tbl_verify(const PagerTable& table, int first, int last)
{
    const BusyScope busy(busy_);
    if (ctx_.linkKind == LinkKind::LPT) {
        if (!noParallelLink())
            ctx_.state.TransferFailed = ctx_.lpt->lpt_verify(table, first, last, *this);
        return;
    }
    usb_verify(table, first, last);
}

// ---- the USB operations --------------------------------------------------------

void Form2::usb_writeall(const PagerTable& table, int first, int last)
{
    // The write sets up the bar (maximum last - 16, highlight colour) and the
    // status "Writing Now......." itself, and lets the window repaint.
    ctx_.state.TransferFailed = !ctx_.usb->UsbWriteRange(table, first, last, UsbBlockSize, this);
}

void Form2::usb_readall(int first, int last)
{
    startProgress(last - 32, first, kPurple, QStringLiteral("Reading Now......."));
    if (!ctx_.usb->UsbReadRange(first, last, UsbBlockSize, this))
        return;   // the link showed its message; the image is unchanged
    ctx_.messages.message(QStringLiteral("Read success!"));
    const auto& buffer = ctx_.usb->ReadBuffer();
    for (int a = first; a <= last && a < PagerTableSize && a < static_cast<int>(buffer.size()); ++a)
        ctx_.table[a] = buffer[a];
    if (ctx_.refreshAfterRead)
        ctx_.refreshAfterRead();
}

void Form2::usb_verify(const PagerTable& table, int first, int last)
{
    startProgress(last - 16, first, kPurple, QStringLiteral("Verifying Now....."));
    if (!ctx_.usb->UsbReadRange(first, last, UsbBlockSize, this)) {
        ctx_.state.TransferFailed = true;
        return;
    }
    const auto& buffer = ctx_.usb->ReadBuffer();
    for (int a = first; a <= last; ++a) {
        if (a >= static_cast<int>(buffer.size()) || table[a] != buffer[a]) {
            ctx_.messages.message(QStringLiteral("Verify Error!"));
            ctx_.state.TransferFailed = true;
            return;
        }
    }
    ctx_.messages.message(QStringLiteral("Verify Success!"));
}

// ---- production increase ---------------------------------------------------------

void Form2::set_capcode(int index)
{
    CapcodeList& list = ctx_.capcodes;
    const bool longPair = list.cboCapLen[0]->currentIndex() == 1;
    const std::uint64_t limit = longPair ? LongCapcodeLimit : ShortCapcodeLimit;
    bool numeric = false;
    const std::uint64_t v = list.txtAddr[index]->text().trimmed().toULongLong(&numeric);
    // A step into the reserved gap 2031615..2101248 cannot be stored; it is
    // refused like the limit itself, so that the next pager never gets the same
    // capcode again.
    const bool intoGap = v + 1 >= ShortCapcodeLimit && v + 1 < FirstLongCapcode;
    const bool atLimit = v >= limit || intoGap;
    if (!numeric || atLimit) {
        const std::uint64_t shownLimit = intoGap ? ShortCapcodeLimit : limit;
        ctx_.messages.message(QStringLiteral("Capcode 1 > %1 so can not be increase!").arg(shownLimit),
                              MessageBoxes::Icon::Warning);
        return;
    }
    list.txtAddr[index]->setText(QString::number(v + 1));
    list.txt_to_tbl(index);
    list.read_dftaddr();
    // The frame mask follows the new capcode before the next pager is written.
    list.set_frame();
}

} // namespace px316t
