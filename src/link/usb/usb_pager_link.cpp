#include "link/usb/usb_pager_link.h"

#include "editor/messages.h"

#include <QCoreApplication>

namespace px316t {
namespace {

void startProgress(ProgressView& progress, int maximum, ProgressColor color, const QString& status)
{
    progress.setProgressMaximum(maximum);
    progress.setProgressPosition(0);
    progress.setProgressColor(color);
    progress.setStatusText(status);
    QCoreApplication::processEvents();
}

} // namespace

TransferFailure UsbPagerLink::linkFailure() const
{
    if (usb_.LostBoardInLastTransfer())
        return TransferFailure::BoardLost;
    if (usb_.BadReplyInLastTransfer())
        return TransferFailure::BadReply;
    return TransferFailure::NoAnswer;
}

bool UsbPagerLink::writeAll(const PagerTable& table, ProgressView& progress)
{
    // The link sets up the bar and the status "Writing Now......." itself.
    const bool written = usb_.UsbWriteRange(table, 0, PagerTableLast, UsbBlockSize, &progress);
    lastFailure_ = written ? TransferFailure::None : linkFailure();
    return written;
}

bool UsbPagerLink::readAll(PagerTable& table, ProgressView& progress)
{
    startProgress(progress, PagerTableLast - 32, ProgressColor::Purple, QStringLiteral("Reading Now......."));
    if (!usb_.UsbReadRange(0, PagerTableLast, UsbBlockSize, &progress)) {
        lastFailure_ = linkFailure();
        return false;   // the link showed its message; the image is unchanged
    }
    messages_.message(QString::fromLatin1(messages::ReadSuccess));
    const auto& buffer = usb_.ReadBuffer();
    for (int a = 0; a <= PagerTableLast && a < static_cast<int>(buffer.size()); ++a)
        table[a] = buffer[a];
    lastFailure_ = TransferFailure::None;
    return true;
}

bool UsbPagerLink::verifyAll(const PagerTable& table, ProgressView& progress)
{
    lastDifference_.reset();
    startProgress(progress, PagerTableLast - 16, ProgressColor::Purple, QStringLiteral("Verifying Now....."));
    if (!usb_.UsbReadRange(0, PagerTableLast, UsbBlockSize, &progress)) {
        lastFailure_ = linkFailure();
        return false;
    }
    const auto& buffer = usb_.ReadBuffer();
    for (int a = 0; a <= PagerTableLast; ++a) {
        if (a >= static_cast<int>(buffer.size()) || table[a] != buffer[a]) {
            lastDifference_ = a;
            messages_.message(QString::fromLatin1(messages::VerifyError));
            lastFailure_ = TransferFailure::VerifyMismatch;
            return false;
        }
    }
    lastFailure_ = TransferFailure::None;
    if (!holdVerifySuccess_)
        messages_.message(QString::fromLatin1(messages::VerifySuccess));
    return true;
}

} // namespace px316t
