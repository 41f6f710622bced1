#include "ui/form2.h"

#include "production/link_transfer.h"

#include "ui/capcode_list.h"
#include "ui/dialogs.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
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

Form2::Form2(ProgrammingContext context, QWidget* parent)
    : QDialog(parent), ctx_(std::move(context)),
      sequence_(ctx_.linkKind, ctx_.usb, ctx_.lpt, ctx_.messages, ctx_.state)
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

void Form2::setProgressColor(ProgressColor color)
{
    QPalette p = PB1->palette();
    p.setColor(QPalette::Highlight, color == ProgressColor::Purple
                                        ? kPurple
                                        : QGuiApplication::palette().color(QPalette::Highlight));
    PB1->setPalette(p);
}

void Form2::setStatusText(const QString& text) { Label1->setText(text); }

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
    switch (ctx_.state.PagerCommand) {
    case PagerRead: {
        const BusyScope busy(busy_);
        if (sequence_.read(ctx_.table, *this)) {
            if (ctx_.afterRead)
                ctx_.afterRead(ctx_.table);
            if (ctx_.refreshAfterRead)
                ctx_.refreshAfterRead();
        }
        break;
    }
    case PagerVerify: {
        const BusyScope busy(busy_);
        const std::string board = port();
        sequence_.verify(ctx_.table, *this);
        if (ctx_.afterVerify)
            ctx_.afterVerify(ctx_.table, recordResultOf(sequence_.lastFailure()), board);
        break;
    }
    case PagerWrite: {
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
        const BusyScope busy(busy_);
        writeRecorded();
        break;
    }
    default:
        break;
    }
    reject();
}

PagerTransfer Form2::writeRecorded()
{
    const std::string board = port();
    const PagerTransfer transfer = writeAndVerifyPager(sequence_, ctx_.table, *this);
    if (ctx_.afterWrite)
        ctx_.afterWrite(ctx_.table, transfer, board);
    return transfer;
}

void Form2::cmdWrite_Click()
{
    if (busy_)
        return;
    cmdWrite->setEnabled(false);
    cmdExit->setEnabled(false);
    lblAuto1->setText(kAutoCaption + ctx_.capcodes.txtAddr[0]->text());
    ProductionOutcome outcome = ProductionOutcome::Failed;
    {
        const BusyScope busy(busy_);
        // The pager is recorded with the image written, before the capcode goes up.
        if (writeRecorded().succeeded())
            outcome = sequence_.raiseFirstCapcode(ctx_.table, ctx_.capcodes.txtAddr[0]->text(),
                                                  ctx_.capcodes.pairIsLong(0));
    }
    if (outcome == ProductionOutcome::Raised) {
        // The rows follow the raised capcode and the frame mask it falls in.
        ctx_.capcodes.read_dftaddr();
        ctx_.capcodes.set_frame();
    }
    cmdWrite->setEnabled(true);
    cmdExit->setEnabled(true);
    PB1->setValue(0);
    Label1->clear();
    cmdWrite->setFocus();
}

} // namespace px316t
