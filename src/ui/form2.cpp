#include "ui/form2.h"

#include "editor/capcode_flex.h"
#include "editor/messages.h"
#include "production/link_transfer.h"
#include "registry/cls_registry_access.h"
#include "ui/batch_dialog.h"
#include "ui/dialogs.h"
#include "ui/line_view.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace px316t {
namespace {

const QColor kPurple(128, 0, 128);
const QString kAutoCaption = QStringLiteral(" 1st capcode : ");
const std::string kOperatorKey = "HKEY_CURRENT_USER\\Software\\PX316T\\Production";
const std::string kOperatorValue = "Operator";

// Enter ends the name here; it does not reach the window's default button,
// which would write a pager.
class OperatorField final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        QLineEdit::keyPressEvent(event);
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            event->accept();
    }
};

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
    : QDialog(parent), ctx_(std::move(context)), sequence_(ctx_.link, ctx_.messages, ctx_.state)
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
    cmdBatch = new QPushButton(QStringLiteral("Batch..."), this);
    cmdBatch->setObjectName(QStringLiteral("cmdBatch"));
    cmdBatch->setGeometry(twipsToPixels(QRect(3000, 2400, 1116, 432)));
    cmdBatch->hide();
    lblBatch = new QLabel(this);
    lblBatch->setObjectName(QStringLiteral("lblBatch"));
    lblBatch->setGeometry(twipsToPixels(QRect(588, 636, 4080, 312)));
    lblBatch->hide();
    lblOperator = new QLabel(QStringLiteral("Operator"), this);
    lblOperator->setObjectName(QStringLiteral("lblOperator"));
    lblOperator->setGeometry(twipsToPixels(QRect(588, 2460, 900, 312)));
    lblOperator->hide();
    txtOperator = new OperatorField(this);
    txtOperator->setObjectName(QStringLiteral("txtOperator"));
    txtOperator->setGeometry(twipsToPixels(QRect(1500, 2430, 1380, 372)));
    txtOperator->hide();
    if (ctx_.registry)
        if (const std::string kept = ctx_.registry->ReadText(kOperatorKey, kOperatorValue, ""); !kept.empty())
            ctx_.line.setOperator(kept);
    txtOperator->setText(QString::fromStdString(ctx_.line.operatorName()));
    connect(txtOperator, &QLineEdit::editingFinished, this, [this] { operatorEdited(); });
    cmdProduction = new QPushButton(QStringLiteral("Production"), this);
    cmdProduction->setObjectName(QStringLiteral("cmdProduction"));
    cmdProduction->setGeometry(twipsToPixels(QRect(3400, 3540, 1268, 360)));
    cmdProduction->hide();
    createLabelControls();
    connect(cmdProduction, &QPushButton::clicked, this, [this] { cmdProduction_Click(); });
    connect(cmdBatch, &QPushButton::clicked, this, [this] { cmdBatch_Click(); });
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
        auto read = ctx_.document.image();
        if (sequence_.read(read, *this)) {
            if (ctx_.afterRead)
                ctx_.afterRead(read);
            checkFrameMask(read);
            // The window shows what arrived, with the rules of arrival.
            ctx_.document.arrive(read);
        }
        break;
    }
    case PagerVerify: {
        const BusyScope busy(busy_);
        const std::string board = port();
        sequence_.verify(ctx_.document.image(), *this);
        if (ctx_.afterVerify)
            ctx_.afterVerify(ctx_.document.image(), recordResultOf(sequence_.lastFailure()), board);
        checkFrameMask(ctx_.document.image());
        break;
    }
    case PagerWrite: {
        if (ctx_.inModifyMode && ctx_.inModifyMode()) {
            ctx_.messages.message(QString::fromLatin1(messages::ModifyModeCannotWrite), MessageBoxes::Icon::Warning);
            break;
        }
        lblAuto1->setVisible(ctx_.state.AutoIncrease);
        if (ctx_.state.AutoIncrease) {
            cmdWrite->show();
            cmdExit->show();
            cmdBatch->setVisible(true);
            lblOperator->show();
            txtOperator->show();
            // The production mode's own row: labels and the line's live view.
            setFixedSize(twipsToPixels(QRect(0, 0, 5280, 5040)).size());
            cmdProduction->show();
            showLabelControls();
            {
                std::vector<std::string> notices;
                const Status joined = ctx_.line.joinWantedBatch(notices);
                for (const std::string& notice : notices)
                    warn(notice);
                if (!joined.ok())
                    warn(joined.message());
                else if (const auto next = ctx_.line.next(); next.ok() && next.value() && !ctx_.line.batch().empty())
                    showFirstCapcode(*next.value());
            }
            showBatch();
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
    const PagerTransfer transfer = writeAndVerifyPager(sequence_, ctx_.document.image(), *this);
    if (ctx_.afterWrite)
        ctx_.afterWrite(ctx_.document.image(), transfer, board);
    return transfer;
}

void Form2::cmdWrite_Click()
{
    if (busy_)
        return;
    // A name typed without leaving the field is the one this pager is recorded with.
    if (txtOperator->text().trimmed().toStdString() != ctx_.line.operatorName())
        operatorEdited();
    cmdWrite->setEnabled(false);
    cmdExit->setEnabled(false);
    cmdBatch->setEnabled(false);
    txtOperator->setEnabled(false);
    lblAuto1->setText(kAutoCaption + QString::fromStdString(ctx_.document.shownCapcodeText(0)));
    {
        const BusyScope busy(busy_);
        produceOne();
    }
    cmdWrite->setEnabled(true);
    cmdExit->setEnabled(true);
    cmdBatch->setEnabled(true);
    txtOperator->setEnabled(true);
    PB1->setValue(0);
    Label1->clear();
    showBatch();
    cmdWrite->setFocus();
}

void Form2::warn(const std::string& text)
{
    ctx_.messages.message(QString::fromStdString(text), MessageBoxes::Icon::Warning);
}

void Form2::operatorEdited()
{
    const std::string typed = txtOperator->text().trimmed().toStdString();
    ctx_.line.setOperator(typed);
    if (ctx_.registry)
        ctx_.registry->WriteText(kOperatorKey, kOperatorValue, typed);
    // An empty field stands for the one configured, and shows who that is.
    if (typed.empty())
        txtOperator->setText(QString::fromStdString(ctx_.line.operatorName()));
}

void Form2::checkFrameMask(const PagerTable& image)
{
    if (const auto mismatch = frameMaskMismatch(image))
        ctx_.messages.message(QString::fromStdString(*mismatch), MessageBoxes::Icon::Warning);
}

void Form2::showFirstCapcode(std::uint64_t capcode)
{
    // The rows follow the capcode and the frame mask it falls in.
    ctx_.document.showFirstCapcode(capcode);
}

void Form2::produceOne()
{
    const bool longPair = ctx_.document.pairShownLong(0);
    const auto shown = ctx_.document.firstCapcode();
    if (!shown) {
        warn(messages::capcodeNotRaisable(ctx_.document.shownCapcodeText(0)));
        return;
    }
    // The record decides: a capcode it holds as written or possibly written
    // is never written again; the window offers the next free one instead.
    std::vector<std::string> notices;
    const LineOffer offer = ctx_.line.offer(*shown, longPair, notices);
    for (const std::string& notice : notices)
        warn(notice);
    switch (offer.kind) {
    case LineOffer::Kind::Ready:
        if (offer.capcode != *shown)
            showFirstCapcode(offer.capcode);
        break;
    case LineOffer::Kind::Moved:
        warn(offer.message);
        showFirstCapcode(offer.capcode);
        return;
    case LineOffer::Kind::NoneLeft:
    case LineOffer::Kind::Refused:
        warn(offer.message);
        return;
    }

    SequenceProgrammer programmer(sequence_, *this);
    const PagerDocument base(ctx_.document);
    const PagerStep step = ctx_.line.produce(programmer, port(), [&base](std::uint64_t capcode) {
        return base.imageWithFirstCapcode(capcode);
    });
    if (step.capcode && step.capcode != *shown)
        lblAuto1->setText(kAutoCaption + QString::number(step.capcode));
    const auto peeked = ctx_.line.next();
    const bool known = peeked.ok() && peeked.value();
    const std::uint64_t next = known ? *peeked.value() : 0;
    switch (step.stop) {
    case StepStop::None:
        // Said only now: the pager is recorded and its capcode marked used.
        ctx_.messages.message(QString::fromLatin1(messages::VerifySuccess));
        printLabel(step.capcode, longPair, base.imageWithFirstCapcode(step.capcode), step.listed.customer);
        if (known)
            showFirstCapcode(next);
        else if (!peeked.ok())
            warn(peeked.message());
        else
            warn(ctx_.line.batch().empty() ? capcodeLimitMessage(lastCapcodeOfRun(step.capcode, longPair))
                                           : messages::batchExhausted(ctx_.line.batch()));
        return;
    case StepStop::TransferFailed:
        // The link said what failed. A write that never began keeps its
        // capcode; one that began leaves it uncertain, and the next is offered.
        if (step.state == ReservationState::Returned)
            return;
        warn(step.message);
        break;
    case StepStop::NoCapcodeLeft:
    case StepStop::CannotReserve:
    case StepStop::CannotRecord:
    case StepStop::NotKept:
        warn(step.message);
        break;
    }
    if (known && step.state != ReservationState::Returned && step.state != ReservationState::Reserved)
        showFirstCapcode(next);
}

void Form2::showBatch()
{
    const bool joined = !ctx_.line.batch().empty();
    lblBatch->setVisible(joined);
    if (!joined)
        return;
    lblBatch->setText(QString::fromStdString(ctx_.line.batchLine()));
}

void Form2::cmdProduction_Click()
{
    std::vector<std::string> notices;
    auto reader = ctx_.line.recordReader(notices);
    for (const std::string& notice : notices)
        warn(notice);
    if (!reader.ok()) {
        warn(reader.message());
        return;
    }
    auto* view = new LineView(reader.value(), QString::fromStdString("Production of " + ctx_.line.recordName()),
                              UsbBoardPagersPerHour, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    if (onProductionWindow)
        onProductionWindow(*view);
    else
        view->show();
}

void Form2::cmdBatch_Click()
{
    if (busy_)
        return;
    BatchDialog dialog(ctx_.line, ctx_.messages, this);
    if (onBatchWindow)
        onBatchWindow(dialog);
    else
        dialog.exec();
    if (dialog.result() != QDialog::Accepted)
        return;
    showBatch();
    if (const auto next = ctx_.line.next(); next.ok() && next.value())
        showFirstCapcode(*next.value());
}

} // namespace px316t
